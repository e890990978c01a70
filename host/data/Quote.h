#pragma once
// Quote records of the host: snapshots, bars and the time sentinels of history requests.
// Plain data shared by pointer; copying a snapshot is a flat memcpy-sized copy.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quoter {

// What a QuoterBase pointer really holds, so consumers can cast without RTTI checks.
enum class RecordKind : int { Base = 0, AllData = 1, KLine = 2 };

struct QuoterBase {
    QuoterBase() = default;
    explicit QuoterBase(RecordKind k) : kind(k) {}
    QuoterBase(const QuoterBase&) = default;
    QuoterBase& operator=(const QuoterBase&) = default;
    virtual ~QuoterBase();

    int64_t time = 0; // ms since the epoch
    RecordKind kind = RecordKind::Base;
};

// Trading phases carried in QuoterAllData::openInterestOrPhase for SH/SZ instruments.
enum TradingPhase : int64_t {
    PhaseNone = 0,
    PhaseContinuous = 2,  // continuous auction
    PhaseClosed = 5,      // after the close
    PhaseMiddayBreak = 7, // between the sessions
    PhasePreOpen = 12,    // opening call auction, not yet traded
    PhaseSuspended = 19,  // suspended, not yet traded today
};

struct QuoterAllData : QuoterBase {
    QuoterAllData() : QuoterBase(RecordKind::AllData) {}

    double last = 0.0;
    double open = 0.0;
    double high = 0.0;
    double low = 0.0;
    double preClose = 0.0;
    double amount = 0.0;
    int64_t volume = 0;
    // open interest for futures and options; trading phase for SH/SZ instruments
    int64_t openInterestOrPhase = 0;
    double bidPrice[5] = {0, 0, 0, 0, 0};
    double askPrice[5] = {0, 0, 0, 0, 0};
    int64_t bidVolume[5] = {0, 0, 0, 0, 0};
    int64_t askVolume[5] = {0, 0, 0, 0, 0};
    double iopv = 0.0;
    double volumeRatio = 0.0;
    // rise over the last 1 and 5 minutes, stored in hundredths: 1.5 means a ratio of 0.015
    double riseSpeed1 = 0.0;
    double riseSpeed5 = 0.0;
    double settlement = 0.0;
    double preSettlement = 0.0;
    double average = 0.0; // average trade price today
    double upperLimit = 0.0;
    double lowerLimit = 0.0;
    int64_t preOpenInterest = 0;
    int64_t tradeCount = 0; // number of trades today
};

// One bar; time is the bar's end in ms.
struct KLineData : QuoterBase {
    KLineData() : QuoterBase(RecordKind::KLine) {}

    double open = 0.0;
    double high = 0.0;
    double low = 0.0;
    double close = 0.0;
    double preClose = 0.0;
    int64_t volume = 0;
    double amount = 0.0;
    int64_t openInterest = 0;
    double settlement = 0.0;
};

// Sentinels of history requests: start and end times in ms, or these.
struct TimeSeq {
    static constexpr int64_t TIME_START = -3;  // first stored record
    static constexpr int64_t TIME_START2 = -2; // first stored record, bounded by the count
    static constexpr int64_t TIME_LASTED = -1; // last stored record
};

// Region of a live index request: the instruments (stock keys) valued at a time.
struct TRegionInfo {
    int64_t time = 0;              // ms since the epoch; 0 means now
    std::vector<std::string> keys; // empty: every custom index of the host
    int64_t period = 0;            // bar period in ms, 0 for the day
};

using QuoterBasePtr = std::shared_ptr<QuoterBase>;
using QuoterAllDataPtr = std::shared_ptr<QuoterAllData>;
using KLineDataPtr = std::shared_ptr<KLineData>;

// A bar from a snapshot: last becomes close; open, high, low, volume and amount carry over.
KLineData quoteToKLine(const QuoterAllData& quote);
// Converts any record to a bar pointer: bars are shared as they are, snapshots converted,
// anything else gives null.
KLineDataPtr quoteToKLine(const QuoterBasePtr& record);

// Casts that give null when the record is of another kind.
inline const QuoterAllData* asAllData(const QuoterBase* r)
{
    return r && r->kind == RecordKind::AllData ? static_cast<const QuoterAllData*>(r) : nullptr;
}
inline const KLineData* asKLine(const QuoterBase* r)
{
    return r && r->kind == RecordKind::KLine ? static_cast<const KLineData*>(r) : nullptr;
}

} // namespace quoter

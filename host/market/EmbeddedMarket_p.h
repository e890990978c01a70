#pragma once
// Internals of the embedded market shared by its two sources: the service side
// (EmbeddedMarket.cpp: cache, delivery, feed thread) and the simulation rules
// (MarketSimulation.cpp). Not for use outside host/market.

#include "host/data/InstrumentDetail.h"
#include "host/data/Quote.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/MarketRandom.h"
#include "host/market/PushHub.h"

#include <QString>
#include <QVector>
#include <array>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace ttmarket {

namespace detail {

enum class Kind { Stock, Index, Fund, Bond, CB, Future, Option, HK, ForeignFuture };

constexpr int64_t kMinuteMs = 60000;
constexpr int64_t kDayMs = 86400000;
constexpr int64_t kPreOpenMs = 15 * kMinuteMs; // call auction before the first session
constexpr double kMeanReversion = 0.002;

struct MinuteBar {
    int64_t minute = 0; // minutes since the epoch
    double open = 0, high = 0, low = 0, close = 0;
    int64_t volume = 0;
    double amount = 0;
    int64_t openInterest = 0;
};

struct Instrument {
    ttservice::CInstrumentDetailPtr detail;
    std::string market, code, key;
    QString qmarket, qcode;
    Kind kind = Kind::Stock;
    int marketIndex = 0;
    int slot = 0;
    int underlying = -1; // instrument index the price follows
    int level = 0;       // dependency depth: underlyings are stepped first
    bool continuous = false;
    bool phaseField = false; // SH/SZ: the integer field carries the phase
    // What one unit of a published volume counts: a lot for SH/SZ, else one share/contract.
    int64_t volumeUnit() const { return phaseField && lot > 1 ? lot : 1; }
    bool hasBook = true;
    double step = 0.01;
    double limitRatio = 0.0; // daily limit, 0 for none
    double multiplier = 1.0; // amount per unit of volume and price
    int64_t lot = 100;       // volume unit
    double sigmaTick = 0.001;
    double fraction = 0.0; // share of today's session time elapsed
    bool auction = false;  // in the call auction before the first session
    double sigmaDay = 0.02;
    double pTrade = 0.35;
    double baseDailyVolume = 1e6;
    double basis = 0.0; // index futures over their index; CB premium
    bool nightOk = true;
    bool suspended = false;
    double anchorClose = 0.0; // previous close of the first simulated day
    int anchorDay = 0;

    // today
    int tradingDay = 0;
    double preClose = 0, upper = 0, lower = 0;
    double last = 0, open = 0, high = 0, low = 0;
    int64_t volume = 0;
    double amount = 0;
    int64_t openInterest = 0, preOpenInterest = 0, trades = 0;
    int64_t phase = quoter::PhasePreOpen;
    double bid[5] = {}, ask[5] = {};
    int64_t bidVol[5] = {}, askVol[5] = {};
    bool changed = false;
    double buyAmount = 0, sellAmount = 0; // this step, for net buying
    Rng rng;

    double minuteClose[6] = {};
    int64_t lastMinute = -1;
    std::vector<MinuteBar> bars;
    std::array<quoter::QuoterAllDataPtr, EmbeddedMarket::kTickDepth> ring;
    int ringHead = 0, ringCount = 0;
    std::vector<quoter::KLineData> pastDays; // days simulated before today
    // the last generated days before the first simulated one, kept on the first minute
    // request (the minutes of those days derive from them)
    std::vector<quoter::KLineData> generatedTail;
};

struct Market {
    std::string name;
    QString qname;
    std::vector<int> members;                        // instrument indices
    std::unordered_map<std::string, int> slotOf;     // code -> slot
    std::vector<quoter::QuoterAllDataPtr> snapshots; // by slot; under the cache lock
    std::vector<uint8_t> pendingFlag;                // by slot; under the sim lock
    std::vector<int> pending, taken;
    int tradingDay = 0;
    std::vector<std::pair<int64_t, int64_t>> sessions; // absolute ms, in order
    // delivery buffers, reused; under the delivery lock
    QVector<QString> codes, markets, allCodes, allMarkets;
    std::vector<quoter::QuoterAllDataPtr> quotes, allQuotes;
};

} // namespace detail

class EmbeddedMarketPrivate {
    using Instrument = detail::Instrument;
    using Market = detail::Market;

public:
    PushHub hub;
    std::mutex deliverMutex; // outermost
    std::mutex simMutex;
    std::mutex cacheMutex; // innermost
    std::vector<Instrument> instruments;
    std::vector<Market> markets;
    std::unordered_map<std::string, int> marketOf;
    std::unordered_map<std::string, int> byKey; // market + "\x1f" + code -> instrument
    std::vector<int> order;                     // instruments by level
    uint64_t seed = EmbeddedMarket::kDefaultSeed;
    bool built = false;
    std::atomic<bool> stale{false};
    std::atomic<bool> alwaysOpen{false};
    std::map<int, std::vector<int>> pastDates; // anchor day -> the trading days before it
    std::vector<uint8_t> rolledBuffer;         // reused by every step
    std::vector<std::pair<int, quoter::QuoterAllDataPtr>> publishBuffer;

    // feed
    std::mutex feedMutex;
    std::condition_variable feedCv;
    std::thread feed;
    std::atomic<bool> running{false};
    bool stopRequested = false;
    std::atomic<int> intervalMs{1000};

    static std::string keyOf(const std::string& market, const std::string& code)
    {
        std::string k;
        k.reserve(market.size() + code.size() + 1);
        k.append(market).push_back('\x1f');
        k.append(code);
        return k;
    }

    int find(const std::string& market, const std::string& code) const
    {
        auto it = byKey.find(keyOf(market, code));
        return it == byKey.end() ? -1 : it->second;
    }

    // Readers build on first use only; a stale universe is rebuilt by the paths that
    // hold the delivery lock, so no delivery reads the structures while they change.
    void ensureBuilt()
    {
        if (!built)
            build(seed);
    }
    void rebuildIfStale()
    {
        if (!built || stale.exchange(false))
            build(seed);
    }

    void build(uint64_t newSeed);
    void setupInstrument(Instrument& in);
    void refreshSessions(Market& m);
    int64_t phaseAt(const Instrument& in, int64_t t, double* fraction, bool* auction) const;
    void initDay(Instrument& in, int64_t t);
    void derive(Instrument& in, bool preCloseToo, bool trading = true);
    void fillBook(Instrument& in);
    bool walk(Instrument& in);
    void trade(Instrument& in, double price);
    void simulateLocked(int64_t t);
    void publish(Instrument& in, int64_t t,
                 std::vector<std::pair<int, quoter::QuoterAllDataPtr>>& out);
    std::vector<quoter::KLineData> generatePast(const Instrument& in);
    const std::vector<int>& datesBefore(int day);
    quoter::KLineData todayBar(const Instrument& in) const;
    std::vector<quoter::KLineData> todayMinutes(const Instrument& in) const;
    std::vector<quoter::KLineData> pastMinutes(const Instrument& in, const quoter::KLineData& day);
    int deliverMarket(int marketIndex);
};

} // namespace ttmarket

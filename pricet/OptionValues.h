#pragma once
// The board's per-contract arithmetic, free of widgets so that tests and benchmarks
// drive it directly: the snapshot taken from a quote, the computed values and Greeks,
// the estimated margin and the strike positions.

#include <QtCore/QString>

#include <map>
#include <string>
#include <vector>

namespace quoter {
struct QuoterAllData;
}

namespace TC {

class CUserConfig;
class CHpfOptionBrowserData;

namespace optionvalues {
constexpr double kUnset = 1.7976931348623157e308;
constexpr int kUnsetInt = 2147483647;
constexpr double kNotComputed = -2147483648.0;
constexpr double kEps = 1e-5;
bool isValid(double v);
// 64-bit volume to the row's 32-bit field: negative is unset, large values saturate
// below the unset mark.
int saturateVolume(long long volume);
} // namespace optionvalues

// Per-contract snapshot of a quote, before computing.
struct CTargetPriceData {
    double m_dLast = optionvalues::kUnset;
    double m_dOpenInterest = optionvalues::kUnset;
    double m_dBid = optionvalues::kUnset;
    double m_dAsk = optionvalues::kUnset;
    double m_dChangePercent = optionvalues::kUnset;
    double m_dChange = optionvalues::kUnset;
    double m_dAmount = optionvalues::kUnset; // copied from the quote, not used by the rows
    int m_nVolume = optionvalues::kUnsetInt;
    int m_nStatus = 0;
};

// Fills a snapshot from a quote. validTime is the host's verdict on the quote's time;
// false leaves everything unset. stockMarket: SH/SZ rules of the not-traded test.
void parseFormulaResult(const quoter::QuoterAllData& quote, bool validTime, bool stockMarket,
                        CTargetPriceData& out);

// What stays fixed for a contract while its month is shown.
struct COptionContract {
    bool call = true;
    bool american = false;
    double strike = optionvalues::kUnset;
    int multiplier = optionvalues::kUnsetInt; // 32-bit contract unit
    double contractUnit = optionvalues::kUnset;
    double rate = optionvalues::kUnset;
    double histVolatility = optionvalues::kUnset;
    double preSettlement = optionvalues::kUnset;
    int expiryDay = 0;  // days since the epoch of the expiry date; 0 unknown
    QString expiryText; // yyyymmdd
};

// Settings read once per refresh, not per contract.
struct COptionEnvironment {
    CUserConfig* userConfig = nullptr;
    bool haldenMode = false;
    int benchmark = 0;
    QString underlyingKey;
    // Reference price of the underlying for the margin; not positive: no reference.
    double marginReference = 0.0;
    bool hasMarginReference = false;
};

struct COptionResult {
    double leverage, realLeverage, premiumRate, intrinsic, timeValue, theoretical, implied;
    double delta, gamma, vega, theta, rho;
    double margin;
};

// Computes every value of one contract; days may be fractional (natural days / 365 is
// the year fraction). scratch is reused between calls to keep the Greeks' keys.
void computeOptionValues(const COptionContract& contract, const CTargetPriceData& snap,
                         double underlying, double days, const COptionEnvironment& env,
                         std::map<std::string, double>& scratch, COptionResult& out);

// Estimated margin of one short contract, times 1.2. Unset without a previous
// settlement or contract unit; 0 without an underlying reference price.
double estimateMargin(bool call, bool hasReference, double reference, double strike,
                      double preSettlement, double contractUnit);

// Writes the side's values into a row.
void storeOptionValues(CHpfOptionBrowserData& row, bool call, double underlying,
                       const CTargetPriceData& snap, const COptionResult& values);

// Strike positions of rows in model order for the underlying price: 1 the nearest call
// strike above, 2 the nearest at or below (a strike on the price ends the walk).
void updateStrikePositions(const std::vector<CHpfOptionBrowserData*>& rows, double price);

// Natural days from a day number to another (both days since the epoch).
int naturalDays(int fromDay, int toDay);
// Day number (days since the epoch) of yyyymmdd; 0 for a date that does not parse.
int dayOfYmd(int ymd);
// Today's day number in market time.
int marketToday();

} // namespace TC

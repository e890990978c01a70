#pragma once
// The simulated market behind the host's quote services: the universe of the catalogue
// quoted by seeded random walks, a feed thread that pushes one batch per market at a
// fixed interval, and the history (daily bars, minute bars of the last days and recent ticks)
// that formulas and cache fetches read. Market time is TC::HostClock.

#include "host/data/Quote.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ttmarket {

class PushHub;
class EmbeddedMarketPrivate;

class EmbeddedMarket final {
public:
    static EmbeddedMarket* instance();
    static constexpr uint64_t kDefaultSeed = 20240607;

    // --- feed thread ---
    // Starts (or re-times) the feed: one simulation step and one delivery per market
    // every intervalMs (at least 10). The demo calls this; tests drive tick() instead.
    void start(int intervalMs = 1000);
    // Stops the feed; returns after its last delivery ended. Safe from any thread but a
    // push callback's (where it does not wait).
    void stop();
    bool isRunning() const;
    int interval() const;
    // Every instrument trades continuously whatever the clock says (the demo's
    // "market open" at any wall time).
    void setAlwaysOpen(bool on);
    bool alwaysOpen() const;

    // Rebuilds every quote from the catalogue's universe for the clock's current time.
    // The same seed, universe and sequence of steps give the same quotes.
    void reset(uint64_t seed);
    uint64_t seed() const;

    // One simulation step at the clock's time, then every market's batch delivered on
    // the calling thread. Returns the number of callbacks made. reset, tick, simulate
    // and deliver must not be called from inside a push callback (they would wait for
    // the delivery that is running); everything else may be.
    int tick();
    // The simulation step alone: changed snapshots wait for the next delivery.
    void simulate();
    // Delivers what changed in one market (or all) since its last delivery.
    int deliver(const std::string& market);
    int deliverAll();

    // --- quote cache ---
    quoter::QuoterAllDataPtr lastQuote(const std::string& market, const std::string& code);
    // out[i] is the snapshot of codes[i], null when unknown.
    void lastQuotes(const std::string& market, const std::vector<std::string>& codes,
                    std::vector<quoter::QuoterAllDataPtr>& out);
    // Replaces a snapshot (the simulation continues from its prices); false for an
    // unknown instrument. The change goes out with the market's next delivery.
    bool setQuote(const std::string& market, const std::string& code,
                  const quoter::QuoterAllData& quote);
    std::vector<std::string> markets();
    int instrumentCount();

    // --- history ---
    // Daily bars, oldest first: ~250 generated past days, days simulated since, and
    // today's bar once the instrument traded. Bar time: the trading day's midnight in ms.
    std::vector<quoter::KLineData> dailyBars(const std::string& market, const std::string& code);
    // Today's one-minute bars since the feed began; bar time: the minute's end in ms.
    std::vector<quoter::KLineData> minuteBars(const std::string& market, const std::string& code);
    // One-minute bars of a trading day (its midnight in seconds): today's as minuteBars,
    // the kMinuteHistoryDays trading days before it generated from their daily bars (so
    // they aggregate to them exactly, deterministic in the seed), empty otherwise.
    // Nothing is stored: past days are rebuilt on each call.
    std::vector<quoter::KLineData> minuteBarsOfDay(const std::string& market,
                                                   const std::string& code, int date);
    static constexpr int kMinuteHistoryDays = 5;
    // The most recent snapshots of today, oldest first (at most kTickDepth).
    std::vector<quoter::QuoterAllDataPtr> ticks(const std::string& market, const std::string& code);
    static constexpr int kTickDepth = 32;
    static constexpr int kHistoryDays = 250;

    PushHub& pushHub();

private:
    EmbeddedMarket();
    ~EmbeddedMarket();
    EmbeddedMarket(const EmbeddedMarket&) = delete;
    EmbeddedMarket& operator=(const EmbeddedMarket&) = delete;
    std::unique_ptr<EmbeddedMarketPrivate> d;
};

} // namespace ttmarket

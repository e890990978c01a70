#pragma once
// Test fixture for the embedded market. Everything runs synchronously on the calling
// thread: no feed thread, no sleeps.
//
//   TestMarket::install({TestMarket::stock("SH", "600000", "浦发银行", 10.0)});
//   TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));   // a trading day, 10:00
//   TestMarket::setQuote("SH", "600000", TestMarket::quote(10.5, 10.0));
//   TestMarket::firePush("SH");        // every SH subscriber gets 600000 now
//   TestMarket::tick(1000);            // clock +1 s, one simulation step, all markets pushed
//   TestMarket::restore();             // the data files' universe, wall clock, no feed
//
// install() makes the embedded market the host's backend and stops the feed thread;
// startFeed()/stopFeed() run it for threaded tests.

#include "host/data/InstrumentDetail.h"
#include "host/data/Quote.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace ttmarket {

class TestMarket final {
public:
    // Installs the embedded backend if needed, replaces the catalogue's universe and
    // rebuilds every quote with the seed. The clock is fixed at its current time unless
    // setClock was called before.
    static void install(const std::vector<ttservice::CInstrumentDetailPtr>& instruments,
                        uint64_t seed = 1);
    // The data files' universe again, the wall clock, the feed stopped, no subscriptions.
    static void restore();

    // Instrument records for small universes.
    static ttservice::CInstrumentDetailPtr stock(const QString& market, const QString& code,
                                                 const QString& name, double preClose,
                                                 double priceStep = 0.01);
    static ttservice::CInstrumentDetailPtr future(const QString& market, const QString& code,
                                                  const QString& name, double preClose,
                                                  double priceStep, int multiplier);
    // A snapshot in continuous trading: bid 1 a step below last, ask 1 a step above.
    static quoter::QuoterAllData quote(double last, double preClose, int64_t volume = 1000);

    // Market time (ms since the epoch) of a wall time in Asia/Shanghai.
    static int64_t at(int year, int month, int day, int hour, int minute, int second = 0);
    static void setClock(int64_t ms);
    static void stepClock(int64_t ms);

    // Stores a snapshot; false for an unknown instrument. It goes out with the next push.
    static bool setQuote(const QString& market, const QString& code,
                         const quoter::QuoterAllData& q);
    static quoter::QuoterAllDataPtr lastQuote(const QString& market, const QString& code);
    // Delivers what changed in the market since its last push to every subscriber, on
    // this thread. Returns the number of callbacks made.
    static int firePush(const QString& market);
    static int fireAll();
    // Steps the clock (ms), runs one simulation step and pushes every market.
    static int tick(int64_t stepMs = 1000);

    static void startFeed(int intervalMs);
    static void stopFeed();
};

} // namespace ttmarket

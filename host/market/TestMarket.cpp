#include "host/market/TestMarket.h"

#include "host/data/HostClock.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/PushHub.h"

namespace ttmarket {

void TestMarket::install(const std::vector<ttservice::CInstrumentDetailPtr>& instruments,
                         uint64_t seed)
{
    installEmbeddedBackend();
    EmbeddedMarket* m = EmbeddedMarket::instance();
    m->stop();
    if (!TC::HostClock::isFixed())
        TC::HostClock::setNowMs(TC::HostClock::nowMs());
    TC::CStockManager::instance()->resetUniverseForTest(instruments);
    m->reset(seed);
}

void TestMarket::restore()
{
    EmbeddedMarket* m = EmbeddedMarket::instance();
    m->stop();
    m->pushHub().clear();
    m->setAlwaysOpen(false);
    TC::HostClock::useWallClock();
    TC::CStockManager::instance()->restoreDefault();
    m->reset(EmbeddedMarket::kDefaultSeed);
}

ttservice::CInstrumentDetailPtr TestMarket::stock(const QString& market, const QString& code,
                                                  const QString& name, double preClose,
                                                  double priceStep)
{
    auto d = std::make_shared<ttservice::CInstrumentDetail>();
    d->market = market;
    d->code = code;
    d->name = name;
    d->key = XP::nvStockKey(market, code);
    d->type = ttservice::eInstrStock;
    d->priceStep = priceStep;
    d->refPrice = preClose;
    d->totalShares = 1e9;
    d->floatShares = 8e8;
    d->tradeUnit = 100;
    return d;
}

ttservice::CInstrumentDetailPtr TestMarket::future(const QString& market, const QString& code,
                                                   const QString& name, double preClose,
                                                   double priceStep, int multiplier)
{
    auto d = stock(market, code, name, preClose, priceStep);
    d->type = ttservice::eInstrFuture;
    d->tradeUnit = multiplier;
    d->preSettlement = preClose;
    return d;
}

quoter::QuoterAllData TestMarket::quote(double last, double preClose, int64_t volume)
{
    quoter::QuoterAllData q;
    q.time = TC::HostClock::nowMs();
    q.last = last;
    q.open = q.high = q.low = last;
    q.preClose = preClose;
    q.volume = volume;
    q.amount = static_cast<double>(volume) * last;
    q.openInterestOrPhase = quoter::PhaseContinuous;
    for (int i = 0; i < 5; ++i) {
        q.bidPrice[i] = last - 0.01 * (i + 1);
        q.askPrice[i] = last + 0.01 * (i + 1);
        q.bidVolume[i] = q.askVolume[i] = 100 * (i + 1);
    }
    return q;
}

int64_t TestMarket::at(int year, int month, int day, int hour, int minute, int second)
{
    const int date = TC::CStockManager::dateFromYmd(year, month, day);
    return static_cast<int64_t>(date) * 1000 + ((hour * 60 + minute) * 60 + second) * 1000LL;
}

void TestMarket::setClock(int64_t ms)
{
    TC::HostClock::setNowMs(ms);
}

void TestMarket::stepClock(int64_t ms)
{
    if (!TC::HostClock::isFixed())
        TC::HostClock::setNowMs(TC::HostClock::nowMs());
    TC::HostClock::stepMs(ms);
}

bool TestMarket::setQuote(const QString& market, const QString& code,
                          const quoter::QuoterAllData& q)
{
    return EmbeddedMarket::instance()->setQuote(market.toStdString(), code.toStdString(), q);
}

quoter::QuoterAllDataPtr TestMarket::lastQuote(const QString& market, const QString& code)
{
    return EmbeddedMarket::instance()->lastQuote(market.toStdString(), code.toStdString());
}

int TestMarket::firePush(const QString& market)
{
    return EmbeddedMarket::instance()->deliver(market.toStdString());
}

int TestMarket::fireAll()
{
    return EmbeddedMarket::instance()->deliverAll();
}

int TestMarket::tick(int64_t stepMs)
{
    if (stepMs != 0)
        stepClock(stepMs);
    return EmbeddedMarket::instance()->tick();
}

void TestMarket::startFeed(int intervalMs)
{
    EmbeddedMarket::instance()->start(intervalMs);
}

void TestMarket::stopFeed()
{
    EmbeddedMarket::instance()->stop();
}

} // namespace ttmarket

#include "host/market/EmbeddedMarket.h"

#include "host/data/HostClock.h"
#include "host/data/Log.h"
#include "host/data/StockManager.h"
#include "host/data/TemporaryDataManager.h"
#include "host/data/TradeOpenCloseTimeManager.h"
#include "host/market/EmbeddedMarket_p.h"

#include <algorithm>
#include <cstdlib>

namespace ttmarket {

using namespace detail;

int EmbeddedMarketPrivate::deliverMarket(int marketIndex)
{
    Market& m = markets[marketIndex];
    {
        std::lock_guard<std::mutex> lock(simMutex);
        m.taken.swap(m.pending);
        m.pending.clear();
        for (int slot : m.taken)
            m.pendingFlag[slot] = 0;
    }
    if (m.taken.empty())
        return 0;
    const bool changedSubs = hub.hasSubscribers(m.name, kModeChanged);
    const bool allSubs = hub.hasSubscribers(m.name, kModeAll);
    int calls = 0;
    m.codes.resize(0);
    m.markets.resize(0);
    m.quotes.clear();
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        if (changedSubs) {
            std::sort(m.taken.begin(), m.taken.end());
            for (int slot : m.taken) {
                m.codes.append(m.allCodes.at(slot));
                m.markets.append(m.qname);
                m.quotes.push_back(m.snapshots[slot]);
            }
        }
        if (allSubs)
            m.allQuotes = m.snapshots;
    }
    m.taken.clear();
    if (changedSubs)
        calls += hub.deliver(m.name, kModeChanged, m.codes, m.markets, m.quotes);
    if (allSubs)
        calls += hub.deliver(m.name, kModeAll, m.allCodes, m.allMarkets, m.allQuotes);
    return calls;
}

// --- EmbeddedMarket -----------------------------------------------------------------------

EmbeddedMarket* EmbeddedMarket::instance()
{
    static EmbeddedMarket* market = [] {
        // services the feed thread uses exist before the exit handler is registered, so
        // the handler stops the thread before they are destroyed
        TC::CStockManager::instance();
        TC::CTemporaryDataManager::instance();
        TC::CTradeOpenCloseTimeManager::instance();
        auto* m = new EmbeddedMarket;
        std::atexit([] { EmbeddedMarket::instance()->stop(); });
        return m;
    }();
    return market;
}

EmbeddedMarket::EmbeddedMarket() : d(new EmbeddedMarketPrivate)
{
    if (const char* s = std::getenv("TT_MARKET_SEED")) {
        char* end = nullptr;
        const unsigned long long v = std::strtoull(s, &end, 10);
        if (end && *end == '\0' && end != s)
            d->seed = v;
    }
    QObject::connect(TC::CStockManager::instance(), &TC::CStockManager::sigUniverseReset,
                     [p = d.get()] { p->stale = true; });
}

EmbeddedMarket::~EmbeddedMarket()
{
    stop();
}

void EmbeddedMarket::start(int intervalMs)
{
    d->intervalMs = std::max(10, intervalMs);
    std::lock_guard<std::mutex> lock(d->feedMutex);
    if (d->running) {
        d->feedCv.notify_all();
        return;
    }
    if (d->feed.joinable())
        d->feed.join();
    d->stopRequested = false;
    d->running = true;
    d->feed = std::thread([this] {
        std::unique_lock<std::mutex> lock(d->feedMutex);
        while (!d->stopRequested) {
            lock.unlock();
            tick();
            lock.lock();
            d->feedCv.wait_for(lock, std::chrono::milliseconds(d->intervalMs.load()),
                               [this] { return d->stopRequested; });
        }
        d->running = false;
    });
    TT_LOG_INFO("[market] feed started, interval %1% ms", d->intervalMs.load());
}

void EmbeddedMarket::stop()
{
    std::thread worker;
    {
        std::lock_guard<std::mutex> lock(d->feedMutex);
        d->stopRequested = true;
        d->feedCv.notify_all();
        if (!d->feed.joinable())
            return;
        if (d->feed.get_id() == std::this_thread::get_id())
            return; // from a push callback: the loop ends after this tick
        worker.swap(d->feed);
    }
    worker.join();
    d->running = false;
    TT_LOG_INFO("[market] feed stopped");
}

bool EmbeddedMarket::isRunning() const
{
    return d->running;
}
int EmbeddedMarket::interval() const
{
    return d->intervalMs;
}
void EmbeddedMarket::setAlwaysOpen(bool on)
{
    d->alwaysOpen = on;
}
bool EmbeddedMarket::alwaysOpen() const
{
    return d->alwaysOpen;
}

void EmbeddedMarket::reset(uint64_t seed)
{
    std::lock_guard<std::mutex> deliver(d->deliverMutex);
    std::lock_guard<std::mutex> lock(d->simMutex);
    d->stale = false;
    d->build(seed);
}

uint64_t EmbeddedMarket::seed() const
{
    return d->seed;
}

int EmbeddedMarket::tick()
{
    simulate();
    return deliverAll();
}

void EmbeddedMarket::simulate()
{
    std::lock_guard<std::mutex> deliver(d->deliverMutex);
    std::lock_guard<std::mutex> lock(d->simMutex);
    d->simulateLocked(TC::HostClock::nowMs());
}

int EmbeddedMarket::deliver(const std::string& market)
{
    std::lock_guard<std::mutex> deliver(d->deliverMutex);
    {
        std::lock_guard<std::mutex> lock(d->simMutex);
        d->rebuildIfStale();
    }
    auto it = d->marketOf.find(market);
    return it == d->marketOf.end() ? 0 : d->deliverMarket(it->second);
}

int EmbeddedMarket::deliverAll()
{
    std::lock_guard<std::mutex> deliver(d->deliverMutex);
    {
        std::lock_guard<std::mutex> lock(d->simMutex);
        d->rebuildIfStale();
    }
    int calls = 0;
    for (size_t i = 0; i < d->markets.size(); ++i)
        calls += d->deliverMarket(static_cast<int>(i));
    return calls;
}

quoter::QuoterAllDataPtr EmbeddedMarket::lastQuote(const std::string& market,
                                                   const std::string& code)
{
    {
        std::lock_guard<std::mutex> lock(d->simMutex);
        d->ensureBuilt();
    }
    std::lock_guard<std::mutex> lock(d->cacheMutex);
    auto mit = d->marketOf.find(market);
    if (mit == d->marketOf.end())
        return nullptr;
    const Market& m = d->markets[mit->second];
    auto it = m.slotOf.find(code);
    return it == m.slotOf.end() ? nullptr : m.snapshots[it->second];
}

void EmbeddedMarket::lastQuotes(const std::string& market, const std::vector<std::string>& codes,
                                std::vector<quoter::QuoterAllDataPtr>& out)
{
    {
        std::lock_guard<std::mutex> lock(d->simMutex);
        d->ensureBuilt();
    }
    out.assign(codes.size(), nullptr);
    std::lock_guard<std::mutex> lock(d->cacheMutex);
    auto mit = d->marketOf.find(market);
    if (mit == d->marketOf.end())
        return;
    const Market& m = d->markets[mit->second];
    for (size_t i = 0; i < codes.size(); ++i) {
        auto it = m.slotOf.find(codes[i]);
        if (it != m.slotOf.end())
            out[i] = m.snapshots[it->second];
    }
}

bool EmbeddedMarket::setQuote(const std::string& market, const std::string& code,
                              const quoter::QuoterAllData& quote)
{
    std::lock_guard<std::mutex> lock(d->simMutex);
    d->ensureBuilt();
    const int idx = d->find(market, code);
    if (idx < 0)
        return false;
    Instrument& in = d->instruments[idx];
    in.last = quote.last;
    in.open = quote.open;
    in.high = quote.high;
    in.low = quote.low;
    if (quote.preClose > 0)
        in.preClose = quote.preClose;
    // snapshots count SH/SZ volumes in lots; the simulation counts shares
    const int64_t unit = in.volumeUnit();
    in.volume = quote.volume * unit;
    in.amount = quote.amount;
    std::copy(quote.bidPrice, quote.bidPrice + 5, in.bid);
    std::copy(quote.askPrice, quote.askPrice + 5, in.ask);
    for (int i = 0; i < 5; ++i) {
        in.bidVol[i] = quote.bidVolume[i] * unit;
        in.askVol[i] = quote.askVolume[i] * unit;
    }
    if (in.phaseField)
        in.phase = quote.openInterestOrPhase;
    else
        in.openInterest = quote.openInterestOrPhase;
    auto q = std::make_shared<quoter::QuoterAllData>(quote);
    if (q->time == 0)
        q->time = TC::HostClock::nowMs();
    in.ring[in.ringHead] = q;
    in.ringHead = (in.ringHead + 1) % kTickDepth;
    in.ringCount = std::min(in.ringCount + 1, kTickDepth);
    Market& m = d->markets[in.marketIndex];
    {
        std::lock_guard<std::mutex> cache(d->cacheMutex);
        m.snapshots[in.slot] = std::move(q);
    }
    if (!m.pendingFlag[in.slot]) {
        m.pendingFlag[in.slot] = 1;
        m.pending.push_back(in.slot);
    }
    return true;
}

std::vector<std::string> EmbeddedMarket::markets()
{
    std::lock_guard<std::mutex> lock(d->simMutex);
    d->ensureBuilt();
    std::vector<std::string> names;
    for (const Market& m : d->markets)
        names.push_back(m.name);
    return names;
}

int EmbeddedMarket::instrumentCount()
{
    std::lock_guard<std::mutex> lock(d->simMutex);
    d->ensureBuilt();
    return static_cast<int>(d->instruments.size());
}

std::vector<quoter::KLineData> EmbeddedMarket::dailyBars(const std::string& market,
                                                         const std::string& code)
{
    std::lock_guard<std::mutex> lock(d->simMutex);
    d->ensureBuilt();
    const int idx = d->find(market, code);
    if (idx < 0)
        return {};
    const Instrument& in = d->instruments[idx];
    std::vector<quoter::KLineData> bars = d->generatePast(in);
    bars.insert(bars.end(), in.pastDays.begin(), in.pastDays.end());
    if (in.last > 0)
        bars.push_back(d->todayBar(in));
    if (bars.size() > static_cast<size_t>(kHistoryDays + 1))
        bars.erase(bars.begin(), bars.end() - (kHistoryDays + 1));
    for (quoter::KLineData& bar : bars)
        bar.volume /= in.volumeUnit();
    return bars;
}

std::vector<quoter::KLineData> EmbeddedMarket::minuteBars(const std::string& market,
                                                          const std::string& code)
{
    std::lock_guard<std::mutex> lock(d->simMutex);
    d->ensureBuilt();
    const int idx = d->find(market, code);
    if (idx < 0)
        return {};
    return d->todayMinutes(d->instruments[idx]);
}

std::vector<quoter::KLineData> EmbeddedMarket::minuteBarsOfDay(const std::string& market,
                                                               const std::string& code, int date)
{
    std::lock_guard<std::mutex> lock(d->simMutex);
    d->ensureBuilt();
    const int idx = d->find(market, code);
    if (idx < 0 || date <= 0)
        return {};
    date = TC::CStockManager::dateOfMs(static_cast<int64_t>(date) * 1000);
    Instrument& in = d->instruments[idx];
    if (date == in.tradingDay)
        return d->todayMinutes(in);
    if (date > in.tradingDay)
        return {};
    // the days simulated since start-up, after the generated ones before them
    std::vector<quoter::KLineData> days(in.pastDays.begin(), in.pastDays.end());
    if (days.size() < static_cast<size_t>(kMinuteHistoryDays)) {
        if (in.generatedTail.empty()) {
            std::vector<quoter::KLineData> past = d->generatePast(in);
            const size_t keep = std::min(past.size(), static_cast<size_t>(kMinuteHistoryDays));
            in.generatedTail.assign(past.end() - keep, past.end());
        }
        days.insert(days.begin(), in.generatedTail.begin(), in.generatedTail.end());
    }
    const size_t from = days.size() > static_cast<size_t>(kMinuteHistoryDays)
                            ? days.size() - kMinuteHistoryDays
                            : 0;
    for (size_t i = from; i < days.size(); ++i) {
        if (TC::CStockManager::dateOfMs(days[i].time) != date)
            continue;
        quoter::KLineData day = days[i];
        day.volume /= in.volumeUnit();
        return d->pastMinutes(in, day);
    }
    return {};
}

std::vector<quoter::QuoterAllDataPtr> EmbeddedMarket::ticks(const std::string& market,
                                                            const std::string& code)
{
    std::lock_guard<std::mutex> lock(d->simMutex);
    d->ensureBuilt();
    const int idx = d->find(market, code);
    if (idx < 0)
        return {};
    const Instrument& in = d->instruments[idx];
    std::vector<quoter::QuoterAllDataPtr> out;
    out.reserve(in.ringCount);
    const int start = (in.ringHead - in.ringCount + kTickDepth) % kTickDepth;
    for (int i = 0; i < in.ringCount; ++i) {
        const quoter::QuoterAllDataPtr& q = in.ring[(start + i) % kTickDepth];
        if (q)
            out.push_back(q);
    }
    return out;
}

PushHub& EmbeddedMarket::pushHub()
{
    return d->hub;
}

} // namespace ttmarket

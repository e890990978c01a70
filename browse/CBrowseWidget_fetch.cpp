// Cache fetches and past trading days: the shared cache-fetch worker and its GUI-thread
// dispatch, the quotes of an earlier trade date (the date's ticks, or its stored daily
// values) and laying them into the rows.
//
// Workers hold copies of what they fetch and the worker mailbox, never the widget: what
// they deliver runs on the GUI thread only while the widget lives, and only while the
// generation it was fetched under is still current.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/FormulaManager.h"
#include "host/data/IndexManager.h"
#include "host/data/Log.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/StoredDailyValues.h"

#include <QElapsedTimer>
#include <QPointer>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace TC {

namespace {

std::atomic<int> g_failWorkerStarts{0};
std::atomic<int> g_fetchWorkers{0};

constexpr int kTickDateSpan = 10;         // trading days before the date in the tick request's list
constexpr size_t kTickChunk = 256;        // instruments a tick or stored-value delivery carries
constexpr qint64 kFetchSliceNs = 4000000; // GUI time one drain may spend laying deliveries

qint64 generationKey(int kind, int columnId)
{
    return (qint64(kind) << 32) | quint32(columnId);
}

// The fields of the stored daily values an earlier date is built from, in the order of
// the host's answer.
enum StoredField {
    SF_Last,
    SF_Amount,
    SF_Volume,
    SF_Position,
    SF_Trades,
    SF_Open,
    SF_High,
    SF_Low,
    SF_Count
};

const std::vector<QString>& storedFields()
{
    static const std::vector<QString> names = {QStringLiteral("最新"), QStringLiteral("总额"),
                                               QStringLiteral("总量"), QStringLiteral("持仓"),
                                               QStringLiteral("总笔"), QStringLiteral("今开"),
                                               QStringLiteral("最高"), QStringLiteral("最低")};
    return names;
}

double storedOrZero(double v)
{
    return isNoValue(v) || !std::isfinite(v) ? 0.0 : v;
}

int64_t storedCount(double v)
{
    return isNoValue(v) || !std::isfinite(v) ? 0 : int64_t(v);
}

// One snapshot of a trade date from the host's stored daily values, the previous trading
// day's last price as its pre-close; null when the date holds no last price. values is
// scratch.
quoter::QuoterBasePtr storedQuote(const QString& key, int date, int previous,
                                  std::vector<double>& values)
{
    // one read of the instrument's history for both days (dates x 1000 in 64 bits)
    se::getStoredDailyValues(key, storedFields(), {int64_t(date), int64_t(previous)}, values);
    const double* v = values.data();
    if (isNoValue(v[SF_Last]) || !std::isfinite(v[SF_Last]))
        return nullptr;
    auto q = std::make_shared<quoter::QuoterAllData>();
    q->time = int64_t(date) * 1000;
    q->last = v[SF_Last];
    q->amount = storedOrZero(v[SF_Amount]);
    q->volume = storedCount(v[SF_Volume]);
    q->openInterestOrPhase = storedCount(v[SF_Position]);
    q->tradeCount = storedCount(v[SF_Trades]);
    q->open = storedOrZero(v[SF_Open]);
    q->high = storedOrZero(v[SF_High]);
    q->low = storedOrZero(v[SF_Low]);
    q->preClose = storedOrZero(v[SF_Count + SF_Last]);
    return q;
}

// The snapshot a delivery's records stand for: the latest snapshot, or a bar as one.
// Null records are skipped; null when nothing usable is left.
quoter::QuoterAllDataPtr quoteOfRecords(const std::vector<quoter::QuoterBasePtr>& records)
{
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const quoter::QuoterBasePtr& r = *it;
        if (!r)
            continue;
        if (r->kind == quoter::RecordKind::AllData)
            return std::static_pointer_cast<quoter::QuoterAllData>(r);
        if (const quoter::KLineData* bar = quoter::asKLine(r.get())) {
            auto q = std::make_shared<quoter::QuoterAllData>();
            q->time = bar->time;
            q->last = bar->close;
            q->open = bar->open;
            q->high = bar->high;
            q->low = bar->low;
            q->preClose = bar->preClose;
            q->volume = bar->volume;
            q->amount = bar->amount;
            q->openInterestOrPhase = bar->openInterest;
            return q;
        }
    }
    return nullptr;
}

// The worker body of a tick or stored-value fetch: deliveries of at most kTickChunk
// instruments, visible rows' markets first. Stops early once the mailbox is closed.
void runTickFetch(const CWorkerMailboxPtr& mailbox,
                  const std::function<void(BrowseFetchData&)>& deliver,
                  const CBrowseWidget::InstrumentsByMarket& visible,
                  const CBrowseWidget::InstrumentsByMarket& others, int date)
{
    auto* stocks = CStockManager::instance();
    const int last = stocks->getLastTradingDay();
    const bool ticks = date >= last;
    std::vector<int> dates;
    if (ticks) {
        const QVector<int> list =
            stocks->getTradeDateList(stocks->getShiftTradeDate(date, -kTickDateSpan), date);
        dates.assign(list.begin(), list.end());
    }
    const int previous = ticks ? 0 : stocks->getShiftTradeDate(date, -1);
    std::vector<double> values;
    // deliveries of a bounded size, so laying one never holds the GUI thread for long
    auto deliverChunks = [&](BrowseFetchData& data) {
        while (data.size() > kTickChunk) {
            BrowseFetchData chunk;
            for (size_t i = 0; i < kTickChunk; ++i)
                chunk.insert(data.extract(data.begin()));
            deliver(chunk);
        }
        deliver(data);
    };
    for (const CBrowseWidget::InstrumentsByMarket* group : {&visible, &others}) {
        for (auto it = group->constBegin(); it != group->constEnd(); ++it) {
            if (mailbox->isClosed())
                return;
            BrowseFetchData data;
            if (ticks) {
                se::RPCFetchCacheDataParam param;
                param.market = it.key().toStdString();
                param.quoterType = se::getQuoterType(it.key());
                for (const ttservice::CInstrumentDetailPtr& detail : it.value()) {
                    if (detail)
                        param.codes.push_back(detail->code.toStdString());
                }
                CFormulaManager::instance()->fetchTickData(
                    param, date, dates, [&data](BrowseFetchData& records) { data.swap(records); });
                // the day's last snapshot says all the quote columns show
                for (auto& entry : data) {
                    std::vector<quoter::QuoterBasePtr>& records = entry.second;
                    auto last =
                        std::find_if(records.rbegin(), records.rend(),
                                     [](const quoter::QuoterBasePtr& r) { return bool(r); });
                    if (last != records.rend() && records.size() > 1) {
                        quoter::QuoterBasePtr keep = *last;
                        records.assign(1, std::move(keep));
                    }
                }
                deliverChunks(data);
                continue;
            }
            for (const ttservice::CInstrumentDetailPtr& detail : it.value()) {
                if (!detail)
                    continue;
                const QString key = XP::nvStockKey(detail->market, detail->code);
                if (quoter::QuoterBasePtr q = storedQuote(key, date, previous, values))
                    data[key.toStdString()].push_back(std::move(q));
                if (data.size() >= kTickChunk) {
                    if (mailbox->isClosed())
                        return;
                    deliver(data);
                    data.clear();
                }
            }
            deliver(data);
        }
    }
}

} // namespace

bool startBrowseWorker(const char* name, std::function<void()> fn)
{
    try {
        if (g_failWorkerStarts > 0 && g_failWorkerStarts.fetch_sub(1) > 0)
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        ++g_fetchWorkers;
        try {
            std::thread([name, fn = std::move(fn)]() {
                pthread_setname_np(pthread_self(), name);
                fn();
                --g_fetchWorkers;
            }).detach();
        } catch (...) {
            --g_fetchWorkers;
            throw;
        }
        return true;
    } catch (const std::exception& e) {
        TT_LOG_ERROR("[browser fetch] no worker thread for %1%: %2%", name, e.what());
    } catch (...) {
        TT_LOG_ERROR("[browser fetch] no worker thread for %1%", name);
    }
    return false;
}

void failBrowseWorkerStartsForTest(int n)
{
    g_failWorkerStarts = n;
}

int CBrowseWidget::runningFetchWorkers()
{
    return g_fetchWorkers.load();
}

void CBrowseWidget::initFetch()
{
    qRegisterMetaType<TC::BrowseFetchData>("TC::BrowseFetchData");
    connect(this, &CBrowseWidget::sigFetchDatas, this, &CBrowseWidget::slotFetchDatas);
    connect(this, &CBrowseWidget::sigFetchTickDatas, this,
            &CBrowseWidget::slotFtchTickDataCallBack);
}

void CBrowseWidget::queueFetchJob(std::function<void()> job)
{
    d->m_fetchJobs.push_back(std::move(job));
    if (!d->m_bFetchDrainPosted)
        d->m_bFetchDrainPosted = d->m_mailbox->post([this]() { drainFetchJobs(); });
}

void CBrowseWidget::drainFetchJobs()
{
    d->m_bFetchDrainPosted = false;
    QPointer<CBrowseWidget> self(this); // a job's listeners may delete the widget
    QElapsedTimer clock;
    clock.start();
    while (!d->m_fetchJobs.empty()) {
        if (clock.nsecsElapsed() >= kFetchSliceNs) {
            // the rest after the event loop had its turn (timers, paints, input)
            d->m_bFetchDrainPosted = d->m_mailbox->post([this]() { drainFetchJobs(); });
            return;
        }
        std::function<void()> job = std::move(d->m_fetchJobs.front());
        d->m_fetchJobs.pop_front();
        job();
        if (!self)
            return;
    }
}

// --- the shared cache fetch ----------------------------------------------------------------

quint64 CBrowseWidget::nextFetchGeneration(int kind, int columnId)
{
    return ++d->m_fetchGenerations[generationKey(kind, columnId)];
}

bool CBrowseWidget::doFetchCacheData(const se::RPCFetchCacheDataParam& param, int kind,
                                     int columnId)
{
    const quint64 generation = d->m_fetchGenerations.value(generationKey(kind, columnId));
    const CWorkerMailboxPtr mailbox = d->m_mailbox;
    return startBrowseWorker("browseFetch", [this, mailbox, param, kind, columnId, generation]() {
        CFormulaManager::instance()->fetchCacheData(param, [&](BrowseFetchData& records) {
            mailbox->post([this, kind, columnId, generation, data = std::move(records)]() {
                if (d->m_fetchGenerations.value(generationKey(kind, columnId)) == generation)
                    Q_EMIT sigFetchDatas(data, kind, columnId);
            });
        });
    });
}

void CBrowseWidget::fetchDataQuoteToKLineData(BrowseFetchData& data)
{
    for (auto it = data.begin(); it != data.end();) {
        std::vector<quoter::QuoterBasePtr>& records = it->second;
        size_t kept = 0;
        for (quoter::QuoterBasePtr& r : records) {
            if (!r)
                continue;
            if (r->kind != quoter::RecordKind::KLine) {
                quoter::KLineDataPtr bar = quoter::quoteToKLine(r);
                if (!bar)
                    continue;
                r = std::move(bar);
            }
            records[kept++] = std::move(r);
        }
        records.resize(kept);
        it = records.empty() ? data.erase(it) : std::next(it);
    }
}

void CBrowseWidget::slotFetchDatas(const BrowseFetchData& data, int kind, int columnId)
{
    TT_LOG_DEBUG("[browser ftchtick] start:slotFetchDatas mapData size %1%", data.size());
    switch (kind) {
    case FetchKind_External: fetchExternalDataBack(data); break;
    case FetchKind_Stage: onFetchStageData(data, columnId); break;
    default: fetchDataForStatistic(data); break;
    }
    TT_LOG_DEBUG("[browser ftchtick] end:slotFetchDatas mapData size %1%", data.size());
}

// --- past trading days -----------------------------------------------------------------------

void CBrowseWidget::updateVisibleColumn_fromLocalTick()
{
    if (!d->m_getTradeDate)
        return;
    const int date = d->m_getTradeDate();
    if (date <= 0) {
        TT_LOG_WARN("[browser ftchtick] trade date %1% ignored", date);
        return;
    }
    // the rows show the date's values from here on: nothing of the live day stays
    const quint64 generation = ++d->m_nTickGeneration;
    d->m_pending.reset();
    d->m_pModel->clearValues();

    auto* stocks = CStockManager::instance();
    const int first = d->m_pTable->getStartRow();
    const int last = d->m_pTable->getEndRow();
    InstrumentsByMarket visible, others;
    const auto& rows = d->m_pModel->getAllDatas();
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto* row = static_cast<const HpfBrowserData*>(rows[i].get());
        ttservice::CInstrumentDetailPtr detail = stocks->getInstrumentDetail(row->key);
        if (!detail)
            continue;
        const bool shown = int(i) >= first && int(i) <= last;
        (shown ? visible : others)[detail->market].append(std::move(detail));
    }
    d->m_pTable->updateUi();
    TT_LOG_INFO("[browser ftchtick] date %1%: %2% visible markets, %3% other markets", date,
                visible.size(), others.size());
    const CWorkerMailboxPtr mailbox = d->m_mailbox;
    // the worker gets copies: the GUI thread may rebuild the rows meanwhile
    startBrowseWorker("browseTick",
                      [mailbox, deliver = tickDelivery(generation), visible, others, date]() {
                          runTickFetch(mailbox, deliver, visible, others, date);
                      });
}

std::function<void(BrowseFetchData&)> CBrowseWidget::tickDelivery(quint64 generation)
{
    const CWorkerMailboxPtr mailbox = d->m_mailbox;
    return [this, mailbox, generation](BrowseFetchData& data) {
        mailbox->post([this, generation, data = std::move(data)]() mutable {
            queueFetchJob([this, generation, data = std::move(data)]() mutable {
                deliverTickData(generation, data);
            });
        });
    };
}

void CBrowseWidget::doFetchDataForTick(const InstrumentsByMarket& visible,
                                       const InstrumentsByMarket& others, int date)
{
    if (date <= 0)
        return;
    runTickFetch(d->m_mailbox, tickDelivery(d->m_nTickGeneration), visible, others, date);
}

void CBrowseWidget::deliverTickData(quint64 generation, BrowseFetchData& data)
{
    if (generation != d->m_nTickGeneration)
        return; // a newer quote request superseded this date
    d->m_bLayingFetchedTicks = true;
    Q_EMIT sigFetchTickDatas(data);
    d->m_bLayingFetchedTicks = false;
}

void CBrowseWidget::slotFtchTickDataCallBack(const BrowseFetchData& data)
{
    TT_LOG_DEBUG("[browser ftchtick] start:slotFtchTickDataCallBack mapData size %1%", data.size());
    const bool fetched = d->m_bLayingFetchedTicks;
    auto* stocks = CStockManager::instance();
    auto* indexes = CIndexManager::instance();
    // one call per market; the map is ordered by key, so a market's keys come together
    QString market;
    QVector<QString>& codes = d->m_fetchCodes;
    std::vector<quoter::QuoterAllDataPtr>& quotes = d->m_fetchQuotes;
    codes.clear();
    quotes.clear();
    auto flush = [&]() {
        if (codes.isEmpty())
            return;
        formulaMarketQuoteBack(market, codes, quotes, false);
        codes.clear();
        quotes.clear();
    };
    d->m_bFetchedQuoteDate = fetched; // fetched records are of the trade date, not today
    for (const auto& entry : data) {
        quoter::QuoterAllDataPtr quote = quoteOfRecords(entry.second);
        if (!quote)
            continue; // no records, or only null ones
        const QString key = QString::fromStdString(entry.first);
        QString m, code;
        if (const auto detail = stocks->getInstrumentDetail(key)) {
            m = detail->market;
            code = detail->code;
        } else if (const auto index = indexes->getIndex(key)) {
            m = CIndexManager::market();
            code = index->code;
        } else {
            continue;
        }
        if (m != market) {
            flush();
            market = m;
        }
        codes.append(code);
        quotes.push_back(std::move(quote));
    }
    flush();
    d->m_bFetchedQuoteDate = false;
    if (fetched)
        d->m_nBrowseStatus = BrowseStatus_TickLoaded;
    if (isVisible())
        d->m_pTable->updateUi();
    TT_LOG_DEBUG("[browser ftchtick] end:slotFtchTickDataCallBack mapData size %1%", data.size());
}

} // namespace TC

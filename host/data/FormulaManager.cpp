#include "host/data/FormulaManager.h"

#include "host/data/ExtendDataManager.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/FormulaOperateManager.h"
#include "host/data/IndexManager.h"
#include "host/data/Log.h"
#include "host/data/MarketBackend.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"

#include <QDateTime>
#include <QSet>
#include <algorithm>
#include <exception>
#include <mutex>
#include <set>
#include <unordered_set>

namespace TC {

namespace {

std::string stockKey(const std::string& mk, const std::string& code)
{
    return utils::nvStockKey(mk, code);
}

bool inRange(int64_t t, int64_t start, int64_t end)
{
    return (start < 0 || t >= start) && (end < 0 || t <= end);
}

// A snapshot standing for a whole past day.
quoter::QuoterAllDataPtr quoteFromBar(const quoter::KLineData& bar)
{
    auto q = std::make_shared<quoter::QuoterAllData>();
    q->time = bar.time;
    q->last = bar.close;
    q->open = bar.open;
    q->high = bar.high;
    q->low = bar.low;
    q->preClose = bar.preClose;
    q->volume = bar.volume;
    q->amount = bar.amount;
    q->settlement = bar.settlement;
    q->average = bar.volume > 0 ? bar.amount / static_cast<double>(bar.volume) : 0.0;
    q->openInterestOrPhase = bar.openInterest;
    return q;
}

// Merges bar b into the group bar g (g keeps its open, preClose and the first time).
void merge(quoter::KLineData& g, const quoter::KLineData& b)
{
    g.time = b.time;
    g.high = std::max(g.high, b.high);
    g.low = std::min(g.low, b.low);
    g.close = b.close;
    g.volume += b.volume;
    g.amount += b.amount;
    g.openInterest = b.openInterest;
    g.settlement = b.settlement;
}

// Groups bars into bars of `size` consecutive inputs (minute bars into n-minute bars,
// days into n-day bars); the last group may be partial.
std::vector<quoter::KLineData> aggregate(const std::vector<quoter::KLineData>& in, int size)
{
    if (size <= 1)
        return in;
    std::vector<quoter::KLineData> out;
    out.reserve(in.size() / size + 1);
    for (size_t i = 0; i < in.size(); ++i) {
        const quoter::KLineData& b = in[i];
        if (i % size == 0) {
            out.push_back(b);
            continue;
        }
        merge(out.back(), b);
    }
    return out;
}

// Bars of a period in ms: 0 and whole days give daily bars, less than a day minute bars.
std::vector<quoter::KLineData> barsOf(IMarketBackend& backend, const std::string& mk,
                                      const std::string& code, int64_t period)
{
    if (mk == "ED") {
        std::vector<quoter::KLineData> bars;
        const QVector<QPair<qint64, double>> series =
            CExternalDataManager::instance()->getSeries(QString::fromStdString(code));
        double pre = 0.0;
        for (const auto& p : series) {
            quoter::KLineData b;
            b.time = p.first;
            b.open = b.high = b.low = b.close = b.settlement = p.second;
            b.preClose = pre;
            pre = p.second;
            bars.push_back(b);
        }
        return bars;
    }
    constexpr int64_t day = 86400000;
    if (period <= 0 || period >= day)
        return aggregate(backend.dailyBars(mk, code),
                         period <= 0 ? 1 : static_cast<int>(period / day));
    return aggregate(backend.minuteBars(mk, code),
                     static_cast<int>(std::max<int64_t>(1, period / 60000)));
}

// Daily bars into calendar weeks (week) or months; a group's time is its last day's.
std::vector<quoter::KLineData> groupDays(const std::vector<quoter::KLineData>& days, bool week)
{
    std::vector<quoter::KLineData> out;
    int current = -1;
    for (const quoter::KLineData& b : days) {
        const QDate d = QDateTime::fromMSecsSinceEpoch(b.time, Qt::OffsetFromUTC, 8 * 3600).date();
        const int group = week ? static_cast<int>(d.toJulianDay() - (d.dayOfWeek() - 1))
                               : d.year() * 12 + d.month();
        if (out.empty() || group != current) {
            out.push_back(b);
            current = group;
        } else {
            merge(out.back(), b);
        }
    }
    return out;
}

// Bars of a fetch: n-minute bars from the minute history, grouped within each trading
// day from its first minute; n-day bars, weeks or months from the daily bars. Empty for
// a period that is none of these.
std::vector<quoter::KLineData> fetchBars(IMarketBackend& backend, const std::string& mk,
                                         const std::string& code, int64_t period,
                                         const std::vector<int>& minuteDays)
{
    if (period <= 0)
        return {};
    if (period == se::kPeriodWeek || period == se::kPeriodMonth)
        return groupDays(backend.dailyBars(mk, code), period == se::kPeriodWeek);
    if (period % se::kPeriodDay == 0) // more days than any history holds make one bar
        return aggregate(backend.dailyBars(mk, code),
                         static_cast<int>(std::min<int64_t>(period / se::kPeriodDay, 1 << 20)));
    if (period % se::kPeriodMinute != 0 || period > se::kPeriodDay)
        return {};
    const int size = static_cast<int>(period / se::kPeriodMinute);
    std::vector<quoter::KLineData> out;
    for (int day : minuteDays) {
        const std::vector<quoter::KLineData> grouped =
            aggregate(backend.minuteBarsOfDay(mk, code, day), size);
        out.insert(out.end(), grouped.begin(), grouped.end());
    }
    return out;
}

// The trading days whose minutes a fetch may need: from the start's day, or the day
// before when its last bar is the reference bar, to the end, not after today.
std::vector<int> minuteDaysOf(const se::RPCFetchCacheDataParam& param, int today)
{
    CStockManager* sm = CStockManager::instance();
    constexpr int64_t lookBack = 30LL * 86400; // further back than any minute history
    const int64_t dayAfter = (static_cast<int64_t>(today) + 86400) * 1000;
    std::vector<int> days;
    // times past today are not converted to dates: nothing lies there
    if (param.startTime >= dayAfter)
        return days;
    int from = today - static_cast<int>(lookBack);
    if (param.startTime > 0) {
        const int startDay = CStockManager::dateOfMs(param.startTime);
        const bool reference = param.lineSetting != 1 && param.count <= 0;
        from = std::max(from, reference ? sm->getShiftTradeDate(startDay, -1) : startDay);
    }
    int to = today;
    if (param.endTime > 0 && param.endTime < dayAfter)
        to = std::min(to, CStockManager::dateOfMs(param.endTime));
    if (from > to)
        return days;
    for (int d : sm->getTradeDateList(from, to))
        days.push_back(d);
    return days;
}

struct RunningBatch {
    std::mutex mutex;
    std::set<QString> cancelled;
};

} // namespace

class CFormulaManagerPrivate {
public:
    mutable std::mutex mutex;
    std::vector<CommandRecord> commands;
    std::set<RunningBatch*> batches; // batches evaluating now, for unrequestFormulas

    // Push ids handed out -> the backend and its own id: a subscription is cancelled on
    // the backend that made it even after another was installed.
    struct Push {
        MarketBackendPtr backend;
        int backendId = 0;
    };
    std::map<int, Push> pushes;
    int nextPushId = 1;

    struct IndexRequest {
        quoter::TRegionInfo region;
        CFormulaManager::IndexDataCallback callback;
        MarketBackendPtr backend;
        std::vector<int> pushIds; // the backend's subscriptions that refresh it
    };
    std::map<long long, std::shared_ptr<IndexRequest>> indexRequests;
    long long nextIndexId = 1;

    static std::map<std::string, quoter::QuoterBasePtr>
    indexValues(const quoter::TRegionInfo& region);
};

std::map<std::string, quoter::QuoterBasePtr>
CFormulaManagerPrivate::indexValues(const quoter::TRegionInfo& region)
{
    std::map<std::string, quoter::QuoterBasePtr> values;
    const MarketBackendPtr backend = marketBackend();
    if (!backend)
        return values;
    CStockManager* sm = CStockManager::instance();
    auto snapshotAt = [&](const QString& mk, const QString& code) -> quoter::QuoterAllDataPtr {
        const std::string m = mk.toStdString(), c = code.toStdString();
        if (region.time > 0) {
            const int day = CStockManager::dateOfMs(region.time);
            if (day < sm->getLastTradingDay(mk)) {
                for (const quoter::KLineData& bar : backend->dailyBars(m, c)) {
                    if (CStockManager::dateOfMs(bar.time) == day)
                        return quoteFromBar(bar);
                }
                return nullptr;
            }
        }
        return backend->lastQuote(m, c);
    };
    if (!region.keys.empty()) {
        for (const std::string& key : region.keys) {
            QString mk, code;
            if (!XP::splitStockKey(QString::fromStdString(key), &mk, &code))
                continue;
            if (quoter::QuoterAllDataPtr q = snapshotAt(mk, code))
                values[key] = q;
        }
        return values;
    }
    // every custom index, valued from its constituents relative to their previous close
    for (const CCustomIndexDetailPtr& index : CIndexManager::instance()->allIndices()) {
        if (!index || index->code.isEmpty())
            continue;
        double weights = 0, lastSum = 0, openSum = 0, amount = 0;
        int64_t volume = 0, latest = 0;
        for (const CCustomIndexStock& s : index->stocks) {
            const quoter::QuoterAllDataPtr q = snapshotAt(s.market, s.code);
            if (!q || q->preClose <= 0 || s.weight <= 0)
                continue;
            const double last = q->last > 0 ? q->last : q->preClose;
            const double open = q->open > 0 ? q->open : q->preClose;
            weights += s.weight;
            lastSum += s.weight * last / q->preClose;
            openSum += s.weight * open / q->preClose;
            amount += q->amount;
            volume += q->volume;
            latest = std::max(latest, q->time);
        }
        if (weights <= 0)
            continue;
        auto q = std::make_shared<quoter::QuoterAllData>();
        q->time = latest;
        q->preClose = index->basePoint;
        q->last = index->basePoint * lastSum / weights;
        q->open = index->basePoint * openSum / weights;
        q->high = std::max(q->open, q->last);
        q->low = std::min(q->open, q->last);
        q->amount = amount;
        q->volume = volume;
        values[index->code.toStdString()] = q;
    }
    return values;
}

CFormulaManager* CFormulaManager::instance()
{
    // never destroyed: feed and worker threads may still call it during exit
    static CFormulaManager* manager = new CFormulaManager;
    return manager;
}

CFormulaManager::CFormulaManager() : d(new CFormulaManagerPrivate) {}

CFormulaManager::~CFormulaManager() = default;

// --- quote cache -------------------------------------------------------------------------

void CFormulaManager::subPushQuoterFromCache(
    const std::vector<dorn::PushQuoteParam>& params,
    const std::map<std::string, std::vector<std::string>>& codesByMarket,
    std::map<std::string, std::vector<quoter::QuoterAllDataPtr>>& out)
{
    const MarketBackendPtr backend = marketBackend();
    for (const dorn::PushQuoteParam& param : params) {
        auto it = codesByMarket.find(param.market);
        if (it == codesByMarket.end())
            continue;
        if (backend)
            backend->lastQuotes(param.market, it->second, out[param.market]);
        else
            out[param.market].assign(it->second.size(), nullptr);
    }
}

std::vector<quoter::QuoterAllDataPtr>
CFormulaManager::subPushQuoterFromCache(const dorn::PushQuoteParam& param,
                                        const std::vector<std::string>& codes)
{
    std::vector<quoter::QuoterAllDataPtr> out;
    if (const MarketBackendPtr backend = marketBackend())
        backend->lastQuotes(param.market, codes, out);
    else
        out.assign(codes.size(), nullptr);
    return out;
}

std::vector<quoter::QuoterAllDataPtr>
CFormulaManager::subPushQuoterFromCache(const dorn::PushQuoteParam& param,
                                        const QVector<QString>& codes)
{
    std::vector<std::string> list;
    list.reserve(codes.size());
    for (const QString& c : codes)
        list.push_back(c.toStdString());
    return subPushQuoterFromCache(param, list);
}

quoter::QuoterAllDataPtr CFormulaManager::lastQuote(const std::string& mk,
                                                    const std::string& code) const
{
    return getLastQuoterAllDataPtr(mk, code);
}

bool CFormulaManager::isValidData(int64_t timeSeconds, const QString& mk) const
{
    if (timeSeconds <= 0 || mk.isEmpty())
        return false;
    CStockManager* sm = CStockManager::instance();
    const QVector<QPair<qint64, qint64>> sessions = sm->getOpenTimeByMarket(mk);
    if (!sessions.isEmpty()) {
        // from the call auction before the day's first session on
        constexpr int64_t auctionMs = 30 * 60000;
        return timeSeconds * 1000 >= sessions.front().first - auctionMs;
    }
    return CStockManager::dateOfMs(timeSeconds * 1000) >= sm->getLastTradingDay(mk);
}

bool CFormulaManager::isValidData(int64_t timeSeconds, const std::string& mk) const
{
    return isValidData(timeSeconds, QString::fromStdString(mk));
}

// --- push subscriptions ------------------------------------------------------------------

int CFormulaManager::requestPushQuoter(const dorn::PushQuoteParam& param, PushCallback callback,
                                       int mode)
{
    if (param.market.empty() || !callback)
        return -1;
    CFormulaManagerPrivate::Push push;
    push.backend = marketBackend();
    if (!push.backend)
        return -1;
    push.backendId = push.backend->subscribe(param, std::move(callback),
                                             mode == ePushAll ? IMarketBackend::ePushAll
                                                              : IMarketBackend::ePushChanged);
    if (push.backendId <= 0)
        return -1;
    int id = 0;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        id = d->nextPushId++;
        if (d->nextPushId <= 0)
            d->nextPushId = 1;
        d->pushes.emplace(id, std::move(push));
    }
    TT_LOG_DEBUG("[push] request %1% market %2% mode %3%", id, param.market, mode);
    return id;
}

void CFormulaManager::unrequestPushQuoter(int id, const dorn::PushQuoteParam& param)
{
    CFormulaManagerPrivate::Push push;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        auto it = d->pushes.find(id);
        if (it == d->pushes.end())
            return;
        push = std::move(it->second);
        d->pushes.erase(it);
    }
    // outside the lock: it may wait for a running callback that calls back in here
    if (push.backend->unsubscribe(push.backendId))
        TT_LOG_DEBUG("[push] unrequest %1% market %2%", id, param.market);
}

int CFormulaManager::pushSubscriptionCount() const
{
    const MarketBackendPtr backend = marketBackend();
    return backend ? backend->subscriptionCount() : 0;
}

// --- formulas ----------------------------------------------------------------------------

se::RPCFormulaResultPtr CFormulaManager::evaluate(const CFormulaParam& param,
                                                  se::RPCFormulaMetaResultPtr* meta)
{
    auto result = std::make_shared<se::RPCFormulaResult>();
    auto metaResult = std::make_shared<se::RPCFormulaMetaResult>();
    if (meta)
        *meta = metaResult;
    const CFormulaDetailPtr detail =
        CFormulaOperateManager::instance()->getFormula(param.formulaName);
    if (!detail) {
        result->errorCode = 1;
        result->errorText = "unknown formula";
        return result;
    }
    const size_t lines = detail->lineNames.size();
    for (size_t i = 0; i < lines; ++i) {
        metaResult->lineNames.push_back(detail->lineNames[i].toStdString());
        metaResult->lineIndexes.push_back({static_cast<int>(i)});
        result->dataTypes.push_back(detail->lineTypes[i]);
    }
    result->doubleValues.assign(lines, {});
    result->stringValues.assign(lines, {});

    const MarketBackendPtr backend = marketBackend();
    if (!backend) {
        result->errorCode = 2;
        result->errorText = "no data";
        return result;
    }
    const std::vector<quoter::KLineData> bars =
        barsOf(*backend, param.market.toStdString(), param.code.toStdString(), param.period);
    if (bars.empty()) {
        result->errorCode = 2;
        result->errorText = "no data";
        return result;
    }
    std::map<std::string, double> values;
    for (auto it = param.params.constBegin(); it != param.params.constEnd(); ++it) {
        bool ok = false;
        const double v = it.value().toDouble(&ok);
        if (ok)
            values[it.key().toStdString()] = v;
    }
    CFormulaSeries output;
    if (!backend->evaluateFormula(detail->name, values, bars, output)
        || output.values.size() < lines || output.texts.size() < lines) {
        result->errorCode = 3;
        result->errorText = "bad parameters";
        return result;
    }
    // evaluated over all bars; only the requested window goes out
    std::vector<size_t> keep;
    for (size_t i = 0; i < bars.size(); ++i) {
        if (inRange(bars[i].time, param.startTime, param.endTime))
            keep.push_back(i);
    }
    if (param.maxCount > 0 && keep.size() > static_cast<size_t>(param.maxCount))
        keep.erase(keep.begin(), keep.end() - param.maxCount);
    for (size_t i : keep)
        result->times.push_back(bars[i].time);
    for (size_t line = 0; line < lines; ++line) {
        for (size_t i : keep) {
            if (!output.values[line].empty())
                result->doubleValues[line].push_back(output.values[line][i]);
            if (!output.texts[line].empty())
                result->stringValues[line].push_back(output.texts[line][i]);
        }
    }
    return result;
}

void CFormulaManager::requestFormulasSync2(const QVector<CFormulaParam>& batch,
                                           FormulaCallback callback, const se::StopFlag& stopFlag)
{
    RunningBatch running;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->batches.insert(&running);
    }
    const int count = batch.size();
    for (int i = 0; i < count; ++i) {
        if (se::isStopped(stopFlag)) {
            TT_LOG_INFO("[formula] batch stopped at %1% of %2%", i, count);
            break;
        }
        {
            std::lock_guard<std::mutex> lock(running.mutex);
            if (!batch[i].requestId.isEmpty() && running.cancelled.count(batch[i].requestId))
                continue;
        }
        se::RPCFormulaMetaResultPtr meta;
        se::RPCFormulaResultPtr result = evaluate(batch[i], &meta);
        if (!callback)
            continue;
        try {
            callback(i, count, meta, result);
        } catch (const std::exception& e) {
            TT_LOG_ERROR("[formula] callback threw: %1%", e.what());
        } catch (...) {
            TT_LOG_ERROR("[formula] callback threw");
        }
    }
    std::lock_guard<std::mutex> lock(d->mutex);
    d->batches.erase(&running);
}

void CFormulaManager::unrequestFormulas(const QStringList& ids)
{
    // the requests still waiting in running batches are skipped
    std::lock_guard<std::mutex> lock(d->mutex);
    for (RunningBatch* batch : d->batches) {
        std::lock_guard<std::mutex> inner(batch->mutex);
        for (const QString& id : ids)
            batch->cancelled.insert(id);
    }
}

// --- live index values ---------------------------------------------------------------------

long long CFormulaManager::requestIndex(const quoter::TRegionInfo& region,
                                        IndexIdCallback idCallback, IndexDataCallback dataCallback)
{
    auto request = std::make_shared<CFormulaManagerPrivate::IndexRequest>();
    request->region = region;
    request->callback = std::move(dataCallback);
    long long id = 0;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        id = d->nextIndexId++;
        d->indexRequests[id] = request;
    }
    if (idCallback)
        idCallback(id);
    {
        // the caller may have cancelled it from the id callback
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->indexRequests.count(id))
            return id;
    }
    if (request->callback)
        request->callback(CFormulaManagerPrivate::indexValues(region));

    // refresh on pushes of the markets involved, until unrequested
    std::set<std::string> markets;
    if (!region.keys.empty()) {
        for (const std::string& key : region.keys) {
            QString mk, code;
            if (XP::splitStockKey(QString::fromStdString(key), &mk, &code))
                markets.insert(mk.toStdString());
        }
    } else {
        for (const CCustomIndexDetailPtr& index : CIndexManager::instance()->allIndices()) {
            for (const CCustomIndexStock& s : index->stocks)
                markets.insert(s.market.toStdString());
        }
    }
    const int today = CStockManager::instance()->getLastTradingDay();
    const bool live = region.time <= 0 || CStockManager::dateOfMs(region.time) >= today;
    const MarketBackendPtr backend = marketBackend();
    if (!live || !backend)
        return id;
    std::weak_ptr<CFormulaManagerPrivate::IndexRequest> weak = request;
    std::vector<int> pushIds;
    for (const std::string& mk : markets) {
        pushIds.push_back(backend->subscribe(
            dorn::PushQuoteParam(mk),
            [weak](dorn::PushQuoteParam&, const QVector<QString>&, const QVector<QString>&,
                   const std::vector<quoter::QuoterAllDataPtr>&) {
                if (auto r = weak.lock()) {
                    if (r->callback)
                        r->callback(CFormulaManagerPrivate::indexValues(r->region));
                }
            },
            IMarketBackend::ePushChanged));
    }
    bool keep = false;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        auto it = d->indexRequests.find(id);
        if (it != d->indexRequests.end()) {
            it->second->backend = backend;
            it->second->pushIds = pushIds;
            keep = true;
        }
    }
    if (!keep) {
        for (int pushId : pushIds)
            backend->unsubscribe(pushId);
    }
    return id;
}

void CFormulaManager::unrequestIndex(long long id)
{
    std::shared_ptr<CFormulaManagerPrivate::IndexRequest> request;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        auto it = d->indexRequests.find(id);
        if (it == d->indexRequests.end())
            return;
        request = it->second;
        d->indexRequests.erase(it);
    }
    for (int pushId : request->pushIds)
        request->backend->unsubscribe(pushId);
}

// --- history ---------------------------------------------------------------------------

void CFormulaManager::fetchCacheData(const se::RPCFetchCacheDataParam& param,
                                     FetchCallback callback)
{
    std::map<std::string, std::vector<quoter::QuoterBasePtr>> data;
    const MarketBackendPtr backend = marketBackend();
    if (!backend) {
        if (callback)
            callback(data);
        return;
    }
    const bool bars = param.quoterType == se::kQuoterTypeBar || param.market == "ED";
    // an interval that ends before it starts holds nothing
    const bool empty =
        param.startTime >= 0 && param.endTime >= 0 && param.endTime < param.startTime;
    std::vector<int> minuteDays;
    if (bars && param.market != "ED" && param.period > 0 && param.period < se::kPeriodDay)
        minuteDays = minuteDaysOf(param, CStockManager::instance()->getLastTradingDay(
                                             QString::fromStdString(param.market)));
    for (const std::string& code : param.codes) {
        if (empty)
            break;
        std::vector<quoter::QuoterBasePtr> records;
        if (bars) {
            const std::vector<quoter::KLineData> all =
                param.market == "ED"
                    ? barsOf(*backend, param.market, code, param.period)
                    : fetchBars(*backend, param.market, code, param.period, minuteDays);
            if (all.empty())
                continue;
            std::vector<size_t> keep;
            for (size_t i = 0; i < all.size(); ++i) {
                if (inRange(all[i].time, param.startTime, param.endTime))
                    keep.push_back(i);
            }
            if (param.count > 0 && keep.size() > static_cast<size_t>(param.count))
                keep.erase(keep.begin(), keep.end() - param.count);
            // the bar before the interval carries the reference close; a request for
            // the most recent records gets just those
            if (param.count <= 0 && param.lineSetting != 1 && !keep.empty() && keep.front() > 0)
                keep.insert(keep.begin(), keep.front() - 1);
            for (size_t i : keep)
                records.push_back(std::make_shared<quoter::KLineData>(all[i]));
        } else {
            const std::vector<quoter::KLineData> days = backend->dailyBars(param.market, code);
            if (days.empty())
                continue;
            // past days as one snapshot each, today as its recorded snapshots
            const int today =
                CStockManager::instance()->getLastTradingDay(QString::fromStdString(param.market));
            for (const quoter::KLineData& bar : days) {
                if (CStockManager::dateOfMs(bar.time) < today
                    && inRange(bar.time, param.startTime, param.endTime))
                    records.push_back(quoteFromBar(bar));
            }
            for (const quoter::QuoterAllDataPtr& q : backend->ticks(param.market, code)) {
                if (inRange(q->time, param.startTime, param.endTime))
                    records.push_back(q);
            }
            if (param.count > 0 && records.size() > static_cast<size_t>(param.count))
                records.erase(records.begin(), records.end() - param.count);
        }
        if (!records.empty())
            data[stockKey(param.market, code)] = std::move(records);
    }
    if (callback)
        callback(data);
}

void CFormulaManager::fetchTickData(const se::RPCFetchCacheDataParam& param, int date,
                                    const std::vector<int>& dates, FetchCallback callback)
{
    std::map<std::string, std::vector<quoter::QuoterBasePtr>> data;
    CStockManager* sm = CStockManager::instance();
    const int day = CStockManager::dateOfMs(static_cast<int64_t>(date) * 1000);
    const int today = sm->getLastTradingDay(QString::fromStdString(param.market));
    bool known = day == today;
    for (int d : dates)
        known = known || CStockManager::dateOfMs(static_cast<int64_t>(d) * 1000) == day;
    const MarketBackendPtr backend = marketBackend();
    if (backend && known && day <= today) {
        for (const std::string& code : param.codes) {
            std::vector<quoter::QuoterBasePtr> records;
            if (day == today) {
                for (const quoter::QuoterAllDataPtr& q : backend->ticks(param.market, code))
                    records.push_back(q);
                if (records.empty()) {
                    if (quoter::QuoterAllDataPtr q = backend->lastQuote(param.market, code))
                        records.push_back(q);
                }
            } else {
                quoter::KLineData dayBar;
                for (const quoter::KLineData& bar : backend->dailyBars(param.market, code)) {
                    if (CStockManager::dateOfMs(bar.time) == day)
                        dayBar = bar;
                }
                if (dayBar.time == 0)
                    continue;
                // a day with minutes as one snapshot a minute, else as its daily values
                const std::vector<quoter::KLineData> minutes =
                    backend->minuteBarsOfDay(param.market, code, day);
                if (minutes.empty())
                    records.push_back(quoteFromBar(dayBar));
                quoter::KLineData running;
                for (size_t i = 0; i < minutes.size(); ++i) {
                    if (i == 0)
                        running = minutes[0];
                    else
                        merge(running, minutes[i]);
                    running.preClose = dayBar.preClose;
                    running.settlement = minutes[i].close;
                    records.push_back(quoteFromBar(running));
                }
            }
            if (!records.empty())
                data[stockKey(param.market, code)] = std::move(records);
        }
    }
    if (callback)
        callback(data);
}

// --- extended data -----------------------------------------------------------------------

std::map<std::string, double>
CFormulaManager::getExtendShowData(const se::RPCExtendDataShowParam& param)
{
    std::map<std::string, double> values;
    const QString name = QString::fromStdString(param.name);
    for (const std::string& key : param.keys) {
        double v = 0.0;
        if (CExtendDataManager::instance()->getValue(name, QString::fromStdString(key), v,
                                                     param.time))
            values[key] = v;
    }
    return values;
}

// --- commands ----------------------------------------------------------------------------

namespace {
QStringList toList(const std::vector<QString>& v)
{
    QStringList list;
    list.reserve(static_cast<int>(v.size()));
    for (const QString& s : v)
        list.append(s);
    return list;
}
} // namespace

#define TT_RECORD(name, argsList, kindValue)                                                       \
    do {                                                                                           \
        CommandRecord record;                                                                      \
        record.command = QStringLiteral(name);                                                     \
        record.args = argsList;                                                                    \
        record.kind = kindValue;                                                                   \
        {                                                                                          \
            std::lock_guard<std::mutex> lock(d->mutex);                                            \
            d->commands.push_back(record);                                                         \
        }                                                                                          \
        TT_LOG_INFO("[formula command] %1% (%2% items, kind %3%)", name, record.args.size(),       \
                    kindValue);                                                                    \
        Q_EMIT sigCommandRecorded(record.command);                                                 \
    } while (0)

void CFormulaManager::sendBasketQuickOrder(const QStringList& keys, int kind)
{
    TT_RECORD("sendBasketQuickOrder", keys, kind);
}

void CFormulaManager::sendUpdateBasket(const QString& basketName)
{
    TT_RECORD("sendUpdateBasket", QStringList(basketName), 0);
}

void CFormulaManager::synchroStockListData(const QStringList& codes)
{
    TT_RECORD("synchroStockListData", codes, 0);
}

void CFormulaManager::promptRunResult(const std::vector<QString>& keys)
{
    TT_RECORD("promptRunResult", toList(keys), 0);
}

void CFormulaManager::updateCustomField(const QString& sector, const QString& field)
{
    TT_RECORD("updateCustomField", (QStringList{sector, field}), 0);
    Q_EMIT sigUpdateCustomField(sector, field);
}

#undef TT_RECORD

std::vector<CommandRecord> CFormulaManager::commands() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->commands;
}

void CFormulaManager::clearCommands()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->commands.clear();
}

// --- free functions ----------------------------------------------------------------------

quoter::QuoterAllDataPtr getLastQuoterAllDataPtr(const QString& key)
{
    QString mk, code;
    if (!XP::splitStockKey(key, &mk, &code) || code.isEmpty())
        return nullptr;
    return getLastQuoterAllDataPtr(mk.toStdString(), code.toStdString());
}

quoter::QuoterAllDataPtr getLastQuoterAllDataPtr(const QString& mk, const QString& code)
{
    if (code.isEmpty())
        return nullptr;
    return getLastQuoterAllDataPtr(mk.toStdString(), code.toStdString());
}

quoter::QuoterAllDataPtr getLastQuoterAllDataPtr(const std::string& mk, const std::string& code)
{
    if (code.empty())
        return nullptr;
    const MarketBackendPtr backend = marketBackend();
    return backend ? backend->lastQuote(mk, code) : nullptr;
}

} // namespace TC

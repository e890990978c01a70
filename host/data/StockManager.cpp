#include "host/data/StockManager.h"

#include "host/data/DataDir.h"
#include "host/data/HostClock.h"
#include "host/data/Log.h"
#include "host/data/MarketBackend.h"
#include "host/data/Pinyin.h"
#include "host/data/StockKey.h"
#include "host/data/TradeCalendar.h"
#include "host/data/UniverseData.h"

#include <QMap>

#include <atomic>
#include <mutex>

namespace TC {

using ttservice::CInstrumentDetailPtr;

namespace {

// One published universe. Never freed while the process runs, so references handed
// out (allInstruments, universeData) stay valid across test resets.
struct CState {
    CUniverseData data;
    QString error;
    QHash<QString, CInstrumentDetailPtr> byKey;
    QHash<QString, CInstrumentDetailPtr> byCode; // first holder of a code, SH before SZ
    QMap<QString, QList<CInstrumentDetailPtr>> byMarket;
    QStringList markets;
    CTradeCalendar calendar;
    bool valid = false;
};

bool isNightMarket(const QString& market)
{
    // "SF" stands for the futures exchanges as a whole (the browse table's futures hours)
    return market == QLatin1String("SHFE") || market == QLatin1String("INE")
           || market == QLatin1String("SF") || market == QLatin1String("DCE")
           || market == QLatin1String("CZCE");
}

int marketRank(const QString& m)
{
    if (m == QLatin1String("SH"))
        return 0;
    if (m == QLatin1String("SZ"))
        return 1;
    return 2;
}

void index(CState& s)
{
    // SH first, then SZ, then the rest, each in universe order: the first holder of a
    // code is found by rank. One pass ranks, the second indexes.
    const std::vector<CInstrumentDetailPtr>& all = s.data.instruments;
    std::vector<const CInstrumentDetailPtr*> ranked[3];
    for (const auto& d : all) {
        ranked[marketRank(d->market)].push_back(&d);
        // written only when new: a test universe may publish details already shared
        PinyinInitials initials = pinyinInitials(d->name);
        if (d->nameInitials != initials)
            d->nameInitials = std::move(initials);
    }
    s.byKey.reserve(int(all.size()));
    s.byCode.reserve(int(all.size()));
    QList<CInstrumentDetailPtr>* market = nullptr;
    const QString* marketName = nullptr;
    for (const auto& bucket : ranked)
        for (const CInstrumentDetailPtr* p : bucket) {
            const CInstrumentDetailPtr& d = *p;
            s.byKey.insert(d->key, d);
            auto code = s.byCode.find(d->code);
            if (code == s.byCode.end())
                s.byCode.insert(d->code, d);
            if (!marketName || *marketName != d->market) { // runs of one market are the rule
                auto it = s.byMarket.find(d->market);
                if (it == s.byMarket.end()) {
                    it = s.byMarket.insert(d->market, {});
                    s.markets.append(d->market);
                }
                market = &*it;
                marketName = &d->market;
            }
            market->append(d);
        }
    s.calendar.setHolidays(s.data.holidaysYmd);
    s.valid = true;
}

uint64_t defaultSeed()
{
    bool ok = false;
    const qulonglong seed = qEnvironmentVariable("TT_UNIVERSE_SEED").toULongLong(&ok);
    return ok ? seed : 0; // 0: the backend's own default
}

int todayYmd()
{
    return CTradeCalendar::ymdOfDay(CTradeCalendar::dayOfMs(HostClock::nowMs()));
}

} // namespace

struct CStockManager::Impl {
    std::mutex loadMutex;
    std::atomic<CState*> state{nullptr};
    std::vector<std::unique_ptr<CState>> kept; // every state ever published
    CState* defaultState = nullptr;            // the data files' universe, once loaded
    QString lastError;
    CState empty;

    CState* publish(std::unique_ptr<CState> s)
    {
        CState* raw = s.get();
        kept.push_back(std::move(s));
        state.store(raw, std::memory_order_release);
        return raw;
    }

    CState* current(CStockManager* owner)
    {
        CState* s = state.load(std::memory_order_acquire);
        if (s)
            return s;
        owner->ensureLoaded();
        s = state.load(std::memory_order_acquire);
        return s ? s : &empty;
    }

    std::unique_ptr<CState> loadState(const QString& dir, uint64_t seed, int baseYmd)
    {
        auto s = std::make_unique<CState>();
        const MarketBackendPtr backend = marketBackend();
        try {
            if (!backend)
                s->error = QStringLiteral("no market backend installed");
            else if (backend->loadCatalogue(dir, seed, baseYmd, s->data, s->error))
                index(*s);
            else if (s->error.isEmpty())
                s->error = QStringLiteral("the market backend loaded no catalogue");
        } catch (const std::exception& e) { // a backend that throws all the same
            s->error = QStringLiteral("market data: %1").arg(QString::fromStdString(e.what()));
        }
        if (!s->error.isEmpty()) {
            const QString error = s->error;
            s = std::make_unique<CState>();
            s->error = error;
        }
        if (!s->error.isEmpty())
            TT_LOG_ERROR("[catalogue] loading the market failed: %1%", s->error);
        return s;
    }
};

CStockManager* CStockManager::instance()
{
    static CStockManager* s = new CStockManager; // outlives every user, never destroyed
    return s;
}

CStockManager::CStockManager() : d(std::make_unique<Impl>()) {}
CStockManager::~CStockManager() = default;

bool CStockManager::ensureLoaded()
{
    if (CState* s = d->state.load(std::memory_order_acquire))
        return s->valid;
    std::lock_guard<std::mutex> lock(d->loadMutex);
    if (CState* s = d->state.load(std::memory_order_acquire))
        return s->valid;
    if (d->defaultState) { // after a test universe: the files do not change
        d->state.store(d->defaultState, std::memory_order_release);
        d->lastError = d->defaultState->error;
        return d->defaultState->valid;
    }
    auto s = d->loadState(getResourceDir(), defaultSeed(), todayYmd());
    d->lastError = s->error;
    CState* published = d->publish(std::move(s));
    if (published->valid)
        d->defaultState = published;
    return published->valid;
}

bool CStockManager::loadFromDir(const QString& dataDir, uint64_t seed, int baseYmd)
{
    std::lock_guard<std::mutex> lock(d->loadMutex);
    auto s = d->loadState(dataDir, seed ? seed : defaultSeed(), baseYmd ? baseYmd : todayYmd());
    d->lastError = s->error;
    const bool ok = d->publish(std::move(s))->valid;
    Q_EMIT sigUniverseReset();
    return ok;
}

QString CStockManager::loadError() const
{
    std::lock_guard<std::mutex> lock(d->loadMutex);
    return d->lastError;
}

void CStockManager::resetUniverseForTest(
    const std::vector<CInstrumentDetailPtr>& list,
    const QHash<QString, std::vector<se::RPCSectorStock>>& indexMembers)
{
    ensureLoaded(); // holidays come from the data files when they load
    {
        std::lock_guard<std::mutex> lock(d->loadMutex);
        auto s = std::make_unique<CState>();
        if (CState* old = d->state.load(std::memory_order_acquire))
            s->data.holidaysYmd = old->data.holidaysYmd;
        for (const auto& item : list) {
            if (!item)
                continue;
            if (item->key.isEmpty())
                item->key = XP::nvStockKey(item->market, item->code);
            s->data.instruments.push_back(item);
            if (!item->industry.isEmpty() && !s->data.industries.contains(item->industry))
                s->data.industries.append(item->industry);
        }
        s->data.indexMembers = indexMembers;
        index(*s);
        d->lastError.clear();
        d->publish(std::move(s));
    }
    Q_EMIT sigUniverseReset();
}

void CStockManager::setHolidaysForTest(const QVector<int>& ymdList)
{
    ensureLoaded();
    {
        std::lock_guard<std::mutex> lock(d->loadMutex);
        CState* old = d->state.load(std::memory_order_acquire);
        auto s = std::make_unique<CState>();
        if (old)
            s->data = old->data;
        s->data.holidaysYmd = ymdList;
        std::sort(s->data.holidaysYmd.begin(), s->data.holidaysYmd.end());
        s->error = old ? old->error : QString();
        if (old && old->valid)
            index(*s);
        else
            s->calendar.setHolidays(s->data.holidaysYmd);
        d->publish(std::move(s));
    }
    Q_EMIT sigUniverseReset();
}

void CStockManager::reloadCatalogue()
{
    {
        std::lock_guard<std::mutex> lock(d->loadMutex);
        d->state.store(nullptr, std::memory_order_release);
        d->defaultState = nullptr;
        d->lastError.clear();
    }
    Q_EMIT sigUniverseReset();
}

void CStockManager::restoreDefault()
{
    {
        std::lock_guard<std::mutex> lock(d->loadMutex);
        d->state.store(nullptr, std::memory_order_release);
        d->lastError.clear();
    }
    Q_EMIT sigUniverseReset();
}

const CUniverseData* CStockManager::universeData()
{
    CState* s = d->current(this);
    return s->valid ? &s->data : nullptr;
}

CInstrumentDetailPtr CStockManager::getInstrumentDetail(const QString& key)
{
    return d->current(this)->byKey.value(key);
}

CInstrumentDetailPtr CStockManager::getInstrumentDetail(const QString& market, const QString& code)
{
    if (market.isEmpty())
        return findByCode(code);
    return d->current(this)->byKey.value(XP::nvStockKey(market, code));
}

CInstrumentDetailPtr CStockManager::findByCode(const QString& keyOrCode)
{
    CState* s = d->current(this);
    auto it = s->byKey.constFind(keyOrCode);
    if (it != s->byKey.constEnd())
        return *it;
    return s->byCode.value(keyOrCode);
}

const std::vector<CInstrumentDetailPtr>& CStockManager::allInstruments()
{
    return d->current(this)->data.instruments;
}

QStringList CStockManager::markets()
{
    return d->current(this)->markets;
}

QList<CInstrumentDetailPtr> CStockManager::instrumentsOfMarket(const QString& market)
{
    return d->current(this)->byMarket.value(market);
}

std::vector<se::RPCSectorStock> CStockManager::getSectorStock(const QString& indexKeyOrCode)
{
    CState* s = d->current(this);
    auto it = s->data.indexMembers.constFind(indexKeyOrCode);
    if (it != s->data.indexMembers.constEnd())
        return *it;
    const CInstrumentDetailPtr detail = s->byCode.value(indexKeyOrCode);
    return detail ? s->data.indexMembers.value(detail->key) : std::vector<se::RPCSectorStock>();
}

// --- trade calendar ---

bool CStockManager::isTradeDate(int date)
{
    return d->current(this)->calendar.isTradeDay(CTradeCalendar::dayOfDate(date));
}

int CStockManager::getLastTradingDay(const QString& market)
{
    const CTradeCalendar& cal = d->current(this)->calendar;
    const int64_t now = HostClock::nowMs();
    const int day = CTradeCalendar::dayOfMs(now);
    const int minute = CTradeCalendar::minuteOfDayOfMs(now);
    if (isNightMarket(market)) {
        // the night session opens the next trading day
        if (minute >= 21 * 60 && cal.isTradeDay(day))
            return CTradeCalendar::dateOfDay(cal.shiftTradeDay(day, 1));
        if (minute < 3 * 60 && cal.isTradeDay(day - 1))
            return CTradeCalendar::dateOfDay(cal.shiftTradeDay(day - 1, 1));
    }
    return CTradeCalendar::dateOfDay(cal.tradeDayOnOrBefore(day));
}

int CStockManager::getShiftTradeDate(int date, int shift)
{
    const CTradeCalendar& cal = d->current(this)->calendar;
    return CTradeCalendar::dateOfDay(cal.shiftTradeDay(CTradeCalendar::dayOfDate(date), shift));
}

QVector<int> CStockManager::getTradeDateList(int from, int to)
{
    QVector<int> out;
    const CTradeCalendar& cal = d->current(this)->calendar;
    const int first = CTradeCalendar::dayOfDate(from), last = CTradeCalendar::dayOfDate(to);
    if (last < first || last - first > 366 * 60)
        return out;
    for (int day = first; day <= last; ++day)
        if (cal.isTradeDay(day))
            out.append(CTradeCalendar::dateOfDay(day));
    return out;
}

QVector<CStockManager::Session> CStockManager::getSessionMinutes(const QString& market,
                                                                 const QString& code)
{
    QVector<Session> out;
    if (market == QLatin1String("SH") || market == QLatin1String("SZ")
        || market == QLatin1String("SHO") || market == QLatin1String("SZO")
        || market == QLatin1String("SI") || market == QLatin1String("CFFEX")) {
        out = {{9 * 60 + 30, 11 * 60 + 30, false}, {13 * 60, 15 * 60, false}};
    } else if (isNightMarket(market)) {
        int nightClose = market == QLatin1String("DCE") || market == QLatin1String("CZCE")
                             ? 23 * 60
                             : 26 * 60 + 30;
        if (!code.isEmpty()) {
            nightClose = 0;
            if (const CUniverseData* u = universeData()) {
                const CInstrumentDetailPtr det = getInstrumentDetail(market, code);
                const QString product = det ? det->product : code;
                for (const auto& p : u->products)
                    if (p.market == market && p.product == product)
                        nightClose = p.nightCloseMin;
            }
        }
        if (nightClose > 0)
            out.append({21 * 60, nightClose, true});
        out.append({9 * 60, 10 * 60 + 15, false});
        out.append({10 * 60 + 30, 11 * 60 + 30, false});
        out.append({13 * 60 + 30, 15 * 60, false});
    } else if (market == QLatin1String("HK") || market == QLatin1String("HGT")
               || market == QLatin1String("SGT")) {
        out = {{9 * 60 + 30, 12 * 60, false}, {13 * 60, 16 * 60, false}};
    } else if (const CUniverseData* u = universeData(); u && u->foreignBoards.contains(market)) {
        // foreign boards trade nearly round the clock, Beijing time 06:00 to 05:00
        out = {{6 * 60, 29 * 60, false}};
    }
    return out;
}

QVector<QPair<qint64, qint64>> CStockManager::getOpenTimeByMarket(const QString& market)
{
    QVector<QPair<qint64, qint64>> out;
    const QVector<Session> sessions = getSessionMinutes(market);
    if (sessions.isEmpty())
        return out;
    const CTradeCalendar& cal = d->current(this)->calendar;
    const int day = CTradeCalendar::dayOfDate(getLastTradingDay(market));
    const qint64 dayMs = qint64(CTradeCalendar::dateOfDay(day)) * 1000;
    const qint64 nightMs = qint64(CTradeCalendar::dateOfDay(cal.shiftTradeDay(day, -1))) * 1000;
    for (const Session& s : sessions) {
        const qint64 base = s.night ? nightMs : dayMs;
        out.append({base + qint64(s.openMin) * 60000, base + qint64(s.closeMin) * 60000});
    }
    return out;
}

int CStockManager::dateFromYmd(int y, int m, int d)
{
    const int ymd = y * 10000 + m * 100 + d;
    return CTradeCalendar::validYmd(ymd) ? CTradeCalendar::dateOfDay(CTradeCalendar::dayOfYmd(ymd))
                                         : 0;
}

int CStockManager::ymdFromDate(int date)
{
    return CTradeCalendar::ymdOfDay(CTradeCalendar::dayOfDate(date));
}

int CStockManager::dateOfMs(int64_t ms)
{
    return CTradeCalendar::dateOfDay(CTradeCalendar::dayOfMs(ms));
}

int CStockDateHelper::getTradeDay(int y1, int m1, int d1, int y2, int m2, int d2)
{
    const int a = CStockManager::dateFromYmd(y1, m1, d1),
              b = CStockManager::dateFromYmd(y2, m2, d2);
    if (!a || !b || a == b)
        return 0;
    CStockManager* sm = CStockManager::instance();
    const int lo = std::min(a, b), hi = std::max(a, b);
    int count = sm->getTradeDateList(lo, hi).size();
    if (sm->isTradeDate(lo))
        --count; // the first date is excluded
    return b > a ? count : -count;
}

} // namespace TC

namespace ttservice {

int getStockTradeUnit(const QString& market, const QString& code)
{
    if (market != QLatin1String("SH") && market != QLatin1String("SZ"))
        return 1;
    const CInstrumentDetailPtr d = TC::CStockManager::instance()->getInstrumentDetail(market, code);
    return d && d->tradeUnit > 0 ? d->tradeUnit : 1;
}

} // namespace ttservice

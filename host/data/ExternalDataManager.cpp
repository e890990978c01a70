#include "host/data/ExternalDataManager.h"

#include "host/data/HostClock.h"
#include "host/data/TradeCalendar.h"

#include <QHash>
#include <QMap>

#include <cmath>
#include <mutex>

namespace TC {

CExternalCatalog::CExternalCatalog(const QString& name, int type, CExternalCatalog* parent)
    : m_name(name), m_type(type), m_parent(parent)
{
    if (parent)
        parent->m_children.append(this);
}

CExternalCatalog::~CExternalCatalog()
{
    qDeleteAll(m_children);
}

namespace {
struct CSeries {
    QVector<QPair<qint64, double>> values;
};
} // namespace

struct CExternalDataManager::Impl {
    std::recursive_mutex mutex;
    std::unique_ptr<CExternalCatalog> root;
    QHash<QString, CExternalCatalog*> catalogs;      // name -> catalogue entry
    QMap<QString, QList<CExternalDataInfoPtr>> sets; // data set -> entries in order
    QHash<QString, CSeries> series;                  // code -> values
    std::vector<CExternalDataInfoPtr> everIssued;    // keeps handed-out pointers valid
    std::vector<std::unique_ptr<CExternalCatalog>> oldRoots;
};

CExternalDataManager* CExternalDataManager::instance()
{
    static CExternalDataManager* s = new CExternalDataManager; // views hold its entries until exit
    return s;
}

CExternalDataManager::CExternalDataManager() : d(std::make_unique<Impl>())
{
    reset();
}

CExternalDataManager::~CExternalDataManager() = default;

void CExternalDataManager::reset()
{
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        if (d->root)
            d->oldRoots.push_back(std::move(d->root));
        d->root = std::make_unique<CExternalCatalog>(QStringLiteral("外部数据"), 0, nullptr);
        d->catalogs.clear();
        d->sets.clear();
        d->series.clear();
        d->catalogs.insert(d->root->getName(), d->root.get());
        // a small demo catalogue: two user sets and a read-only published one
        auto* user = new CExternalCatalog(QStringLiteral("我的数据"), 0, d->root.get());
        d->catalogs.insert(user->getName(), user);
        const QString sets[] = {QStringLiteral("宏观指标"), QStringLiteral("自定义因子")};
        for (const QString& s : sets) {
            auto* c = new CExternalCatalog(s, 1, user);
            d->catalogs.insert(s, c);
            d->sets.insert(s, {});
        }
        auto* pub = new CExternalCatalog(QStringLiteral("公共数据"), 2, d->root.get());
        d->catalogs.insert(pub->getName(), pub);
        d->sets.insert(pub->getName(), {});
    }
    addDemoSeries();
}

namespace {
// One demo series: deterministic values around a level with a drift and a cycle.
struct DemoSeries {
    const char* set;
    const char* code;
    const char* name;
    int periodSec;
    int count;    // values, the latest at the current period
    double level; // value of the oldest record
    double drift; // change per record
    double swing; // amplitude of the cycle
    int decimals;
};

constexpr int kDay = 86400;
constexpr int kMonth = 30 * kDay;
constexpr int kQuarter = 91 * kDay;

const DemoSeries kDemoSeries[] = {
    {"宏观指标", "CPI01", "居民消费价格指数同比(%)", kMonth, 36, 2.1, -0.05, 0.6, 1},
    {"宏观指标", "PMI01", "制造业采购经理指数", kMonth, 36, 50.8, -0.03, 1.1, 1},
    {"宏观指标", "M2001", "广义货币供应量M2同比(%)", kMonth, 36, 8.6, 0.08, 0.9, 1},
    {"宏观指标", "M1001", "狭义货币供应量M1同比(%)", kMonth, 36, 4.9, -0.12, 1.8, 1},
    {"宏观指标", "PPI01", "工业生产者出厂价格同比(%)", kMonth, 36, 4.2, -0.2, 1.5, 1},
    {"宏观指标", "TSF01", "社会融资规模增量(亿元)", kMonth, 36, 24000, 150, 9000, 0},
    {"宏观指标", "GDP01", "国内生产总值同比(%)", kQuarter, 20, 6.0, -0.07, 0.8, 1},
    {"宏观指标", "FXR01", "外汇储备(亿美元)", kMonth, 36, 31600, 12, 380, 1},
    {"自定义因子", "F0001", "动量因子", kDay, 120, 1.0, 0.003, 0.2, 4},
    {"自定义因子", "F0002", "价值因子", kDay, 120, 0.8, -0.001, 0.1, 4},
    {"公共数据", "SHIBOR", "上海银行间同业拆放利率隔夜(%)", kDay, 120, 1.85, -0.002, 0.25, 3},
    {"公共数据", "SHIB3M", "上海银行间同业拆放利率3个月(%)", kDay, 120, 2.45, -0.003, 0.12, 3},
    {"公共数据", "LPR1Y", "贷款市场报价利率1年期(%)", kMonth, 36, 3.85, -0.02, 0.0, 2},
    {"公共数据", "CGB10Y", "10年期国债到期收益率(%)", kDay, 120, 2.85, -0.004, 0.08, 4},
    {"公共数据", "USDCNY", "美元兑人民币中间价", kDay, 120, 7.05, 0.0008, 0.06, 4},
};
} // namespace

void CExternalDataManager::addDemoSeries()
{
    const qint64 now = HostClock::nowMs();
    const int today = CTradeCalendar::dayOfMs(now);
    for (const DemoSeries& s : kDemoSeries) {
        const double scale = std::pow(10.0, s.decimals);
        const int seed = int(qHash(QString::fromUtf8(s.code)) % 97);
        QVector<QPair<qint64, double>> values;
        values.reserve(s.count);
        for (int i = 0; i < s.count; ++i) {
            // the latest record falls on today's period boundary
            const int back = (s.count - 1 - i) * (s.periodSec / kDay);
            const qint64 t = qint64(CTradeCalendar::dateOfDay(today - back)) * 1000;
            const double v = s.level + s.drift * i + s.swing * std::sin(i * 0.45 + seed);
            values.append({t, std::round(v * scale) / scale});
        }
        addData(QString::fromUtf8(s.set), QString::fromUtf8(s.code), QString::fromUtf8(s.name),
                values, s.periodSec);
    }
}

CExternalCatalog* CExternalDataManager::getRootCatalog()
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    return d->root.get();
}

bool CExternalDataManager::isExist(const QString& dataSetName)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    return d->sets.contains(dataSetName);
}

QList<CExternalDataInfoPtr> CExternalDataManager::getDataList(const QString& dataSetName)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    return d->sets.value(dataSetName);
}

QList<CExternalDataInfo*> CExternalDataManager::getCatalogDataList(const QString& dataSetName)
{
    QList<CExternalDataInfo*> out;
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    for (const CExternalDataInfoPtr& p : d->sets.value(dataSetName)) {
        // a copy per call, kept for the process, so the caller may mark it freely
        auto copy = std::make_shared<CExternalDataInfo>(*p);
        d->everIssued.push_back(copy);
        out.append(copy.get());
    }
    return out;
}

QVector<QPair<qint64, double>> CExternalDataManager::getSeries(const QString& code)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    return d->series.value(code).values;
}

int CExternalDataManager::moveData(const QString& target, const QStringList& codes)
{
    QStringList touched;
    int moved = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        CExternalCatalog* t = d->catalogs.value(target);
        if (!t || t->getType() != 1 || !d->sets.contains(target))
            return 0;
        for (const QString& code : codes) {
            for (auto it = d->sets.begin(); it != d->sets.end(); ++it) {
                if (it.key() == target)
                    continue;
                CExternalCatalog* src = d->catalogs.value(it.key());
                if (src && src->getType() == 2) // read-only sets keep their entries
                    continue;
                for (int i = 0; i < it->size(); ++i) {
                    if (it->at(i)->code != code)
                        continue;
                    CExternalDataInfoPtr e = it->takeAt(i);
                    e->dataSet = target;
                    bool present = false;
                    for (const auto& x : d->sets[target])
                        present = present || x->code == code;
                    if (!present)
                        d->sets[target].append(e);
                    if (!touched.contains(it.key()))
                        touched.append(it.key());
                    ++moved;
                    break;
                }
            }
        }
    }
    if (moved > 0) {
        for (const QString& s : touched)
            Q_EMIT sigDataChanged(eMoved, s);
        Q_EMIT sigDataChanged(eMoved, target);
    }
    return moved;
}

bool CExternalDataManager::removeData(const QString& code, const QString& dataSetName, int)
{
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        auto it = d->sets.find(dataSetName);
        CExternalCatalog* c = d->catalogs.value(dataSetName);
        if (it == d->sets.end() || (c && c->getType() == 2))
            return false;
        int found = -1;
        for (int i = 0; i < it->size(); ++i)
            if (it->at(i)->code == code)
                found = i;
        if (found < 0)
            return false;
        it->removeAt(found);
    }
    Q_EMIT sigDataChanged(eRemoved, dataSetName);
    return true;
}

bool CExternalDataManager::addDataSet(const QString& name, const QString& parentCatalog, int type)
{
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        CExternalCatalog* parent =
            d->catalogs.value(parentCatalog.isEmpty() ? d->root->getName() : parentCatalog);
        if (name.isEmpty() || d->catalogs.contains(name) || !parent || parent->getType() != 0
            || type < 0 || type > 2)
            return false;
        auto* c = new CExternalCatalog(name, type, parent);
        d->catalogs.insert(name, c);
        if (type != 0)
            d->sets.insert(name, {});
    }
    Q_EMIT sigCatalogChange(eAdded, name, parentCatalog);
    return true;
}

bool CExternalDataManager::addData(const QString& dataSetName, const QString& code,
                                   const QString& name,
                                   const QVector<QPair<qint64, double>>& series, int periodSec)
{
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        auto it = d->sets.find(dataSetName);
        if (it == d->sets.end() || code.isEmpty() || periodSec <= 0)
            return false;
        for (const auto& e : *it)
            if (e->code == code)
                return false;
        auto e = std::make_shared<CExternalDataInfo>();
        e->code = code;
        e->name = name;
        e->dataSet = dataSetName;
        e->period = periodSec;
        QVector<QPair<qint64, double>> sorted = series;
        std::sort(sorted.begin(), sorted.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        if (!sorted.isEmpty()) {
            e->lastTimeMs = sorted.last().first;
            e->lastValue = sorted.last().second;
        }
        d->series[code].values = sorted;
        it->append(e);
    }
    Q_EMIT sigDataChanged(eAdded, dataSetName);
    return true;
}

} // namespace TC

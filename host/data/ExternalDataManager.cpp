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
    // daily values for the demo entries, ending at the current day
    const int today = CTradeCalendar::dayOfMs(HostClock::nowMs());
    auto make = [&](double base, double drift, int seed) {
        QVector<QPair<qint64, double>> v;
        for (int i = 59; i >= 0; --i) {
            const qint64 t = qint64(CTradeCalendar::dateOfDay(today - i)) * 1000;
            v.append({t, std::round((base + drift * (59 - i) + std::sin(i * 0.7 + seed)) * 100.0)
                             / 100.0});
        }
        return v;
    };
    addData(QStringLiteral("宏观指标"), QStringLiteral("CPI01"), QStringLiteral("居民消费价格指数"),
            make(102.0, 0.01, 1));
    addData(QStringLiteral("宏观指标"), QStringLiteral("PMI01"),
            QStringLiteral("制造业采购经理指数"), make(50.0, 0.005, 2));
    addData(QStringLiteral("宏观指标"), QStringLiteral("M2001"), QStringLiteral("广义货币同比"),
            make(8.5, -0.002, 3));
    addData(QStringLiteral("自定义因子"), QStringLiteral("F0001"), QStringLiteral("动量因子"),
            make(1.0, 0.003, 4));
    addData(QStringLiteral("自定义因子"), QStringLiteral("F0002"), QStringLiteral("价值因子"),
            make(0.8, -0.001, 5));
    addData(QStringLiteral("公共数据"), QStringLiteral("SHIBOR"), QStringLiteral("隔夜拆借利率"),
            make(1.8, 0.0, 6));
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

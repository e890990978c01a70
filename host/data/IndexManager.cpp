#include "host/data/IndexManager.h"

#include "host/data/Config.h"
#include "host/data/Log.h"
#include "host/data/Pinyin.h"
#include "host/data/StdFile.h"
#include "host/data/StockKey.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

#include <cmath>
#include <mutex>

namespace TC {

namespace {

QString bareCode(const QString& codeOrKey)
{
    const QString suffix = QLatin1Char('.') + CIndexManager::market();
    return codeOrKey.endsWith(suffix) ? codeOrKey.left(codeOrKey.size() - suffix.size())
                                      : codeOrKey;
}

QJsonObject toJson(const CCustomIndexDetail& i)
{
    QJsonArray stocks;
    for (const CCustomIndexStock& s : i.stocks)
        stocks.append(QJsonObject{{QStringLiteral("market"), s.market},
                                  {QStringLiteral("code"), s.code},
                                  {QStringLiteral("weight"), s.weight}});
    return QJsonObject{{QStringLiteral("code"), i.code},
                       {QStringLiteral("name"), i.name},
                       {QStringLiteral("priceStep"), i.priceStep},
                       {QStringLiteral("totalShares"), i.totalShares},
                       {QStringLiteral("floatShares"), i.floatShares},
                       {QStringLiteral("basePoint"), i.basePoint},
                       {QStringLiteral("stocks"), stocks}};
}

bool fromJson(const QJsonObject& o, CCustomIndexDetail& i)
{
    i.code = o.value(QStringLiteral("code")).toString();
    i.name = o.value(QStringLiteral("name")).toString();
    if (i.code.isEmpty() || i.name.isEmpty())
        return false;
    i.priceStep = o.value(QStringLiteral("priceStep")).toDouble(0.01);
    i.totalShares = o.value(QStringLiteral("totalShares")).toDouble(0);
    i.floatShares = o.value(QStringLiteral("floatShares")).toDouble(0);
    i.basePoint = o.value(QStringLiteral("basePoint")).toDouble(1000);
    if (!(i.priceStep > 0) || !std::isfinite(i.totalShares) || !std::isfinite(i.floatShares))
        return false;
    for (const QJsonValue& v : o.value(QStringLiteral("stocks")).toArray()) {
        const QJsonObject s = v.toObject();
        CCustomIndexStock st{s.value(QStringLiteral("market")).toString(),
                             s.value(QStringLiteral("code")).toString(),
                             s.value(QStringLiteral("weight")).toDouble(0)};
        if (st.code.isEmpty() || !std::isfinite(st.weight))
            return false;
        i.stocks.push_back(st);
    }
    return true;
}

} // namespace

struct CIndexManager::Impl {
    mutable std::mutex mutex;
    QMap<QString, CCustomIndexDetailPtr> indices;                    // code -> index
    mutable QHash<QString, ttservice::CInstrumentDetailPtr> details; // code -> catalogue record
};

CIndexManager* CIndexManager::instance()
{
    static CIndexManager* s =
        new CIndexManager; // never destroyed: service threads may read it at exit
    return s;
}

CIndexManager::CIndexManager() : d(std::make_unique<Impl>()) {}
CIndexManager::~CIndexManager() = default;

CCustomIndexDetailPtr CIndexManager::getIndex(const QString& code) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->indices.value(bareCode(code));
}

ttservice::CInstrumentDetailPtr CIndexManager::getIndexDetail(const QString& code) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const QString c = bareCode(code);
    const CCustomIndexDetailPtr index = d->indices.value(c);
    if (!index)
        return nullptr;
    auto& cached = d->details[c];
    if (!cached || cached->name != index->name || cached->priceStep != index->priceStep) {
        auto det = std::make_shared<ttservice::CInstrumentDetail>();
        det->market = market();
        det->code = c;
        det->key = XP::nvStockKey(det->market, c);
        det->name = index->name;
        det->nameInitials = pinyinInitials(det->name);
        det->type = ttservice::eInstrCustomIndex;
        det->priceStep = index->priceStep;
        det->totalShares = index->totalShares;
        det->floatShares = index->floatShares;
        det->refPrice = index->basePoint;
        det->tradeUnit = 1;
        cached = det;
    }
    return cached;
}

bool CIndexManager::isExist(const QString& nameOrCode) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->indices.contains(bareCode(nameOrCode)))
        return true;
    for (const auto& i : d->indices)
        if (i->name == nameOrCode)
            return true;
    return false;
}

QString CIndexManager::nextFreeName(const QString& prefix) const
{
    for (int n = 1;; ++n) {
        const QString name = prefix + QString::number(n);
        if (!isExist(name))
            return name;
    }
}

QString CIndexManager::nextFreeCode() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    for (int n = 1;; ++n) {
        const QString code = QStringLiteral("ZDY%1").arg(n, 3, 10, QLatin1Char('0'));
        if (!d->indices.contains(code))
            return code;
    }
}

QList<CCustomIndexDetailPtr> CIndexManager::allIndices() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->indices.values();
}

bool CIndexManager::addIndex(const CCustomIndexDetail& index)
{
    if (index.code.isEmpty() || index.name.isEmpty() || !(index.priceStep > 0))
        return false;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->indices.insert(index.code, std::make_shared<CCustomIndexDetail>(index));
    }
    Q_EMIT sigIndexChanged(1, index.code);
    return true;
}

bool CIndexManager::removeIndex(const QString& code)
{
    const QString c = bareCode(code);
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (d->indices.remove(c) == 0)
            return false;
        d->details.remove(c);
    }
    Q_EMIT sigIndexChanged(2, c);
    return true;
}

void CIndexManager::clear()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->indices.clear();
        d->details.clear();
    }
    Q_EMIT sigIndexChanged(3, QString());
}

QString CIndexManager::defaultExportPath()
{
    return getDataDir() + QStringLiteral("/CustomIndex/CustomIndex.json");
}

int CIndexManager::exportCustomIndex(const QStringList& codes, const QString& path)
{
    QJsonArray list;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        for (const QString& code : codes)
            if (const CCustomIndexDetailPtr i = d->indices.value(bareCode(code)))
                list.append(toJson(*i));
    }
    if (list.isEmpty())
        return 0;
    const QString file = path.isEmpty() ? defaultExportPath() : path;
    if (!writeJsonFile(file, QJsonDocument(list)))
        return -1;
    return list.size();
}

int CIndexManager::importCustomIndex(const QString& path)
{
    const QString file = path.isEmpty() ? defaultExportPath() : path;
    QJsonDocument doc;
    if (!readJsonFile(file, "CIndexManager", doc))
        return -1;
    if (!doc.isArray()) {
        TT_LOG_ERROR("[CIndexManager] import %1% failed: not a list of indices", file);
        return -1;
    }
    // all or nothing: a bad entry rejects the file
    std::vector<CCustomIndexDetail> parsed;
    for (const QJsonValue& v : doc.array()) {
        CCustomIndexDetail i;
        if (!v.isObject() || !fromJson(v.toObject(), i)) {
            TT_LOG_ERROR("[CIndexManager] import %1% failed: bad index entry", file);
            return -1;
        }
        parsed.push_back(i);
    }
    for (const CCustomIndexDetail& i : parsed)
        addIndex(i);
    return int(parsed.size());
}

} // namespace TC

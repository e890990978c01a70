#include "host/data/UserConfig.h"

#include "host/data/Config.h"
#include "host/data/Log.h"
#include "host/data/StdFile.h"
#include "host/data/TraderCenter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace TC {

namespace {
const char* kFileName = "/UserConfig.json";

QString rateKey(const QString& expiry, const QString& underlying)
{
    return underlying + QLatin1Char('|') + expiry;
}
} // namespace

struct CUserConfig::Impl {
    mutable std::mutex mutex;
    int segmentedFlags = 0;
    bool volumeUndivided = false;
    bool haldenQuote = false;
    bool haldenClient = false;
    bool multiStockRecalc = false;
    bool promptRunResult = false;
    int greekBenchmark = 0;
    QMap<QString, double> historyRates; // "underlying|expiry" -> sigma
    QMap<QString, CBasketSetting> baskets;
    QMap<QString, QStringList> productGroups;
    QMap<QString, CAutoRefreshParam> autoRefreshParams; // by indicator title
    QSet<QString> filteredAccounts;
};

CUserConfig::CUserConfig() : d(std::make_unique<Impl>()) {}
CUserConfig::~CUserConfig() = default;

#define TT_LOCKED_GET(expr)                                                                        \
    std::lock_guard<std::mutex> lock(d->mutex);                                                    \
    return expr
#define TT_LOCKED_SET(stmt)                                                                        \
    std::lock_guard<std::mutex> lock(d->mutex);                                                    \
    stmt

int CUserConfig::getSegmentedFormatFlag() const
{
    TT_LOCKED_GET(d->segmentedFlags);
}
void CUserConfig::setSegmentedFormatFlag(int flags)
{
    TT_LOCKED_SET(d->segmentedFlags = flags;)
}
bool CUserConfig::getVolumeFlag() const
{
    TT_LOCKED_GET(d->volumeUndivided);
}
void CUserConfig::setVolumeFlag(bool undivided)
{
    TT_LOCKED_SET(d->volumeUndivided = undivided;)
}
bool CUserConfig::isHaldenQuoteMode() const
{
    TT_LOCKED_GET(d->haldenQuote);
}
void CUserConfig::setHaldenQuoteMode(bool on)
{
    TT_LOCKED_SET(d->haldenQuote = on;)
}
bool CUserConfig::isHaldenClientMode() const
{
    TT_LOCKED_GET(d->haldenClient);
}
void CUserConfig::setHaldenClientMode(bool on)
{
    TT_LOCKED_SET(d->haldenClient = on;)
}
bool CUserConfig::isMultiStockRecalculate() const
{
    TT_LOCKED_GET(d->multiStockRecalc);
}
void CUserConfig::setMultiStockRecalculate(bool on)
{
    TT_LOCKED_SET(d->multiStockRecalc = on;)
}
bool CUserConfig::isPromptRunResult() const
{
    TT_LOCKED_GET(d->promptRunResult);
}
void CUserConfig::setPromptRunResult(bool on)
{
    TT_LOCKED_SET(d->promptRunResult = on;)
}
int CUserConfig::getGreekBenchmark() const
{
    TT_LOCKED_GET(d->greekBenchmark);
}
void CUserConfig::setGreekBenchmark(int benchmark)
{
    TT_LOCKED_SET(d->greekBenchmark = benchmark;)
}

bool CUserConfig::getHistoryRate(double& sigma, const QString& expiry,
                                 const QString& underlyingKey) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto it = d->historyRates.constFind(rateKey(expiry, underlyingKey));
    if (it == d->historyRates.constEnd())
        return false;
    sigma = *it;
    return true;
}

void CUserConfig::setHistoryRate(const QString& expiry, const QString& underlyingKey, double sigma)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (sigma > 0 && std::isfinite(sigma))
        d->historyRates.insert(rateKey(expiry, underlyingKey), sigma);
}

void CUserConfig::clearHistoryRates()
{
    TT_LOCKED_SET(d->historyRates.clear();)
}

QMap<QString, CBasketSetting> CUserConfig::getBaskets() const
{
    TT_LOCKED_GET(d->baskets);
}

bool CUserConfig::getBasket(const QString& name, CBasketSetting& out) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto it = d->baskets.constFind(name);
    if (it == d->baskets.constEnd())
        return false;
    out = *it;
    return true;
}

void CUserConfig::setBasket(const CBasketSetting& setting)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!setting.name.isEmpty())
        d->baskets.insert(setting.name, setting);
}

bool CUserConfig::removeBasket(const QString& name)
{
    TT_LOCKED_GET(d->baskets.remove(name) > 0);
}

QMap<QString, QStringList> CUserConfig::getProductGroups() const
{
    TT_LOCKED_GET(d->productGroups);
}

void CUserConfig::setProductGroup(const QString& name, const QStringList& keys)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!name.isEmpty())
        d->productGroups.insert(name, keys);
}

bool CUserConfig::removeProductGroup(const QString& name)
{
    TT_LOCKED_GET(d->productGroups.remove(name) > 0);
}

QStringList CUserConfig::getAccountKeysByProductGroup(int accountType, const QString& group) const
{
    // the trading service knows the accounts; it reads the groups and filters from here
    return ttservice::TraderCenter::instance()->getAccountKeysByProductGroup(accountType, group);
}

bool CUserConfig::isAccountFilter(const QString& accountKey) const
{
    TT_LOCKED_GET(d->filteredAccounts.contains(accountKey));
}

void CUserConfig::setAccountFilter(const QString& accountKey, bool filtered)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (accountKey.isEmpty())
        return;
    if (filtered)
        d->filteredAccounts.insert(accountKey);
    else
        d->filteredAccounts.remove(accountKey);
}

QStringList CUserConfig::filteredAccounts() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    QStringList keys(d->filteredAccounts.begin(), d->filteredAccounts.end());
    keys.sort();
    return keys;
}

bool CUserConfig::getAutoRefreshParam(const QString& title, CAutoRefreshParam& out) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto it = d->autoRefreshParams.constFind(title);
    if (it == d->autoRefreshParams.constEnd())
        return false;
    out = *it;
    return true;
}

void CUserConfig::setAutoRefreshParam(const QString& title, const CAutoRefreshParam& param)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!title.isEmpty())
        d->autoRefreshParams.insert(title, param);
}

bool CUserConfig::removeAutoRefreshParam(const QString& title)
{
    TT_LOCKED_GET(d->autoRefreshParams.remove(title) > 0);
}

void CUserConfig::resetToDefaults()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const Impl fresh;
    d->segmentedFlags = fresh.segmentedFlags;
    d->volumeUndivided = fresh.volumeUndivided;
    d->haldenQuote = fresh.haldenQuote;
    d->haldenClient = fresh.haldenClient;
    d->multiStockRecalc = fresh.multiStockRecalc;
    d->promptRunResult = fresh.promptRunResult;
    d->greekBenchmark = fresh.greekBenchmark;
    d->historyRates.clear();
    d->baskets.clear();
    d->productGroups.clear();
    d->autoRefreshParams.clear();
    d->filteredAccounts.clear();
}

bool CUserConfig::save() const
{
    QJsonObject root;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        root.insert(QStringLiteral("segmentedFlags"), d->segmentedFlags);
        root.insert(QStringLiteral("volumeUndivided"), d->volumeUndivided);
        root.insert(QStringLiteral("haldenQuote"), d->haldenQuote);
        root.insert(QStringLiteral("haldenClient"), d->haldenClient);
        root.insert(QStringLiteral("multiStockRecalc"), d->multiStockRecalc);
        root.insert(QStringLiteral("promptRunResult"), d->promptRunResult);
        root.insert(QStringLiteral("greekBenchmark"), d->greekBenchmark);
        QJsonObject rates;
        for (auto it = d->historyRates.cbegin(); it != d->historyRates.cend(); ++it)
            rates.insert(it.key(), it.value());
        root.insert(QStringLiteral("historyRates"), rates);
        QJsonArray baskets;
        for (const CBasketSetting& b : d->baskets) {
            QJsonObject o{{QStringLiteral("name"), b.name},
                          {QStringLiteral("accountType"), b.accountType},
                          {QStringLiteral("subType"), b.subType},
                          {QStringLiteral("entryKind"), b.entryKind}};
            QJsonArray stocks;
            for (const CBasketStockData& s : b.stocks)
                stocks.append(QJsonObject{{QStringLiteral("kind"), s.kind},
                                          {QStringLiteral("market"), s.market},
                                          {QStringLiteral("code"), s.code},
                                          {QStringLiteral("name"), s.name}});
            o.insert(QStringLiteral("stocks"), stocks);
            baskets.append(o);
        }
        root.insert(QStringLiteral("baskets"), baskets);
        QJsonObject groups;
        for (auto it = d->productGroups.cbegin(); it != d->productGroups.cend(); ++it)
            groups.insert(it.key(), QJsonArray::fromStringList(it.value()));
        root.insert(QStringLiteral("productGroups"), groups);
        QJsonObject refresh;
        for (auto it = d->autoRefreshParams.cbegin(); it != d->autoRefreshParams.cend(); ++it) {
            const CAutoRefreshParam& r = it.value();
            refresh.insert(it.key(), QJsonObject{{QStringLiteral("auto"), r.autoRefresh},
                                                 {QStringLiteral("start"), r.startTime},
                                                 {QStringLiteral("stockHours"), r.inStockHours},
                                                 {QStringLiteral("futuresHours"), r.inFuturesHours},
                                                 {QStringLiteral("interval"), r.interval},
                                                 {QStringLiteral("whenHidden"), r.whenHidden},
                                                 {QStringLiteral("prompt"), r.promptResult}});
        }
        root.insert(QStringLiteral("autoRefreshParams"), refresh);
        QStringList filtered(d->filteredAccounts.begin(), d->filteredAccounts.end());
        filtered.sort();
        root.insert(QStringLiteral("filteredAccounts"), QJsonArray::fromStringList(filtered));
    }
    return writeJsonFile(getDataDir() + QLatin1String(kFileName), QJsonDocument(root));
}

bool CUserConfig::load()
{
    QJsonDocument doc;
    if (!readJsonFile(getDataDir() + QLatin1String(kFileName), "UserConfig", doc)
        || !doc.isObject())
        return false;
    // parse into locals, commit only a sound file
    const QJsonObject root = doc.object();
    Impl next;
    next.segmentedFlags = root.value(QStringLiteral("segmentedFlags")).toInt(0);
    next.volumeUndivided = root.value(QStringLiteral("volumeUndivided")).toBool(false);
    next.haldenQuote = root.value(QStringLiteral("haldenQuote")).toBool(false);
    next.haldenClient = root.value(QStringLiteral("haldenClient")).toBool(false);
    next.multiStockRecalc = root.value(QStringLiteral("multiStockRecalc")).toBool(false);
    next.promptRunResult = root.value(QStringLiteral("promptRunResult")).toBool(false);
    next.greekBenchmark = root.value(QStringLiteral("greekBenchmark")).toInt(0);
    const QJsonObject rates = root.value(QStringLiteral("historyRates")).toObject();
    for (auto it = rates.begin(); it != rates.end(); ++it)
        if (it.value().isDouble() && it.value().toDouble() > 0)
            next.historyRates.insert(it.key(), it.value().toDouble());
    for (const QJsonValue& v : root.value(QStringLiteral("baskets")).toArray()) {
        const QJsonObject o = v.toObject();
        CBasketSetting b;
        b.name = o.value(QStringLiteral("name")).toString();
        if (b.name.isEmpty())
            continue;
        b.accountType = o.value(QStringLiteral("accountType")).toInt(2);
        b.subType = o.value(QStringLiteral("subType")).toInt(0);
        b.entryKind = o.value(QStringLiteral("entryKind")).toInt(0);
        for (const QJsonValue& sv : o.value(QStringLiteral("stocks")).toArray()) {
            const QJsonObject so = sv.toObject();
            b.stocks.append({so.value(QStringLiteral("kind")).toInt(0),
                             so.value(QStringLiteral("market")).toString(),
                             so.value(QStringLiteral("code")).toString(),
                             so.value(QStringLiteral("name")).toString()});
        }
        next.baskets.insert(b.name, b);
    }
    const QJsonObject groups = root.value(QStringLiteral("productGroups")).toObject();
    for (auto it = groups.begin(); it != groups.end(); ++it) {
        QStringList keys;
        for (const QJsonValue& k : it.value().toArray())
            if (k.isString())
                keys.append(k.toString());
        next.productGroups.insert(it.key(), keys);
    }
    const QJsonObject refresh = root.value(QStringLiteral("autoRefreshParams")).toObject();
    for (auto it = refresh.begin(); it != refresh.end(); ++it) {
        if (it.key().isEmpty() || !it.value().isObject())
            continue;
        const QJsonObject o = it.value().toObject();
        CAutoRefreshParam r;
        r.autoRefresh = o.value(QStringLiteral("auto")).toBool(false);
        r.startTime = o.value(QStringLiteral("start")).toString();
        r.inStockHours = o.value(QStringLiteral("stockHours")).toBool(false);
        r.inFuturesHours = o.value(QStringLiteral("futuresHours")).toBool(false);
        r.interval = std::max(0, o.value(QStringLiteral("interval")).toInt(0));
        r.whenHidden = o.value(QStringLiteral("whenHidden")).toBool(false);
        r.promptResult = o.value(QStringLiteral("prompt")).toBool(false);
        next.autoRefreshParams.insert(it.key(), r);
    }
    for (const QJsonValue& k : root.value(QStringLiteral("filteredAccounts")).toArray())
        if (k.isString() && !k.toString().isEmpty())
            next.filteredAccounts.insert(k.toString());
    std::lock_guard<std::mutex> lock(d->mutex);
    d->segmentedFlags = next.segmentedFlags;
    d->volumeUndivided = next.volumeUndivided;
    d->haldenQuote = next.haldenQuote;
    d->haldenClient = next.haldenClient;
    d->multiStockRecalc = next.multiStockRecalc;
    d->promptRunResult = next.promptRunResult;
    d->greekBenchmark = next.greekBenchmark;
    d->historyRates = next.historyRates;
    d->baskets = next.baskets;
    d->productGroups = next.productGroups;
    d->autoRefreshParams = next.autoRefreshParams;
    d->filteredAccounts = next.filteredAccounts;
    return true;
}

} // namespace TC

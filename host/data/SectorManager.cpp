#include "host/data/SectorManager.h"

#include "host/data/Config.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/IndexManager.h"
#include "host/data/Log.h"
#include "host/data/SectorDetail.h"
#include "host/data/StdFile.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/TraderCenter.h"
#include "host/data/UniverseData.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <functional>
#include <mutex>

namespace TC {

using ttservice::CInstrumentDetailPtr;

namespace {

const QString kUserGroup = QStringLiteral("我的");
const QString kSelfSelect = QStringLiteral("自选股");
const QString kCustomIndex = QStringLiteral("自定义指数");
const QString kIndustryRoot = QStringLiteral("申万一级行业板块");
const QString kPositionRoot = QStringLiteral("持仓");
const QString kTBoard = QStringLiteral("T型报价板");
const QString kDomesticFutures = QStringLiteral("内盘期货板块");
const QString kForeignFutures = QStringLiteral("外盘期货板块");
const QString kOptions = QStringLiteral("期权板块");
const QString kExternal = QStringLiteral("外部数据");
const QString kConnect = QStringLiteral("沪深港通");
const QString kAH = QStringLiteral("A+H");
const char* kUserFile = "/sectors.json";

// Position kinds with their account types, in bar order.
const QList<QPair<QString, int>>& positionKinds()
{
    static const QList<QPair<QString, int>> kinds{
        {QStringLiteral("股票持仓"), 2},     {QStringLiteral("期货持仓"), 1},
        {QStringLiteral("融资融券持仓"), 3}, {QStringLiteral("股票期权持仓"), 6},
        {QStringLiteral("深港通持仓"), 11},  {QStringLiteral("沪港通持仓"), 7}};
    return kinds;
}

QString hkIndustryName(const QString& industry)
{
    return industry + QStringLiteral("(港股)");
}

// A user list kept across tree rebuilds.
struct UserSector {
    QString name;
    int type = eSectorUser;
    QString parent;
    QStringList keys;
};

} // namespace

struct CSectorManager::Impl {
    std::recursive_mutex mutex;
    CSectorDetail* root = nullptr;
    std::vector<std::unique_ptr<CSectorDetail>> kept; // old trees: views may still point into them
    QHash<QString, CSectorDetail*> byName;
    QHash<QString, QStringList> sectorsOfKey; // stock key -> system leaf names, built on demand
    bool sectorsOfKeyBuilt = false;
    // members of system leaves, built on the first membership test of each tree version
    QHash<const CSectorDetail*, QSet<QString>> memberSets;
    QList<UserSector> user; // in creation order
    bool userLoaded = false;
    bool inBuild = false;

    CSectorDetail* node(const QString& name, int type, CSectorDetail* parent)
    {
        auto* s = new CSectorDetail(name, type, parent);
        byName.insert(name, s);
        return s;
    }

    CSectorDetail* leaf(const QString& name, CSectorDetail* parent, const QStringList& keys,
                        int type = eSectorSystem)
    {
        CSectorDetail* s = node(name, type, parent);
        s->m_stockKeys = keys;
        return s;
    }

    bool holds(const CSectorDetail* s, const QString& key)
    {
        if (!s->isSystem()) // user lists change; they are short anyway
            return s->m_stockKeys.contains(key);
        auto it = memberSets.find(s);
        if (it == memberSets.end())
            it = memberSets.insert(s, QSet<QString>(s->m_stockKeys.begin(), s->m_stockKeys.end()));
        return it->contains(key);
    }

    UserSector* findUser(const QString& name)
    {
        for (UserSector& u : user)
            if (u.name == name)
                return &u;
        return nullptr;
    }
};

CSectorManager* CSectorManager::instance()
{
    static CSectorManager* s = new CSectorManager; // views hold its nodes until exit
    return s;
}

CSectorManager::CSectorManager() : d(std::make_unique<Impl>())
{
    d->user.append({kSelfSelect, eSectorUser, kUserGroup, {}});
    d->user.append({kCustomIndex, eSectorCustomIndex, QString(), {}});
    connect(CStockManager::instance(), &CStockManager::sigUniverseReset, this, [this] {
        reset();
        Q_EMIT sigReInitIndustry();
    });
    // custom indices appear in (and leave) the "自定义指数" list
    connect(CIndexManager::instance(), &CIndexManager::sigIndexChanged, this,
            [this](int type, const QString& code) {
                const QString key = XP::nvStockKey(CIndexManager::market(), code);
                if (type == 1)
                    addStockToSector(kCustomIndex, key);
                else if (type == 2)
                    removeStockListFromSector(kCustomIndex, {key});
                else if (type == 3)
                    cleanStockFromSector(kCustomIndex, true);
            });
}

CSectorManager::~CSectorManager() = default;

void CSectorManager::reset()
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    if (d->root)
        d->kept.emplace_back(d->root);
    d->root = nullptr;
    d->byName.clear();
    d->sectorsOfKey.clear();
    d->sectorsOfKeyBuilt = false;
    d->memberSets.clear();
}

void CSectorManager::reInitIndustry()
{
    Q_EMIT sigReInitIndustry();
}

CSectorDetail* CSectorManager::getRoot()
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    if (d->root || d->inBuild)
        return d->root;
    d->inBuild = true;
    CStockManager* sm = CStockManager::instance();
    const CUniverseData* u = sm->universeData();
    const std::vector<CInstrumentDetailPtr>& all = sm->allInstruments();
    auto* root = new CSectorDetail(QStringLiteral("root"), eSectorSystem);
    d->root = root;

    // One pass sorts the universe into buckets by type and by market, universe order kept,
    // so each sector below reads only its own bucket instead of the whole universe.
    using D = const ttservice::CInstrumentDetail&;
    using Bucket = std::vector<const ttservice::CInstrumentDetail*>;
    Bucket ofType[ttservice::eInstrTypeCount];
    Bucket funds; // the three fund types together
    QHash<QString, Bucket> ofMarket;
    {
        Bucket* market = nullptr;
        const QString* marketName = nullptr;
        for (const auto& det : all) {
            if (det->type >= 0 && det->type < ttservice::eInstrTypeCount)
                ofType[det->type].push_back(det.get());
            if (det->type == ttservice::eInstrFund || det->type == ttservice::eInstrETF
                || det->type == ttservice::eInstrLOF)
                funds.push_back(det.get());
            if (!marketName || *marketName != det->market) // runs of one market are the rule
                market = &ofMarket[det->market];
            marketName = &det->market;
            market->push_back(det.get());
        }
    }
    const Bucket none;
    auto bucketOf = [&](const QString& market) -> const Bucket& {
        const auto it = ofMarket.constFind(market);
        return it == ofMarket.constEnd() ? none : *it;
    };
    auto keysOf = [](const Bucket& bucket, auto pred) {
        QStringList keys;
        for (const ttservice::CInstrumentDetail* det : bucket)
            if (pred(*det))
                keys.append(det->key);
        return keys;
    };
    auto every = [](D) { return true; };
    const Bucket& stocks = ofType[ttservice::eInstrStock];
    const QString SH = QStringLiteral("SH"), SZ = QStringLiteral("SZ");
    const int today = sm->getLastTradingDay(SH);

    d->leaf(QStringLiteral("沪深A股"), root, keysOf(stocks, every));
    CSectorDetail* boards = d->node(QStringLiteral("A股分类"), eSectorSystem, root);
    d->leaf(QStringLiteral("上证A股"), boards, keysOf(stocks, [&](D x) { return x.market == SH; }));
    d->leaf(QStringLiteral("深证A股"), boards, keysOf(stocks, [&](D x) { return x.market == SZ; }));
    d->leaf(QStringLiteral("创业板"), boards, keysOf(stocks, [&](D x) {
                return x.market == SZ && x.code.startsWith(QLatin1Char('3'));
            }));
    d->leaf(QStringLiteral("科创板"), boards, keysOf(stocks, [&](D x) {
                return x.market == SH && x.code.startsWith(QLatin1String("688"));
            }));

    auto pairGroup = [&](const QString& name, const QString& shName, const QString& szName,
                         const Bucket& bucket) {
        CSectorDetail* g = d->node(name, eSectorSystem, root);
        d->leaf(shName, g, keysOf(bucket, [&](D x) { return x.market == SH; }));
        d->leaf(szName, g, keysOf(bucket, [&](D x) { return x.market == SZ; }));
    };
    pairGroup(QStringLiteral("沪深指数"), QStringLiteral("沪市指数"), QStringLiteral("深市指数"),
              ofType[ttservice::eInstrIndex]);
    pairGroup(QStringLiteral("沪深基金"), QStringLiteral("沪市基金"), QStringLiteral("深市基金"),
              funds);
    pairGroup(QStringLiteral("沪深ETF"), QStringLiteral("沪市ETF"), QStringLiteral("深市ETF"),
              ofType[ttservice::eInstrETF]);
    pairGroup(QStringLiteral("沪深债券"), QStringLiteral("沪市债券"), QStringLiteral("深市债券"),
              ofType[ttservice::eInstrBond]);
    const Bucket& cbs = ofType[ttservice::eInstrConvertibleBond];
    d->leaf(QStringLiteral("可转债"), root, keysOf(cbs, [&](D x) { return x.listDate <= today; }));
    d->leaf(QStringLiteral("未上市新债"), root,
            keysOf(cbs, [&](D x) { return x.listDate > today; }));
    d->leaf(kAH, root, keysOf(stocks, [](D x) { return !x.pairCode.isEmpty(); }));
    {
        CSectorDetail* g = d->node(kConnect, eSectorSystem, root);
        // northbound: the larger A shares of each exchange
        auto north = [&](const QString& market) {
            Bucket list;
            for (const ttservice::CInstrumentDetail* det : stocks)
                if (det->market == market)
                    list.push_back(det);
            std::stable_sort(
                list.begin(), list.end(),
                [](const ttservice::CInstrumentDetail* a, const ttservice::CInstrumentDetail* b) {
                    return a->refPrice * a->floatShares > b->refPrice * b->floatShares;
                });
            QStringList keys;
            for (size_t i = 0; i < list.size() && i < 600; ++i)
                keys.append(list[i]->key);
            keys.sort();
            return keys;
        };
        d->leaf(QStringLiteral("沪股通"), g, north(SH));
        d->leaf(QStringLiteral("深股通"), g, north(SZ));
        d->leaf(QStringLiteral("港股通(沪)"), g, keysOf(bucketOf(QStringLiteral("HGT")), every));
        d->leaf(QStringLiteral("港股通(深)"), g, keysOf(bucketOf(QStringLiteral("SGT")), every));
    }
    d->leaf(QStringLiteral("港股"), root, keysOf(bucketOf(QStringLiteral("HK")), every));

    if (u) {
        CSectorDetail* idx = d->node(QStringLiteral("板块指数板块"), eSectorSystem, root);
        QStringList industryIdx, concepts, regions;
        for (const QString& ind : u->industries)
            industryIdx.append(
                XP::nvStockKey(QStringLiteral("SI"), u->industryIndexCode.value(ind)));
        for (const ttservice::CInstrumentDetail* det : ofType[ttservice::eInstrSectorIndex]) {
            if (u->conceptNames.contains(det->name))
                concepts.append(det->key);
            else if (u->regionNames.contains(det->name))
                regions.append(det->key);
        }
        QStringList present;
        for (const QString& k : industryIdx)
            if (sm->getInstrumentDetail(k))
                present.append(k);
        d->leaf(QStringLiteral("申万一级行业板块指数"), idx, present);
        d->leaf(QStringLiteral("概念指数"), idx, concepts);
        d->leaf(QStringLiteral("地域指数"), idx, regions);
    }

    {
        // members of each industry, gathered in one pass per instrument type
        auto byIndustry = [](const Bucket& bucket) {
            QHash<QString, QStringList> out;
            QStringList* list = nullptr;
            const QString* industry = nullptr;
            for (const ttservice::CInstrumentDetail* det : bucket) {
                if (!industry || *industry != det->industry)
                    list = &out[det->industry];
                industry = &det->industry;
                list->append(det->key);
            }
            return out;
        };
        const QHash<QString, QStringList> aMembers = byIndustry(stocks);
        const QHash<QString, QStringList> hkMembers = byIndustry(ofType[ttservice::eInstrHKStock]);
        CSectorDetail* g = d->node(kIndustryRoot, eSectorSystem, root);
        const QStringList industries = u ? u->industries : QStringList();
        for (const QString& ind : industries) {
            CSectorDetail* s = d->leaf(ind, g, aMembers.value(ind), eSectorIndustry);
            s->m_qsClassKey = QStringLiteral("SW1");
            s->m_qsCode = XP::nvStockKey(QStringLiteral("SI"), u->industryIndexCode.value(ind));
        }
        CSectorDetail* hk = d->node(getSectorTypeName(eSectorHKIndustry), eSectorSystem, root);
        for (const QString& ind : industries) {
            CSectorDetail* s =
                d->leaf(hkIndustryName(ind), hk, hkMembers.value(ind), eSectorHKIndustry);
            s->m_qsClassKey = QStringLiteral("HKSW2");
        }
    }
    if (u) {
        auto themes = [&](const QString& groupName, const QStringList& names) {
            CSectorDetail* g = d->node(groupName, eSectorSystem, root);
            for (const QString& n : names)
                if (!d->byName.contains(n))
                    d->leaf(n, g, u->themeMembers.value(n));
        };
        themes(QStringLiteral("概念板块"), u->conceptNames);
        themes(QStringLiteral("地域板块"), u->regionNames);
        CSectorDetail* members = d->node(QStringLiteral("指数成分"), eSectorSystem, root);
        for (const ttservice::CInstrumentDetail* det : ofType[ttservice::eInstrIndex]) {
            if (d->byName.contains(det->name))
                continue;
            const auto it = u->indexMembers.constFind(det->key);
            if (it == u->indexMembers.constEnd() || it->empty())
                continue;
            QStringList keys;
            keys.reserve(int(it->size()));
            for (const se::RPCSectorStock& s : *it)
                keys.append(XP::nvStockKey(s.market, s.code));
            CSectorDetail* s = d->leaf(det->name, members, keys, eSectorIndexMembers);
            s->m_qsCode = det->key;
        }
    }

    {
        CSectorDetail* g = d->node(kDomesticFutures, eSectorSystem, root);
        const QList<QPair<QString, QString>> exchanges{
            {QStringLiteral("中金所"), QStringLiteral("CFFEX")},
            {QStringLiteral("郑商所"), QStringLiteral("CZCE")},
            {QStringLiteral("大商所"), QStringLiteral("DCE")},
            {QStringLiteral("上期所"), QStringLiteral("SHFE")},
            {QStringLiteral("能源中心"), QStringLiteral("INE")}};
        for (const auto& ex : exchanges) {
            // per product, in order of first listing: the continuous contract, then the
            // months in order
            struct Product {
                QStringList continuous, months;
            };
            std::vector<Product> products;
            QHash<QString, size_t> productAt;
            QStringList options; // the exchange's options follow its futures
            for (const ttservice::CInstrumentDetail* det : bucketOf(ex.second)) {
                if (det->type == ttservice::eInstrFutureOption
                    || det->type == ttservice::eInstrOption)
                    options.append(det->key);
                if (det->type != ttservice::eInstrFuture)
                    continue;
                auto it = productAt.constFind(det->product);
                if (it == productAt.constEnd()) {
                    it = productAt.insert(det->product, products.size());
                    products.emplace_back();
                }
                Product& p = products[*it];
                (det->isContinuous ? p.continuous : p.months).append(det->key);
            }
            QStringList keys;
            for (const Product& p : products)
                keys << p.continuous << p.months;
            d->leaf(ex.first, g, keys + options);
        }
    }
    {
        CSectorDetail* g = d->node(kForeignFutures, eSectorSystem, root);
        if (u)
            for (const QString& m : u->foreignBoardOrder)
                d->leaf(u->foreignBoards.value(m), g, keysOf(bucketOf(m), every));
    }
    {
        CSectorDetail* g = d->node(kOptions, eSectorSystem, root);
        d->leaf(QStringLiteral("上证期权"), g, keysOf(bucketOf(QStringLiteral("SHO")), every));
        d->leaf(QStringLiteral("深证期权"), g, keysOf(bucketOf(QStringLiteral("SZO")), every));
        d->leaf(QStringLiteral("中金所期权"), g, keysOf(bucketOf(QStringLiteral("CFFEX")), [](D x) {
                    return x.type == ttservice::eInstrOption;
                }));
        d->leaf(QStringLiteral("商品期权"), g,
                keysOf(ofType[ttservice::eInstrFutureOption], every));
    }
    d->leaf(kTBoard, root, u ? u->tBoardUnderlyings : QStringList(), eSectorTBoard);

    // user lists: "自定义指数" at the top level, the rest under "我的"
    CSectorDetail* mine = d->node(kUserGroup, eSectorUserGroup, root);
    mine->m_bSystem = false;
    for (const UserSector& us : d->user) {
        if (us.type == eSectorUserGroup) {
            CSectorDetail* parent = d->byName.value(us.parent, mine);
            CSectorDetail* s = d->node(us.name, eSectorUserGroup, parent);
            s->m_bSystem = false;
        }
    }
    for (const UserSector& us : d->user) {
        if (us.type == eSectorUserGroup)
            continue;
        CSectorDetail* parent = us.parent.isEmpty() ? root : d->byName.value(us.parent, mine);
        CSectorDetail* s = d->leaf(us.name, parent, us.keys, us.type);
        s->m_bSystem = false;
        s->m_bEditable = true;
    }

    {
        // one kind per account type, and under it the product groups holding accounts of
        // that type ("股票持仓-稳健一号"): every sub-sector shares its kind's account type
        CSectorDetail* pos = d->node(kPositionRoot, eSectorPosition, root);
        const QMap<QString, QStringList> groups = ttservice::TraderCenter::defaultProductGroups();
        for (const auto& kind : positionKinds()) {
            CSectorDetail* k = d->node(kind.first, eSectorPosition, pos);
            const QString prefix = QString::number(kind.second) + QLatin1Char('_');
            for (auto g = groups.cbegin(); g != groups.cend(); ++g)
                for (const QString& account : g.value())
                    if (account.startsWith(prefix)) {
                        CSectorDetail* s =
                            d->node(kind.first + QLatin1Char('-') + g.key(), eSectorPosition, k);
                        s->m_qsClassKey = g.key();
                        break;
                    }
        }
    }
    d->node(kExternal, eSectorExternal, root);

    d->inBuild = false;
    TT_LOG_INFO("[CSectorManager] sector tree built, %1% sectors", d->byName.size());
    Q_EMIT sigSectorInited();
    return d->root;
}

CSectorDetail* CSectorManager::getSector(const QString& name)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    getRoot();
    return d->byName.value(name);
}

QList<CSectorDetail*> CSectorManager::getTopSectors()
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    CSectorDetail* root = getRoot();
    return root ? root->getChildren() : QList<CSectorDetail*>();
}

QList<CInstrumentDetailPtr> CSectorManager::getSectorStockList(const QString& name)
{
    QList<CInstrumentDetailPtr> out;
    QStringList keys;
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        CSectorDetail* s = getSector(name);
        if (!s)
            return out;
        // leaves in tree order; duplicates stay
        std::function<void(CSectorDetail*)> walk = [&](CSectorDetail* n) {
            if (!n->hasChildren()) {
                keys += n->m_stockKeys;
                return;
            }
            for (CSectorDetail* c : n->getChildren())
                walk(c);
        };
        walk(s);
    }
    CStockManager* sm = CStockManager::instance();
    CIndexManager* im = CIndexManager::instance();
    const QString ciSuffix = QLatin1Char('.') + CIndexManager::market();
    out.reserve(keys.size());
    for (const QString& k : keys) {
        CInstrumentDetailPtr det = sm->getInstrumentDetail(k);
        if (!det && k.endsWith(ciSuffix))
            det = im->getIndexDetail(k);
        if (det)
            out.append(det);
    }
    return out;
}

QStringList CSectorManager::getStockSectorNames(const QString& keyOrCode)
{
    const CInstrumentDetailPtr det = CStockManager::instance()->findByCode(keyOrCode);
    if (!det)
        return {};
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    CSectorDetail* root = getRoot();
    if (!root)
        return {};
    if (!d->sectorsOfKeyBuilt) {
        std::function<void(CSectorDetail*)> walk = [&](CSectorDetail* n) {
            if (n != root && !n->hasChildren() && n->isSystem())
                for (const QString& k : n->m_stockKeys)
                    d->sectorsOfKey[k].append(n->getName());
            for (CSectorDetail* c : n->getChildren())
                walk(c);
        };
        walk(root);
        d->sectorsOfKeyBuilt = true;
    }
    return d->sectorsOfKey.value(det->key);
}

CSectorDetail* CSectorManager::getUserSector()
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    const QList<CSectorDetail*> list = getUserSectors();
    return list.isEmpty() ? nullptr : list.first();
}

QList<CSectorDetail*> CSectorManager::getUserSectors()
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    QList<CSectorDetail*> out;
    CSectorDetail* mine = getSector(kUserGroup);
    if (!mine)
        return out;
    std::function<void(CSectorDetail*)> walk = [&](CSectorDetail* n) {
        for (CSectorDetail* c : n->getChildren()) {
            if (c->getType() == eSectorUser)
                out.append(c);
            walk(c);
        }
    };
    walk(mine);
    return out;
}

CSectorDetail* CSectorManager::getSectorByIndustry(const QString& keyOrCode,
                                                   const QString& classKey, const QString& rootName)
{
    QString lookup = keyOrCode;
    // connect lines may come as "HGT00700" / "SGT00700"
    if ((keyOrCode.startsWith(QLatin1String("HGT")) || keyOrCode.startsWith(QLatin1String("SGT")))
        && !keyOrCode.contains(QLatin1Char('.')))
        lookup = XP::nvStockKey(keyOrCode.left(3), keyOrCode.mid(3));
    const CInstrumentDetailPtr det = CStockManager::instance()->findByCode(lookup);
    if (!det || det->industry.isEmpty())
        return nullptr;
    QString root = rootName;
    QString name = det->industry;
    if (classKey == QLatin1String("HKSW2")) {
        if (root.isEmpty())
            root = getSectorTypeName(eSectorHKIndustry);
        name = hkIndustryName(det->industry);
    } else if (classKey == QLatin1String("SW1") || classKey.isEmpty()) {
        if (root.isEmpty())
            root = kIndustryRoot;
    } else {
        return nullptr;
    }
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    CSectorDetail* s = getSector(name);
    // the sector must hold the instrument: an HK line is not in the A-share industry
    return s && s->getParent() && s->getParent()->getName() == root && d->holds(s, det->key)
               ? s
               : nullptr;
}

QString CSectorManager::getIndustryName(const QString& keyOrCode)
{
    const CInstrumentDetailPtr det = CStockManager::instance()->findByCode(keyOrCode);
    return det ? det->industry : QString();
}

bool CSectorManager::isParentSector(const QString& name, const QString& parent)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    CSectorDetail* s = getSector(name);
    for (CSectorDetail* p = s ? s->getParent() : nullptr; p; p = p->getParent())
        if (p->getName() == parent)
            return true;
    return false;
}

bool CSectorManager::checkDirectRelationship(const QString& a, const QString& b)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    CSectorDetail* x = getSector(a);
    CSectorDetail* y = getSector(b);
    if (!x || !y)
        return false;
    return x == y || x->getParent() == y || y->getParent() == x;
}

namespace {
bool isOrUnder(CSectorManager* m, const QString& name, const QString& top)
{
    return (name == top && m->getSector(name)) || m->isParentSector(name, top);
}
} // namespace

bool CSectorManager::isPositionSector(const QString& name)
{
    return isOrUnder(this, name, kPositionRoot);
}
int CSectorManager::getPositionAccountType(const QString& name)
{
    for (const auto& kind : positionKinds())
        if (name == kind.first || isParentSector(name, kind.first))
            return kind.second;
    return 2;
}
QString CSectorManager::getPositionProductGroup(const QString& name)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    CSectorDetail* s = getSector(name);
    return s && s->getType() == eSectorPosition ? s->getClassKey() : QString();
}

bool CSectorManager::isParentTsector(const QString& name)
{
    return isOrUnder(this, name, kTBoard);
}
bool CSectorManager::isConvertibleBondSector(const QString& name)
{
    return isOrUnder(this, name, QStringLiteral("可转债"))
           || isOrUnder(this, name, QStringLiteral("未上市新债"));
}
bool CSectorManager::isFutureSector(const QString& name)
{
    return isOrUnder(this, name, kDomesticFutures);
}
bool CSectorManager::isForeignFutureSector(const QString& name)
{
    return isOrUnder(this, name, kForeignFutures);
}
bool CSectorManager::isOptionSector(const QString& name)
{
    return isOrUnder(this, name, kOptions);
}
bool CSectorManager::isIndustrySector(const QString& name)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    CSectorDetail* s = getSector(name);
    return s && (s->getType() == eSectorIndustry || s->getType() == eSectorHKIndustry);
}
bool CSectorManager::isUserSector(const QString& name)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    CSectorDetail* s = getSector(name);
    return s && s->getType() == eSectorUser;
}
bool CSectorManager::isCustomIndexSector(const QString& name)
{
    std::lock_guard<std::recursive_mutex> lock(d->mutex);
    CSectorDetail* s = getSector(name);
    return s && s->getType() == eSectorCustomIndex;
}
bool CSectorManager::isExternalSector(const QString& name)
{
    return isOrUnder(this, name, kExternal) || CExternalDataManager::instance()->isExist(name);
}
bool CSectorManager::isAHSector(const QString& name)
{
    return name == kAH && getSector(name);
}
bool CSectorManager::isConnectSector(const QString& name)
{
    return isOrUnder(this, name, kConnect);
}

// --- user sectors ---

namespace {
QString resolveKey(const QString& keyOrCode)
{
    if (const CInstrumentDetailPtr det = CStockManager::instance()->findByCode(keyOrCode))
        return det->key;
    if (CIndexManager::instance()->getIndex(keyOrCode))
        return XP::nvStockKey(CIndexManager::market(), keyOrCode.section(QLatin1Char('.'), 0, 0));
    return QString();
}
} // namespace

int CSectorManager::addStockListToSector(const QString& name, const QStringList& keysOrCodes)
{
    int added = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        CSectorDetail* s = getSector(name);
        UserSector* us = d->findUser(name);
        if (!s || !us || !s->isEditable())
            return 0;
        QSet<QString> present(us->keys.begin(), us->keys.end());
        for (const QString& c : keysOrCodes) {
            const QString key = resolveKey(c);
            if (key.isEmpty() || present.contains(key))
                continue;
            present.insert(key);
            us->keys.append(key);
            ++added;
        }
        s->m_stockKeys = us->keys;
    }
    if (added > 0)
        Q_EMIT sigSectorChanged(eStocksChanged, name, QString());
    return added;
}

bool CSectorManager::addStockToSector(const QString& name, const QString& keyOrCode)
{
    return addStockListToSector(name, {keyOrCode}) == 1;
}

int CSectorManager::removeStockListFromSector(const QString& name, const QStringList& keysOrCodes)
{
    int removed = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        CSectorDetail* s = getSector(name);
        UserSector* us = d->findUser(name);
        if (!s || !us || !s->isEditable())
            return 0;
        // one pass over the list whatever the number of codes: keys as given, as resolved,
        // and bare codes for keys whose instrument left the universe
        QSet<QString> gone, goneCodes;
        for (const QString& c : keysOrCodes) {
            const QString key = resolveKey(c);
            gone.insert(c);
            if (!key.isEmpty())
                gone.insert(key);
            else
                goneCodes.insert(c);
        }
        QStringList kept;
        kept.reserve(us->keys.size());
        for (const QString& k : us->keys) {
            if (gone.contains(k)
                || (!goneCodes.isEmpty() && goneCodes.contains(k.section(QLatin1Char('.'), 0, 0))))
                ++removed;
            else
                kept.append(k);
        }
        if (removed > 0)
            us->keys = kept;
        s->m_stockKeys = us->keys;
    }
    if (removed > 0)
        Q_EMIT sigSectorChanged(eStocksChanged, name, QString());
    return removed;
}

bool CSectorManager::cleanStockFromSector(const QString& name, bool notify)
{
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        CSectorDetail* s = getSector(name);
        UserSector* us = d->findUser(name);
        if (!s || !us || !s->isEditable())
            return false;
        us->keys.clear();
        s->m_stockKeys.clear();
    }
    if (notify)
        Q_EMIT sigSectorChanged(eStocksChanged, name, QString());
    return true;
}

CSectorDetail* CSectorManager::addUserSector(const QString& name, int type, const QString& parent)
{
    CSectorDetail* s = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        if (name.trimmed().isEmpty() || getSector(name)
            || (type != eSectorUser && type != eSectorUserGroup && type != eSectorCustomIndex))
            return nullptr;
        const QString parentName = parent.isEmpty() ? kUserGroup : parent;
        CSectorDetail* p = getSector(parentName);
        if (!p || p->getType() != eSectorUserGroup)
            return nullptr;
        d->user.append({name, type, parentName, {}});
        s = d->node(name, type, p);
        s->m_bSystem = false;
        s->m_bEditable = type != eSectorUserGroup;
    }
    Q_EMIT sigSectorChanged(eSectorAdded, name, parent);
    return s;
}

bool CSectorManager::removeUserSector(const QString& name)
{
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        CSectorDetail* s = getSector(name);
        if (!s || s->isSystem() || name == kSelfSelect || name == kCustomIndex || name == kUserGroup
            || s->hasChildren())
            return false;
        for (int i = 0; i < d->user.size(); ++i)
            if (d->user[i].name == name)
                d->user.removeAt(i--);
        // detach only: callers may still hold the node, it is kept with the tree
        s->m_pParent->m_children.removeAll(s);
        d->byName.remove(name);
        auto* orphan = new CSectorDetail(QStringLiteral("removed"), eSectorSystem);
        orphan->m_children.append(s);
        s->m_pParent = orphan;
        d->kept.emplace_back(orphan);
    }
    Q_EMIT sigSectorChanged(eSectorRemoved, name, QString());
    return true;
}

bool CSectorManager::renameUserSector(const QString& name, const QString& newName)
{
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        CSectorDetail* s = getSector(name);
        UserSector* us = d->findUser(name);
        if (!s || !us || s->isSystem() || name == kCustomIndex || newName.trimmed().isEmpty()
            || getSector(newName))
            return false;
        for (UserSector& other : d->user)
            if (other.parent == name)
                other.parent = newName;
        us->name = newName;
        s->m_qsName = newName;
        d->byName.remove(name);
        d->byName.insert(newName, s);
    }
    Q_EMIT sigSectorChanged(eSectorRenamed, name, newName);
    return true;
}

void CSectorManager::updateSelfSelect(int kind, const QStringList& codes)
{
    Q_EMIT sigUpdateSelfSelect(kind, codes);
}

void CSectorManager::notifyPositionReInited()
{
    Q_EMIT sigPositionReInited();
}

bool CSectorManager::saveUserSectors()
{
    QJsonArray list;
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        for (const UserSector& u : d->user)
            list.append(
                QJsonObject{{QStringLiteral("name"), u.name},
                            {QStringLiteral("type"), u.type},
                            {QStringLiteral("parent"), u.parent},
                            {QStringLiteral("stocks"), QJsonArray::fromStringList(u.keys)}});
    }
    return writeJsonFile(getDataDir() + QLatin1String(kUserFile), QJsonDocument(list));
}

bool CSectorManager::loadUserSectors()
{
    QJsonDocument doc;
    if (!readJsonFile(getDataDir() + QLatin1String(kUserFile), "CSectorManager", doc)
        || !doc.isArray())
        return false;
    QList<UserSector> next;
    QSet<QString> names;
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        UserSector u;
        u.name = o.value(QStringLiteral("name")).toString();
        u.type = o.value(QStringLiteral("type")).toInt(-1);
        u.parent = o.value(QStringLiteral("parent")).toString();
        if (u.name.isEmpty() || names.contains(u.name)
            || (u.type != eSectorUser && u.type != eSectorUserGroup
                && u.type != eSectorCustomIndex)) {
            TT_LOG_ERROR("[CSectorManager] bad user sector entry, file ignored");
            return false;
        }
        QSet<QString> seen;
        for (const QJsonValue& k : o.value(QStringLiteral("stocks")).toArray())
            if (k.isString() && !seen.contains(k.toString())) {
                seen.insert(k.toString());
                u.keys.append(k.toString());
            }
        names.insert(u.name);
        next.append(u);
    }
    // the two fixed lists always exist
    if (!names.contains(kSelfSelect))
        next.prepend({kSelfSelect, eSectorUser, kUserGroup, {}});
    if (!names.contains(kCustomIndex))
        next.append({kCustomIndex, eSectorCustomIndex, QString(), {}});
    {
        std::lock_guard<std::recursive_mutex> lock(d->mutex);
        d->user = next;
    }
    reset();
    Q_EMIT sigSectorChanged(eSectorAdded, QString(), QString());
    return true;
}

} // namespace TC

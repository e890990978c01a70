// Deterministic expansion of the curated universe to full market scale.
#include "host/market/Universe.h"

#include "host/data/StockKey.h"
#include "host/data/TradeCalendar.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <map>

namespace TC {

using ttservice::CInstrumentDetail;
using ttservice::CInstrumentDetailPtr;

namespace {

// splitmix64: portable, so a seed gives the same market on every platform
class CRng {
public:
    explicit CRng(uint64_t seed) : m_s(seed) {}
    uint64_t next()
    {
        uint64_t z = (m_s += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    double uniform() { return (next() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % uint64_t(hi - lo + 1)); }
    double normal()
    {
        const double u1 = std::max(uniform(), 1e-12), u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

private:
    uint64_t m_s;
};

double roundTo(double v, double step)
{
    return step > 0 ? std::round(v / step) * step : v;
}

QString code6(int n)
{
    return QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0'));
}

const char* const kPrefixes[] = {
    "华夏", "中科", "东方", "南方", "北方", "西部", "长江", "黄河", "泰山", "华山", "天山", "昆仑",
    "珠江", "浙江", "江苏", "安徽", "福建", "江西", "山东", "河南", "湖北", "湖南", "广东", "广西",
    "海南", "四川", "贵州", "云南", "陕西", "甘肃", "青海", "宁夏", "新疆", "西藏", "内蒙", "辽宁",
    "吉林", "黑龙", "河北", "山西", "天津", "重庆", "申城", "京城", "鹏城", "杭州", "苏州", "无锡",
    "宁波", "温州", "厦门", "青岛", "大连", "武汉", "成都", "西安", "合肥", "金陵", "长沙", "郑州",
    "济南", "福州", "昆明", "兰州", "太原", "沈阳", "长春", "冰城", "金山", "银河", "星河", "天龙",
    "飞龙", "金龙", "华龙", "永安", "长城", "国泰", "华泰", "中天", "天成", "天宇", "宏达", "宏图",
    "鸿达", "鸿远", "远东", "远大", "华远", "万通", "万里", "万丰", "新华", "新天", "新宇", "瑞丰",
    "瑞达", "金达", "金宇", "金源", "汇通", "恒通", "恒源", "华信", "博通", "博远", "联创", "联华",
    "同方", "同益", "正源", "正达", "信达", "信诚", "德赛", "德力", "海达", "海航", "海信", "海天",
    "海容", "东华", "东源", "南天", "北辰", "西域", "中原", "中南", "中兴", "中联", "中恒", "中鼎",
    "天润", "天和", "天山", "润丰", "润达", "嘉和", "嘉宝", "佳源", "凯盛", "凯美", "康达", "康泰",
    "安泰", "安源", "盛达", "盛和", "美达", "美锦", "富春", "富通", "利达", "利源", "荣盛", "荣泰",
    "丰原", "丰华", "光明", "光华", "辉煌", "晨光", "朝阳", "旭升", "宇通", "亚泰", "亚信", "欧亚",
    "环球", "寰宇", "九州", "神州", "华晨", "华阳", "华光", "华锦", "华钰", "华峰", "岳阳", "衡山",
    "黄山", "庐山", "峨眉", "武夷", "雁荡", "洞庭", "鄱阳", "太湖", "巢湖", "洪湖", "西湖", "滇池",
};

struct IndustryNames {
    const char* industry;
    int weight; // share of listed companies, in per mille
    const char* suffixes[6];
};

const IndustryNames kIndustryNames[] = {
    {"农林牧渔", 20, {"农业", "种业", "牧业", "渔业", "农发", "饲料"}},
    {"基础化工", 75, {"化工", "化学", "新材", "化纤", "精化", "氟化"}},
    {"钢铁", 10, {"钢铁", "特钢", "钢管", "钢材", nullptr, nullptr}},
    {"有色金属", 25, {"矿业", "铝业", "铜业", "稀土", "锂业", "金属"}},
    {"电子", 90, {"电子", "光电", "微电", "精密", "芯源", "显示"}},
    {"家用电器", 18, {"电器", "家电", "厨电", "温控", nullptr, nullptr}},
    {"食品饮料", 25, {"食品", "酒业", "乳业", "饮品", "啤酒", "调味"}},
    {"纺织服饰", 20, {"纺织", "服饰", "时装", "家纺", "鞋业", nullptr}},
    {"轻工制造", 30, {"纸业", "家居", "包装", "轻工", "印务", nullptr}},
    {"医药生物", 90, {"医药", "药业", "生物", "制药", "医疗", "健康"}},
    {"公用事业", 25, {"电力", "水务", "燃气", "热电", "水电", nullptr}},
    {"交通运输", 25, {"物流", "航运", "港口", "高速", "航空", "运输"}},
    {"房地产", 20, {"地产", "置业", "城投", "置地", nullptr, nullptr}},
    {"商贸零售", 20, {"商业", "百货", "商贸", "零售", "商城", nullptr}},
    {"社会服务", 15, {"旅游", "酒店", "教育", "会展", "文旅", nullptr}},
    {"综合", 8, {"实业", "控股", "集团", "投资", nullptr, nullptr}},
    {"建筑材料", 15, {"建材", "水泥", "玻璃", "陶瓷", "管业", nullptr}},
    {"建筑装饰", 30, {"建设", "建工", "路桥", "装饰", "设计", "园林"}},
    {"电力设备", 65, {"电气", "新能", "光能", "电池", "电源", "风电"}},
    {"国防军工", 25, {"航天", "军工", "防务", "航电", "船舶", nullptr}},
    {"计算机", 70, {"软件", "信息", "数据", "智能", "网络", "科技"}},
    {"传媒", 30, {"传媒", "文化", "影视", "出版", "互娱", "广电"}},
    {"通信", 25, {"通信", "通讯", "光纤", "电讯", "光网", nullptr}},
    {"银行", 5, {"银行", "农商", nullptr, nullptr, nullptr, nullptr}},
    {"非银金融", 12, {"证券", "保险", "信托", "租赁", "金控", nullptr}},
    {"汽车", 50, {"汽车", "汽配", "客车", "轮胎", "车桥", "动力"}},
    {"机械设备", 100, {"机械", "机电", "重机", "装备", "精工", "机床"}},
    {"煤炭", 8, {"煤业", "焦煤", "煤电", "焦化", nullptr, nullptr}},
    {"石油石化", 10, {"石化", "石油", "油服", "油气", nullptr, nullptr}},
    {"环保", 20, {"环保", "环境", "节能", "环卫", "环科", nullptr}},
    {"美容护理", 8, {"日化", "护理", "美妆", nullptr, nullptr, nullptr}},
};

const char* const kConcepts[] = {"人工智能", "新能源车", "半导体",     "光伏概念",
                                 "储能",     "创新药",   "数字经济",   "机器人",
                                 "低空经济", "国企改革", "军工信息化", "云计算"};
const char* const kRegions[] = {"北京板块", "上海板块", "广东板块", "浙江板块", "江苏板块",
                                "山东板块", "四川板块", "湖北板块", "福建板块", "安徽板块"};
const char* const kHKSuffixes[] = {"控股", "集团", "国际", "实业", "发展", "科技", "资源", "能源"};

struct Board {
    const char* market;
    int from, to; // code range [from, to)
    int count;
};

const Board kBoards[] = {
    {"SH", 600000, 604000, 1700}, {"SH", 605000, 605600, 60},   {"SH", 688000, 688800, 560},
    {"SZ", 1, 3050, 1500},        {"SZ", 300001, 301600, 1350},
};

class CGenerator {
public:
    CGenerator(uint64_t seed, int baseYmd, CUniverseData& data) : m_rng(seed), m_data(data)
    {
        m_cal.setHolidays(data.holidaysYmd);
        m_baseDay = CTradeCalendar::validYmd(baseYmd) ? CTradeCalendar::dayOfYmd(baseYmd)
                                                      : CTradeCalendar::dayOfYmd(20250102);
        m_baseDay = m_cal.tradeDayOnOrBefore(m_baseDay);
        data.seed = seed;
        data.baseYmd = CTradeCalendar::ymdOfDay(m_baseDay);
        for (const auto& d : data.instruments) {
            m_keys.insert(d->key);
            m_names.insert(d->name);
        }
    }

    void run()
    {
        stocks();
        indices();
        sectorIndices();
        funds();
        bonds();
        convertibleBonds();
        hkStocks();
        futures();
        options();
        foreignFutures();
    }

private:
    CInstrumentDetailPtr add(const QString& market, const QString& code, const QString& name,
                             int type)
    {
        auto d = std::make_shared<CInstrumentDetail>();
        d->market = market;
        d->code = code;
        d->name = name;
        d->type = type;
        d->key = XP::nvStockKey(market, code);
        m_keys.insert(d->key);
        m_names.insert(name);
        m_data.instruments.push_back(d);
        return d;
    }

    bool taken(const QString& market, const QString& code) const
    {
        return m_keys.contains(XP::nvStockKey(market, code));
    }

    // a trading day some 1 month to 25 years back (calendar arithmetic: walking
    // thousands of trading days per instrument would dominate start-up)
    int pastListDate()
    {
        return CTradeCalendar::dateOfDay(
            m_cal.tradeDayOnOrBefore(m_baseDay - m_rng.range(30, 9000)));
    }

    // A name of prefix and suffix not used yet; tries every pair before giving up.
    QString uniqueName(int industry)
    {
        const QStringList& suffixes = m_suffixes[industry];
        const int prefixes = m_prefixes.size();
        for (int attempt = 0; attempt < 64; ++attempt) {
            QString n = m_prefixes[m_rng.range(0, prefixes - 1)]
                        + suffixes[m_rng.range(0, suffixes.size() - 1)];
            if (!m_names.contains(n))
                return n;
        }
        for (const QString& p : m_prefixes)
            for (const QString& x : suffixes) {
                QString n = p + x;
                if (!m_names.contains(n))
                    return n;
            }
        // every pair is used: add a distinguishing "股份"
        for (int i = 0;; ++i) {
            QString n = m_prefixes[i % prefixes] + suffixes[0] + QStringLiteral("股份")
                        + (i >= prefixes ? QString::number(i / prefixes) : QString());
            if (!m_names.contains(n))
                return n;
        }
    }

    int pickIndustry()
    {
        int total = 0;
        for (const auto& i : kIndustryNames)
            total += i.weight;
        int r = m_rng.range(0, total - 1);
        for (int i = 0; i < int(sizeof kIndustryNames / sizeof *kIndustryNames); ++i) {
            if (r < kIndustryNames[i].weight)
                return i;
            r -= kIndustryNames[i].weight;
        }
        return 0;
    }

    void stocks()
    {
        for (const char* p : kPrefixes)
            m_prefixes.append(QString::fromUtf8(p));
        for (const auto& ind : kIndustryNames) {
            QStringList list;
            for (const char* x : ind.suffixes)
                if (x)
                    list.append(QString::fromUtf8(x));
            m_suffixes.append(list);
        }
        // curated codes per market, as numbers, so the scan below builds no strings
        QHash<QString, QSet<int>> used;
        for (const auto& d : m_data.instruments) {
            bool ok = false;
            const int n = d->code.toInt(&ok);
            if (ok && d->code.size() == 6)
                used[d->market].insert(n);
        }
        for (const Board& b : kBoards) {
            const QString market = QString::fromLatin1(b.market);
            const QSet<int>& taken = used[market];
            int need = b.count, left = 0;
            for (int c = b.from; c < b.to; ++c)
                left += taken.contains(c) ? 0 : 1;
            // selection sampling: exactly "need" codes, spread over the range
            for (int c = b.from; c < b.to && need > 0; ++c) {
                if (taken.contains(c))
                    continue;
                if (m_rng.uniform() * left < need) {
                    const int ind = pickIndustry();
                    QString industry = QString::fromUtf8(kIndustryNames[ind].industry);
                    if (!m_data.industries.contains(industry))
                        industry = m_data.industries.first();
                    auto d = add(market, code6(c), uniqueName(ind), ttservice::eInstrStock);
                    d->industry = industry;
                    d->refPrice =
                        std::clamp(roundTo(std::exp(std::log(14.0) + 0.75 * m_rng.normal()), 0.01),
                                   1.5, 600.0);
                    d->totalShares = std::clamp(
                        roundTo(std::exp(std::log(6e8) + 0.9 * m_rng.normal()), 1e4), 4e7, 5e10);
                    d->floatShares = roundTo(d->totalShares * m_rng.uniform(0.35, 1.0), 1e4);
                    d->tradeUnit = 100;
                    d->listDate = pastListDate();
                    --need;
                }
                --left;
            }
        }
        for (const auto& d : m_data.instruments)
            if (d->type == ttservice::eInstrStock) {
                m_stocks.push_back(d);
                if (d->listDate == 0)
                    d->listDate = pastListDate();
            }
    }

    static double cap(const CInstrumentDetailPtr& d) { return d->refPrice * d->floatShares; }

    static std::vector<se::RPCSectorStock> weigh(const std::vector<CInstrumentDetailPtr>& members)
    {
        double sum = 0;
        for (const auto& d : members)
            sum += cap(d);
        std::vector<se::RPCSectorStock> out;
        out.reserve(members.size());
        for (const auto& d : members)
            out.push_back({d->market, d->code, sum > 0 ? float(cap(d) / sum * 100.0) : 0.0f});
        return out;
    }

    enum { kSH = 1, kSZ = 2, kGEM = 4, kSTAR = 8 };

    // the board bits an index universe takes; -1 every stock, 0 none
    static int universeMask(const QString& u)
    {
        if (u == QLatin1String("all"))
            return -1;
        if (u == QLatin1String("SH"))
            return kSH;
        if (u == QLatin1String("SZ"))
            return kSZ;
        if (u == QLatin1String("GEM"))
            return kGEM;
        if (u == QLatin1String("STAR"))
            return kSTAR;
        return 0;
    }

    void indices()
    {
        // caps computed once: the sort compares plain numbers, not instruments
        std::vector<std::pair<double, const CInstrumentDetailPtr*>> caps;
        caps.reserve(m_stocks.size());
        for (const auto& d : m_stocks)
            caps.emplace_back(cap(d), &d);
        std::stable_sort(caps.begin(), caps.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        // each stock's exchange and board, looked up once for every rule
        std::vector<uint8_t> board(caps.size());
        for (size_t i = 0; i < caps.size(); ++i) {
            const CInstrumentDetail& d = **caps[i].second;
            const bool sh = d.market == QLatin1String("SH"), sz = d.market == QLatin1String("SZ");
            board[i] = uint8_t((sh ? kSH : 0) | (sz ? kSZ : 0)
                               | (sz && d.code.startsWith(QLatin1Char('3')) ? kGEM : 0)
                               | (sh && d.code.startsWith(QLatin1String("688")) ? kSTAR : 0));
        }
        for (const CIndexRule& rule : m_data.indexRules) {
            std::vector<CInstrumentDetailPtr> members;
            int skip = rule.skip;
            const int want = universeMask(rule.universe);
            for (size_t i = 0; i < caps.size(); ++i) {
                const CInstrumentDetailPtr& d = *caps[i].second;
                if (want >= 0 && !(board[i] & want))
                    continue;
                if (skip > 0) {
                    --skip;
                    continue;
                }
                members.push_back(d);
                if (rule.count > 0 && int(members.size()) >= rule.count)
                    break;
            }
            m_data.indexMembers.insert(rule.key, weigh(members));
        }
    }

    void themeIndex(const QString& name, const QString& code,
                    const std::vector<CInstrumentDetailPtr>& members)
    {
        auto d = add(QStringLiteral("SI"), code, name, ttservice::eInstrSectorIndex);
        d->refPrice = roundTo(m_rng.uniform(800, 6000), 0.01);
        d->tradeUnit = 1;
        m_data.indexMembers.insert(d->key, weigh(members));
        QStringList keys;
        for (const auto& m : members)
            keys.append(m->key);
        m_data.themeMembers.insert(name, keys);
    }

    void sectorIndices()
    {
        // members of every industry in one pass, in stock order
        QHash<QString, std::vector<CInstrumentDetailPtr>> byIndustry;
        for (const QString& industry : m_data.industries)
            byIndustry[industry];
        for (const auto& d : m_stocks) {
            auto it = byIndustry.find(d->industry);
            if (it != byIndustry.end())
                it->push_back(d);
        }
        for (const QString& industry : m_data.industries)
            themeIndex(industry, m_data.industryIndexCode.value(industry), byIndustry[industry]);
        auto themes = [&](const char* const* names, int n, int codeBase, QStringList& list) {
            for (int i = 0; i < n; ++i) {
                const QString name = QString::fromUtf8(names[i]);
                std::vector<CInstrumentDetailPtr> members;
                const int want = m_rng.range(20, 80);
                QSet<int> picked;
                while (int(members.size()) < want) {
                    const int k = m_rng.range(0, int(m_stocks.size()) - 1);
                    if (!picked.contains(k)) {
                        picked.insert(k);
                        members.push_back(m_stocks[size_t(k)]);
                    }
                }
                std::sort(members.begin(), members.end(),
                          [](const CInstrumentDetailPtr& a, const CInstrumentDetailPtr& b) {
                              return a->key < b->key;
                          });
                themeIndex(name, code6(codeBase + i), members);
                list.append(name);
            }
        };
        themes(kConcepts, int(sizeof kConcepts / sizeof *kConcepts), 885001, m_data.conceptNames);
        themes(kRegions, int(sizeof kRegions / sizeof *kRegions), 882001, m_data.regionNames);
    }

    // Next free code counting up from start.
    QString freeCode(const QString& market, int& next)
    {
        while (taken(market, code6(next)))
            ++next;
        return code6(next++);
    }

    void fund(const QString& market, const QString& code, const QString& name, int type)
    {
        auto d = add(market, code, name, type);
        d->refPrice = roundTo(std::exp(m_rng.normal() * 0.5), 0.001);
        d->refPrice = std::max(d->refPrice, 0.3);
        d->priceStep = 0.001;
        d->iopvBasis = roundTo(d->refPrice * (1.0 + 0.002 * m_rng.normal()), 0.0001);
        d->totalShares = d->floatShares = roundTo(std::exp(std::log(5e8) + m_rng.normal()), 1e4);
        d->listDate = pastListDate();
    }

    void funds()
    {
        int sh = 512000, sz = 159801, lofSz = 160100, lofSh = 501001;
        for (const QString& industry : m_data.industries) {
            const QString name = industry + QStringLiteral("ETF");
            if (!m_names.contains(name))
                fund(QStringLiteral("SH"), freeCode(QStringLiteral("SH"), sh), name,
                     ttservice::eInstrETF);
            const QString lof = industry + QStringLiteral("LOF");
            if (!m_names.contains(lof))
                fund(QStringLiteral("SZ"), freeCode(QStringLiteral("SZ"), lofSz), lof,
                     ttservice::eInstrLOF);
        }
        for (const QString& theme : m_data.conceptNames) {
            const QString name = theme + QStringLiteral("ETF");
            if (!m_names.contains(name))
                fund(QStringLiteral("SZ"), freeCode(QStringLiteral("SZ"), sz), name,
                     ttservice::eInstrETF);
            const QString lof = theme + QStringLiteral("LOF");
            if (!m_names.contains(lof))
                fund(QStringLiteral("SH"), freeCode(QStringLiteral("SH"), lofSh), lof,
                     ttservice::eInstrLOF);
        }
        for (const auto& d : m_data.instruments)
            if ((d->type == ttservice::eInstrETF || d->type == ttservice::eInstrLOF)
                && d->totalShares <= 0) {
                d->totalShares = d->floatShares =
                    roundTo(std::exp(std::log(2e9) + m_rng.normal()), 1e4);
                d->listDate = pastListDate();
            }
    }

    void bonds()
    {
        int y = CTradeCalendar::ymdOfDay(m_baseDay) / 10000 % 100;
        int sh = 19750, sz = 102400;
        for (int i = 1; i <= 24; ++i) {
            const QString name = QStringLiteral("%1国债%2").arg(y).arg(i, 2, 10, QLatin1Char('0'));
            if (m_names.contains(name))
                continue;
            auto d = add(QStringLiteral("SH"), freeCode(QStringLiteral("SH"), sh), name,
                         ttservice::eInstrBond);
            d->refPrice = roundTo(m_rng.uniform(98.5, 104.0), 0.001);
            d->priceStep = 0.001;
            d->tradeUnit = 10;
        }
        for (int i = 1; i <= 16; ++i) {
            const QString name =
                QStringLiteral("%1附息国债%2").arg(y).arg(i, 2, 10, QLatin1Char('0'));
            if (m_names.contains(name))
                continue;
            auto d = add(QStringLiteral("SZ"), freeCode(QStringLiteral("SZ"), sz), name,
                         ttservice::eInstrBond);
            d->refPrice = roundTo(m_rng.uniform(98.5, 104.0), 0.001);
            d->priceStep = 0.001;
            d->tradeUnit = 10;
        }
    }

    void convertibleBonds()
    {
        int sh = 113600, sz = 123100;
        QSet<QString> withBond;
        for (const auto& d : m_data.instruments)
            if (d->type == ttservice::eInstrConvertibleBond)
                withBond.insert(XP::nvStockKey(d->cbUnderlyingMarket, d->cbUnderlyingCode));
        for (int i = 0; i < 330; ++i) {
            const auto& s = m_stocks[size_t(m_rng.range(0, int(m_stocks.size()) - 1))];
            if (withBond.contains(s->key) || s->name.size() < 2)
                continue;
            withBond.insert(s->key);
            QString name = s->name.left(2) + QStringLiteral("转债");
            for (int n = 2; m_names.contains(name); ++n)
                name = s->name.left(2) + QStringLiteral("转") + QString::number(n);
            const bool onSh = s->market == QLatin1String("SH");
            auto d = add(s->market, freeCode(s->market, onSh ? sh : sz), name,
                         ttservice::eInstrConvertibleBond);
            d->cbUnderlyingMarket = s->market;
            d->cbUnderlyingCode = s->code;
            d->cbConversionPrice = roundTo(s->refPrice * m_rng.uniform(0.75, 1.35), 0.01);
            const double value = 100.0 * s->refPrice / d->cbConversionPrice;
            d->refPrice = roundTo(std::max(98.0, value * m_rng.uniform(1.0, 1.3)), 0.001);
            d->priceStep = 0.001;
            d->tradeUnit = 10;
            d->totalShares = d->floatShares = roundTo(m_rng.uniform(3e6, 5e7), 1e3);
            d->listDate = m_rng.uniform() < 0.04 ? -1 : 0;
        }
        for (const auto& d : m_data.instruments)
            if (d->type == ttservice::eInstrConvertibleBond) {
                // -1 marks an unlisted new bond: it lists some trading days ahead
                d->listDate = d->listDate < 0 ? CTradeCalendar::dateOfDay(
                                  m_cal.shiftTradeDay(m_baseDay, m_rng.range(3, 20)))
                                              : pastListDate();
                if (d->totalShares <= 0)
                    d->totalShares = d->floatShares = roundTo(m_rng.uniform(3e6, 5e7), 1e3);
            }
    }

    void hkStocks()
    {
        int next = 1;
        const int suffixes = int(sizeof kHKSuffixes / sizeof *kHKSuffixes);
        const int prefixes = int(sizeof kPrefixes / sizeof *kPrefixes);
        for (int i = 0; i < 160; ++i) {
            next += m_rng.range(1, 40);
            const QString code = QStringLiteral("%1").arg(next, 5, 10, QLatin1Char('0'));
            if (taken(QStringLiteral("HK"), code))
                continue;
            QString name;
            for (int a = 0; a < 64 && (name.isEmpty() || m_names.contains(name)); ++a)
                name = QString::fromUtf8(kPrefixes[m_rng.range(0, prefixes - 1)])
                       + QString::fromUtf8(kHKSuffixes[m_rng.range(0, suffixes - 1)]);
            if (m_names.contains(name))
                continue;
            auto hk = add(QStringLiteral("HK"), code, name, ttservice::eInstrHKStock);
            hk->industry = m_data.industries[m_rng.range(0, m_data.industries.size() - 1)];
            hk->refPrice = std::max(0.1, roundTo(std::exp(std::log(8.0) + m_rng.normal()), 0.001));
            hk->priceStep = 0.001;
            hk->totalShares = hk->floatShares =
                roundTo(std::exp(std::log(3e9) + m_rng.normal()), 1e4);
            hk->tradeUnit = 100 * m_rng.range(1, 20);
            const bool hgt = m_rng.uniform() < 0.8, sgt = m_rng.uniform() < 0.7;
            for (int line = 0; line < 2; ++line) {
                if ((line == 0 && !hgt) || (line == 1 && !sgt))
                    continue;
                auto c = std::make_shared<CInstrumentDetail>(*hk);
                c->market = line == 0 ? QStringLiteral("HGT") : QStringLiteral("SGT");
                c->key = XP::nvStockKey(c->market, code);
                m_keys.insert(c->key);
                m_data.instruments.push_back(c);
            }
        }
    }

    // Expiry of a month: the n-th given weekday (0 Monday), moved to the next trading day.
    int nthWeekday(int y, int m, int weekday, int n)
    {
        int day = CTradeCalendar::daysFromYmd(y, m, 1);
        while (CTradeCalendar::weekday(day) != weekday)
            ++day;
        return m_cal.shiftTradeDay(day + 7 * (n - 1), 0);
    }

    struct Month {
        int y, m;
    };
    static Month addMonths(Month a, int n)
    {
        const int t = a.y * 12 + (a.m - 1) + n;
        return {t / 12, t % 12 + 1};
    }

    // Listed months of a product at the base day.
    std::vector<Month> contractMonths(const QString& rule)
    {
        int y, m, dd;
        CTradeCalendar::ymdFromDays(m_baseDay, y, m, dd);
        std::vector<Month> out;
        if (rule == QLatin1String("index")) {
            Month first{y, m};
            if (m_baseDay > nthWeekday(y, m, 4, 3)) // after the third Friday
                first = addMonths(first, 1);
            out.push_back(first);
            out.push_back(addMonths(first, 1));
            Month q = addMonths(first, 2);
            while (out.size() < 4) {
                if (q.m % 3 == 0)
                    out.push_back(q);
                q = addMonths(q, 1);
            }
        } else if (rule == QLatin1String("bond")) {
            Month q = addMonths({y, m}, 1);
            while (out.size() < 3) {
                if (q.m % 3 == 0)
                    out.push_back(q);
                q = addMonths(q, 1);
            }
        } else {
            Month first = addMonths({y, m}, dd > 14 ? 1 : 0);
            for (int i = 0; i < 12; ++i)
                out.push_back(addMonths(first, i));
        }
        return out;
    }

    int expiryDay(const QString& rule, Month mo)
    {
        if (rule == QLatin1String("index"))
            return nthWeekday(mo.y, mo.m, 4, 3);
        if (rule == QLatin1String("bond"))
            return nthWeekday(mo.y, mo.m, 4, 2);
        return m_cal.shiftTradeDay(CTradeCalendar::daysFromYmd(mo.y, mo.m, 15), 0);
    }

    void futures()
    {
        for (const CFuturesProduct& p : m_data.products) {
            const bool czce = p.market == QLatin1String("CZCE");
            const std::vector<Month> months = contractMonths(p.months);
            std::vector<CInstrumentDetailPtr> contracts;
            double price = p.basePrice * (1.0 + 0.01 * m_rng.normal());
            for (size_t i = 0; i < months.size(); ++i) {
                const Month mo = months[i];
                const QString ym = QStringLiteral("%1%2")
                                       .arg(mo.y % 100, 2, 10, QLatin1Char('0'))
                                       .arg(mo.m, 2, 10, QLatin1Char('0'));
                const QString code = p.product + (czce ? ym.mid(1) : ym);
                auto d = add(p.market, code, p.variety + ym, ttservice::eInstrFuture);
                d->product = p.product;
                d->variety = p.variety;
                d->deliveryYear = mo.y;
                d->deliveryMonth = mo.m;
                d->priceStep = p.tick;
                d->tradeUnit = p.multiplier;
                d->contractUnit = p.multiplier;
                d->refPrice = d->preSettlement = std::max(p.tick, roundTo(price, p.tick));
                d->expiryDate = CTradeCalendar::dateOfDay(expiryDay(p.months, mo));
                d->expiryYmd = CTradeCalendar::ymdOfDay(expiryDay(p.months, mo));
                price *= 1.0 + 0.003 + 0.004 * m_rng.normal();
                contracts.push_back(d);
            }
            size_t main = 0;
            if (p.months == QLatin1String("monthly"))
                for (size_t i = 1; i < contracts.size(); ++i)
                    if (contracts[i]->deliveryMonth % 4 == 1) {
                        main = i;
                        break;
                    }
            const auto& m = contracts[main];
            m->isMainContract = true;
            // domestic continuous contracts are named "连续", foreign ones "主连"
            auto c = add(p.market, p.product + QStringLiteral("00"),
                         p.variety + QStringLiteral("连续"), ttservice::eInstrFuture);
            *c = *m;
            c->code = p.product + QStringLiteral("00");
            c->key = XP::nvStockKey(p.market, c->code);
            c->name = p.variety + QStringLiteral("连续");
            c->isContinuous = true;
            c->isMainContract = false;
            c->mainCode = m->code;
            m_products[p.market + QLatin1Char('|') + p.product] = contracts;
        }
    }

    static double normCdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

    static double blackScholes(bool call, double s, double k, double t, double r, double vol)
    {
        if (t <= 0 || vol <= 0)
            return std::max(0.0, call ? s - k : k - s);
        const double sq = vol * std::sqrt(t);
        const double d1 = (std::log(s / k) + (r + 0.5 * vol * vol) * t) / sq, d2 = d1 - sq;
        return call ? s * normCdf(d1) - k * std::exp(-r * t) * normCdf(d2)
                    : k * std::exp(-r * t) * normCdf(-d2) - s * normCdf(-d1);
    }

    static double etfStrikeStep(double price)
    {
        return price < 3 ? 0.05 : price < 5 ? 0.1 : price < 10 ? 0.25 : 0.5;
    }

    void optionContract(const COptionSeriesRule& rule, const CInstrumentDetailPtr& und, bool call,
                        double strike, int expiry, const QString& code, const QString& name,
                        int type, double vol, double step)
    {
        const QString market = type == ttservice::eInstrFutureOption ? und->market : rule.market;
        if (taken(market, code))
            return;
        auto d = add(market, code, name, type);
        d->optUnderlyingMarket = und->market;
        d->optUnderlyingCode = und->code;
        d->isCall = call;
        d->strike = strike;
        d->expiryDate = CTradeCalendar::dateOfDay(expiry);
        d->expiryYmd = CTradeCalendar::ymdOfDay(expiry);
        d->american = rule.american;
        d->contractUnit = rule.contractUnit;
        d->histVolatility = vol;
        d->riskFreeRate = 0.02;
        const double t = std::max(1, expiry - m_baseDay) / 365.0;
        d->preSettlement = d->refPrice =
            std::max(step, roundTo(blackScholes(call, und->refPrice, strike, t, 0.02, vol), step));
        d->priceStep = step;
        d->tradeUnit = 1;
        d->product = rule.shortName;
        if (type == ttservice::eInstrFutureOption)
            d->variety = und->variety;
    }

    void options()
    {
        int shoSerial = 10008000, szoSerial = 90004000;
        // underlyings are listed before any option: one index serves every rule
        QHash<QString, CInstrumentDetailPtr> byKey;
        byKey.reserve(int(m_data.instruments.size()));
        for (const auto& d : m_data.instruments)
            byKey.insert(d->key, d);
        for (const COptionSeriesRule& rule : m_data.optionRules) {
            const double vol = roundTo(m_rng.uniform(0.15, 0.32), 0.0001);
            if (rule.market == QLatin1String("SHO") || rule.market == QLatin1String("SZO")
                || rule.market == QLatin1String("CFFEX")) {
                const CInstrumentDetailPtr und = byKey.value(rule.underlying);
                if (!und)
                    continue;
                und->histVolatility = vol;
                m_data.tBoardUnderlyings.append(und->key);
                const bool etf = rule.market != QLatin1String("CFFEX");
                // ETF options expire on the fourth Wednesday, index options on the third Friday
                const std::vector<Month> months = contractMonths(QStringLiteral("index"));
                for (const Month& mo : months) {
                    const int expiry =
                        etf ? nthWeekday(mo.y, mo.m, 2, 4) : nthWeekday(mo.y, mo.m, 4, 3);
                    if (expiry < m_baseDay)
                        continue;
                    const double step = etf ? etfStrikeStep(und->refPrice) : rule.strikeStep;
                    const double atm = roundTo(und->refPrice, step);
                    for (int k = -4; k <= 4; ++k) {
                        const double strike = roundTo(atm + k * step, etf ? 0.001 : step);
                        if (strike <= 0)
                            continue;
                        for (int cp = 0; cp < 2; ++cp) {
                            const bool call = cp == 0;
                            QString code, name;
                            if (etf) {
                                code = QString::number(rule.market == QLatin1String("SHO")
                                                           ? shoSerial++
                                                           : szoSerial++);
                                name = rule.shortName
                                       + (call ? QStringLiteral("购") : QStringLiteral("沽"))
                                       + QString::number(mo.m) + QStringLiteral("月")
                                       + QString::number(qRound(strike * 1000));
                            } else {
                                const QString ym = QStringLiteral("%1%2")
                                                       .arg(mo.y % 100, 2, 10, QLatin1Char('0'))
                                                       .arg(mo.m, 2, 10, QLatin1Char('0'));
                                code = rule.shortName + ym
                                       + (call ? QStringLiteral("-C-") : QStringLiteral("-P-"))
                                       + QString::number(qRound(strike));
                                name = und->name
                                       + (call ? QStringLiteral("购") : QStringLiteral("沽")) + ym
                                       + QLatin1Char('-') + QString::number(qRound(strike));
                            }
                            optionContract(rule, und, call, strike, expiry, code, name,
                                           ttservice::eInstrOption, vol, etf ? 0.0001 : 0.2);
                        }
                    }
                }
                continue;
            }
            // futures options on the first contracts of a product
            const auto it = m_products.find(rule.market + QLatin1Char('|') + rule.underlying);
            if (it == m_products.end())
                continue;
            const bool dce = rule.market == QLatin1String("DCE");
            int made = 0;
            for (const auto& und : it->second) {
                if (made++ >= 4)
                    break;
                und->histVolatility = vol;
                m_data.tBoardUnderlyings.append(und->key);
                // options expire five trading days before the month ahead of delivery ends
                const int monthEnd =
                    CTradeCalendar::daysFromYmd(und->deliveryYear, und->deliveryMonth, 1) - 1;
                const int expiry = m_cal.shiftTradeDay(m_cal.tradeDayOnOrBefore(monthEnd), -5);
                if (expiry < m_baseDay)
                    continue;
                const double atm = roundTo(und->refPrice, rule.strikeStep);
                for (int k = -4; k <= 4; ++k) {
                    const double strike = atm + k * rule.strikeStep;
                    if (strike <= 0)
                        continue;
                    for (int cp = 0; cp < 2; ++cp) {
                        const bool call = cp == 0;
                        const QString s = QString::number(qRound64(strike));
                        const QString code =
                            und->code
                            + (dce ? (call ? QStringLiteral("-C-") : QStringLiteral("-P-"))
                                   : (call ? QStringLiteral("C") : QStringLiteral("P")))
                            + s;
                        const QString ym =
                            QStringLiteral("%1%2")
                                .arg(und->deliveryYear % 100, 2, 10, QLatin1Char('0'))
                                .arg(und->deliveryMonth, 2, 10, QLatin1Char('0'));
                        const QString name = rule.shortName + ym
                                             + (call ? QStringLiteral("购") : QStringLiteral("沽"))
                                             + s;
                        optionContract(rule, und, call, strike, expiry, code, name,
                                       ttservice::eInstrFutureOption, vol,
                                       std::max(0.5, und->priceStep / 2));
                    }
                }
            }
        }
    }

    void foreignFutures()
    {
        int y, m, dd;
        CTradeCalendar::ymdFromDays(m_baseDay, y, m, dd);
        for (const CForeignProduct& p : m_data.foreignProducts) {
            CInstrumentDetailPtr first;
            double price = p.basePrice;
            for (int i = 1; i <= 6; ++i) {
                const Month mo = addMonths({y, m}, i);
                const QString ym = QStringLiteral("%1%2")
                                       .arg(mo.y % 100, 2, 10, QLatin1Char('0'))
                                       .arg(mo.m, 2, 10, QLatin1Char('0'));
                auto d =
                    add(p.market, p.product + ym, p.variety + ym, ttservice::eInstrForeignFuture);
                d->product = p.product;
                d->variety = p.variety;
                d->deliveryYear = mo.y;
                d->deliveryMonth = mo.m;
                d->priceStep = p.tick;
                d->tradeUnit = p.multiplier;
                d->contractUnit = p.multiplier;
                d->refPrice = d->preSettlement = std::max(p.tick, roundTo(price, p.tick));
                price *= 1.0 + 0.002 + 0.003 * m_rng.normal();
                if (!first) {
                    first = d;
                    d->isMainContract = true;
                }
            }
            auto c = add(p.market, p.product + QStringLiteral("00"),
                         p.variety + QStringLiteral("主连"), ttservice::eInstrForeignFuture);
            const QString code = c->code, key = c->key, name = c->name;
            *c = *first;
            c->code = code;
            c->key = key;
            c->name = name;
            c->isContinuous = true;
            c->isMainContract = false;
            c->mainCode = first->code;
        }
    }

    CRng m_rng;
    CUniverseData& m_data;
    CTradeCalendar m_cal;
    int m_baseDay = 0;
    QSet<QString> m_keys;
    QSet<QString> m_names;
    std::vector<CInstrumentDetailPtr> m_stocks;
    QStringList m_prefixes;
    QList<QStringList> m_suffixes; // per kIndustryNames entry
    std::map<QString, std::vector<CInstrumentDetailPtr>>
        m_products; // "market|product" -> contracts
};

} // namespace

void CUniverse::generate(uint64_t seed, int baseYmd, CUniverseData& data)
{
    CGenerator(seed, baseYmd, data).run();
}

} // namespace TC

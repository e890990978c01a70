// The sector tree: names, membership, relations, user lists and their signals.
#include "host/data/ExchangeClient.h"
#include "host/data/IndexManager.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace TC;

namespace {
QStringList codesOf(const QList<ttservice::CInstrumentDetailPtr>& list)
{
    QStringList out;
    for (const auto& d : list)
        out.append(d->key);
    return out;
}
} // namespace

class TestSectorManager : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_userDir;
    CSectorManager* m = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        ttmarket::installEmbeddedBackend();
        QVERIFY(m_userDir.isValid());
        qputenv("TT_USER_DIR", m_userDir.path().toLocal8Bit());
        QVERIFY2(CStockManager::instance()->ensureLoaded(),
                 qPrintable(CStockManager::instance()->loadError()));
        m = CSectorManager::instance();
    }

    void cleanup() { m->cleanStockFromSector(QStringLiteral("自选股"), false); }

    void everyNamedSectorExists_data()
    {
        QTest::addColumn<QString>("name");
        const QString names = QStringLiteral(
            "沪深A股 沪深指数 沪深基金 沪深债券 沪深ETF 沪市指数 沪市基金 沪市债券 沪市ETF "
            "深市指数 深市基金 深市债券 深市ETF 可转债 未上市新债 A+H 沪深港通 板块指数板块 "
            "申万一级行业板块 申万一级行业板块指数 概念指数 地域指数 内盘期货板块 中金所 郑商所 "
            "大商所 上期所 能源中心 外盘期货板块 香港期货(HKFE) 新加坡(SGX) 纽约商品(NYMEX) "
            "纽约商业(COMEX) 芝加哥商品(CBOT) 芝加哥商业(CME) 期权板块 上证期权 T型报价板 "
            "自定义指数 我的 自选股 股票持仓 期货持仓 融资融券持仓 股票期权持仓 深港通持仓 "
            "沪港通持仓 外部数据 银行 沪深300");
        for (const QString& n : names.split(QLatin1Char(' ')))
            QTest::newRow(qPrintable(n)) << n;
    }

    void everyNamedSectorExists()
    {
        QFETCH(QString, name);
        CSectorDetail* s = m->getSector(name);
        QVERIFY(s);
        QCOMPARE(s->getName(), name);
    }

    void memberLists()
    {
        const auto all = m->getSectorStockList(QStringLiteral("沪深A股"));
        QVERIFY(all.size() >= 5000);
        const int sh = m->getSectorStockList(QStringLiteral("上证A股")).size();
        const int sz = m->getSectorStockList(QStringLiteral("深证A股")).size();
        QCOMPARE(sh + sz, all.size());
        // a group lists its leaves in order
        int leaves = 0;
        for (CSectorDetail* c : m->getSector(QStringLiteral("内盘期货板块"))->getChildren())
            leaves += m->getSectorStockList(c->getName()).size();
        QCOMPARE(m->getSectorStockList(QStringLiteral("内盘期货板块")).size(), leaves);
        const auto cffex = m->getSectorStockList(QStringLiteral("中金所"));
        QVERIFY(!cffex.isEmpty());
        QCOMPARE(cffex.first()->code, QStringLiteral("IF00")); // continuous first, then the months
        // an exchange's options follow its futures
        const auto shfe = m->getSectorStockList(QStringLiteral("上期所"));
        int firstOption = -1;
        for (int i = 0; i < shfe.size(); ++i) {
            const bool option = shfe[i]->type == ttservice::eInstrFutureOption;
            QCOMPARE(option, isTryFutureOptionInstrument(shfe[i]->code));
            if (option && firstOption < 0)
                firstOption = i;
            QVERIFY(option || firstOption < 0);
        }
        QVERIFY(firstOption > 0);
        QCOMPARE(m->getSectorStockList(QStringLiteral("沪深300")).size(), 300);
        QVERIFY(m->getSectorStockList(QStringLiteral("没有这个板块")).isEmpty());
        QVERIFY(m->getSectorStockList(QString()).isEmpty());
        QVERIFY(!m->getSectorStockList(QStringLiteral("T型报价板")).isEmpty());
    }

    void newBondsAreApart()
    {
        const QStringList listed = codesOf(m->getSectorStockList(QStringLiteral("可转债")));
        const QStringList fresh = codesOf(m->getSectorStockList(QStringLiteral("未上市新债")));
        QVERIFY(!listed.isEmpty() && !fresh.isEmpty());
        for (const QString& k : fresh)
            QVERIFY(!listed.contains(k));
    }

    void sectorTests_data()
    {
        QTest::addColumn<QString>("test");
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("expected");
        const auto row = [](const char* tag, const char* test, const char* a, const char* b,
                            bool expected) {
            QTest::newRow(tag) << QString(test) << QString(a) << QString(b) << expected;
        };
        row("position kind", "position", "股票持仓", "", true);
        row("position root", "position", "持仓", "", true);
        row("board is no position", "position", "沪深A股", "", false);
        row("unknown is no position", "position", "股票持仓X", "", false);
        row("exchange under futures", "parent", "中金所", "内盘期货板块", true);
        row("a sector is not its own parent", "parent", "内盘期货板块", "内盘期货板块", false);
        row("industry under SW1", "parent", "银行", "申万一级行业板块", true);
        row("wrong parent", "parent", "中金所", "外盘期货板块", false);
        row("child and parent", "direct", "沪市指数", "沪深指数", true);
        row("parent and child", "direct", "沪深指数", "沪市指数", true);
        row("same sector", "direct", "沪深ETF", "沪深ETF", true);
        row("siblings", "direct", "沪市指数", "深市指数", false);
        row("unknown", "direct", "不存在", "沪深指数", false);
        row("T board", "tboard", "T型报价板", "", true);
        row("not T board", "tboard", "上证期权", "", false);
        row("convertibles", "cb", "可转债", "", true);
        row("new bonds", "cb", "未上市新债", "", true);
        row("bonds are no convertibles", "cb", "沪深债券", "", false);
        row("futures exchange", "future", "上期所", "", true);
        row("foreign board", "foreign", "纽约商业(COMEX)", "", true);
        row("option board", "option", "上证期权", "", true);
        row("industry", "industry", "银行", "", true);
        row("HK industry", "industry", "银行(港股)", "", true);
        row("self select is a user list", "user", "自选股", "", true);
        row("custom index list", "customIndex", "自定义指数", "", true);
        row("A+H", "ah", "A+H", "", true);
        row("connect child", "connect", "港股通(沪)", "", true);
        row("external root", "external", "外部数据", "", true);
        row("external data set", "external", "宏观指标", "", true);
    }

    void sectorTests()
    {
        QFETCH(QString, test);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, expected);
        bool got = !expected;
        if (test == QLatin1String("position"))
            got = m->isPositionSector(a);
        else if (test == QLatin1String("parent"))
            got = m->isParentSector(a, b);
        else if (test == QLatin1String("direct"))
            got = m->checkDirectRelationship(a, b);
        else if (test == QLatin1String("tboard"))
            got = m->isParentTsector(a);
        else if (test == QLatin1String("cb"))
            got = m->isConvertibleBondSector(a);
        else if (test == QLatin1String("future"))
            got = m->isFutureSector(a);
        else if (test == QLatin1String("foreign"))
            got = m->isForeignFutureSector(a);
        else if (test == QLatin1String("option"))
            got = m->isOptionSector(a);
        else if (test == QLatin1String("industry"))
            got = m->isIndustrySector(a);
        else if (test == QLatin1String("user"))
            got = m->isUserSector(a);
        else if (test == QLatin1String("customIndex"))
            got = m->isCustomIndexSector(a);
        else if (test == QLatin1String("ah"))
            got = m->isAHSector(a);
        else if (test == QLatin1String("connect"))
            got = m->isConnectSector(a);
        else if (test == QLatin1String("external"))
            got = m->isExternalSector(a);
        QCOMPARE(got, expected);
    }

    void sectorTypesForMenus()
    {
        QCOMPARE(m->getSector(QStringLiteral("我的"))->getType(), 1);
        QCOMPARE(m->getSector(QStringLiteral("自选股"))->getType(), 2);
        QCOMPARE(m->getSector(QStringLiteral("自定义指数"))->getType(), 3);
        QVERIFY(m->getSector(QStringLiteral("自选股"))->isEditable());
        QVERIFY(!m->getSector(QStringLiteral("自选股"))->isSystem());
        QVERIFY(m->getSector(QStringLiteral("沪深A股"))->isSystem());
        QVERIFY(!m->getSector(QStringLiteral("沪深A股"))->isEditable());
        QCOMPARE(m->getUserSector()->getName(), QStringLiteral("自选股"));
        QCOMPARE(m->getSector(QStringLiteral("沪深300"))->getCode(), QStringLiteral("000300.SH"));
    }

    void industryLookup_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("classKey");
        QTest::addColumn<QString>("sector");
        const auto row = [](const char* tag, const char* code, const char* cls, const char* s) {
            QTest::newRow(tag) << QString(code) << QString(cls) << QString(s);
        };
        row("key", "600519.SH", "SW1", "食品饮料");
        row("bare code", "000858", "SW1", "食品饮料");
        row("connect line, prefixed", "HGT00700", "HKSW2", "传媒(港股)");
        row("connect line key", "00700.SGT", "HKSW2", "传媒(港股)");
        row("HK stock under SW1 keys", "HGT00700", "SW1", "");
        row("future has none", "IF00.CFFEX", "SW1", "");
        row("unknown", "123456.SH", "SW1", "");
        row("unknown class", "600519.SH", "XYZ", "");
    }

    void industryLookup()
    {
        QFETCH(QString, code);
        QFETCH(QString, classKey);
        QFETCH(QString, sector);
        CSectorDetail* s = m->getSectorByIndustry(code, classKey);
        if (sector.isEmpty()) {
            QVERIFY(!s);
        } else {
            QVERIFY(s);
            QCOMPARE(s->getName(), sector);
        }
    }

    void industryUnderNamedRoot()
    {
        CSectorDetail* s = m->getSectorByIndustry(QStringLiteral("HGT00700"),
                                                  QStringLiteral("HKSW2"), getSectorTypeName(16));
        QVERIFY(s);
        QCOMPARE(s->getParent()->getName(), getSectorTypeName(16));
        QCOMPARE(m->getIndustryName(QStringLiteral("600036.SH")), QStringLiteral("银行"));
        QVERIFY(m->getIndustryName(QStringLiteral("nothing")).isEmpty());
    }

    void stockSectorNames()
    {
        const QStringList names = m->getStockSectorNames(QStringLiteral("600519"));
        QVERIFY(names.size() >= 3);
        QCOMPARE(names.first(), QStringLiteral("沪深A股"));
        QVERIFY(names.contains(QStringLiteral("上证A股")));
        QVERIFY(names.contains(QStringLiteral("食品饮料")));
        QVERIFY(names.contains(QStringLiteral("沪深300")));
        QVERIFY(!names.contains(QStringLiteral("自选股")));
        QVERIFY(m->getStockSectorNames(QStringLiteral("nothing")).isEmpty());
    }

    void addAndRemoveSignal()
    {
        QSignalSpy changed(m, &CSectorManager::sigSectorChanged);
        const QString self = QStringLiteral("自选股");
        QCOMPARE(m->addStockListToSector(self,
                                         {QStringLiteral("600519"), QStringLiteral("000858.SZ"),
                                          QStringLiteral("600519.SH"), QStringLiteral("nonsense")}),
                 2);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), 3);
        QCOMPARE(changed.at(0).at(1).toString(), self);
        QCOMPARE(codesOf(m->getSectorStockList(self)),
                 (QStringList{QStringLiteral("600519.SH"), QStringLiteral("000858.SZ")}));
        QVERIFY(!m->addStockToSector(self, QStringLiteral("600519")));
        QCOMPARE(changed.count(), 1); // nothing new, no signal
        QVERIFY(m->addStockToSector(self, QStringLiteral("IF00.CFFEX")));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(m->removeStockListFromSector(self,
                                              {QStringLiteral("600519"), QStringLiteral("600036")}),
                 1);
        QCOMPARE(changed.count(), 3);
        QCOMPARE(codesOf(m->getSectorStockList(self)),
                 (QStringList{QStringLiteral("000858.SZ"), QStringLiteral("IF00.CFFEX")}));
        QVERIFY(m->cleanStockFromSector(self, false));
        QCOMPARE(changed.count(), 3);
        QVERIFY(m->getSectorStockList(self).isEmpty());
        m->addStockToSector(self, QStringLiteral("600519"));
        QVERIFY(m->cleanStockFromSector(self, true));
        QCOMPARE(changed.count(), 5);
    }

    void systemSectorsRefuseEdits()
    {
        QSignalSpy changed(m, &CSectorManager::sigSectorChanged);
        const int before = m->getSectorStockList(QStringLiteral("沪深A股")).size();
        QCOMPARE(m->addStockListToSector(QStringLiteral("沪深A股"), {QStringLiteral("IF00.CFFEX")}),
                 0);
        QCOMPARE(
            m->removeStockListFromSector(QStringLiteral("沪深A股"), {QStringLiteral("600519")}), 0);
        QVERIFY(!m->cleanStockFromSector(QStringLiteral("沪深A股"), true));
        QCOMPARE(m->addStockListToSector(QStringLiteral("不存在"), {QStringLiteral("600519")}), 0);
        QCOMPARE(m->getSectorStockList(QStringLiteral("沪深A股")).size(), before);
        QCOMPARE(changed.count(), 0);
    }

    void positionAccountTypes_data()
    {
        QTest::addColumn<QString>("sector");
        QTest::addColumn<int>("type");
        QTest::newRow("stocks") << "股票持仓" << 2;
        QTest::newRow("stocks, product group") << "股票持仓-稳健一号" << 2;
        QTest::newRow("futures") << "期货持仓" << 1;
        QTest::newRow("futures, product group") << "期货持仓-稳健一号" << 1;
        QTest::newRow("credit") << "融资融券持仓" << 3;
        QTest::newRow("stock options") << "股票期权持仓" << 6;
        QTest::newRow("stock options, product group") << "股票期权持仓-成长二号" << 6;
        QTest::newRow("SZ connect") << "深港通持仓" << 11;
        QTest::newRow("SH connect") << "沪港通持仓" << 7;
        QTest::newRow("root") << "持仓" << 2;
        QTest::newRow("not a position") << "沪深A股" << 2;
        QTest::newRow("unknown") << "不存在" << 2;
    }

    void positionAccountTypes()
    {
        QFETCH(QString, sector);
        QFETCH(int, type);
        QCOMPARE(m->getPositionAccountType(sector), type);
    }

    void positionSubSectors()
    {
        // product groups appear under the kinds whose accounts they hold
        QStringList stocks;
        for (CSectorDetail* c : m->getSector(QStringLiteral("股票持仓"))->getChildren())
            stocks << c->getName();
        QCOMPARE(stocks, (QStringList{"股票持仓-成长二号", "股票持仓-稳健一号"}));
        QVERIFY(m->isPositionSector(QStringLiteral("股票持仓-成长二号")));
        QVERIFY(!m->getSector(QStringLiteral("期货持仓-成长二号")));
        const auto credit = m->getSector(QStringLiteral("融资融券持仓"))->getChildren();
        QCOMPARE(credit.size(), 1);
        QCOMPARE(credit.first()->getName(), QStringLiteral("融资融券持仓-稳健一号"));
        // no account of the kind: no product group under it
        QVERIFY(!m->getSector(QStringLiteral("沪港通持仓"))->hasChildren());
        QCOMPARE(m->getSector(QStringLiteral("股票持仓-成长二号"))->sectorType(),
                 int(eSectorPosition));
        QCOMPARE(m->getPositionProductGroup(QStringLiteral("股票持仓-成长二号")),
                 QStringLiteral("成长二号"));
        QVERIFY(m->getPositionProductGroup(QStringLiteral("股票持仓")).isEmpty());
        QVERIFY(m->getPositionProductGroup(QStringLiteral("银行")).isEmpty());
    }

    void largeSectors()
    {
        // a market of 20,000 stocks: its board and a user sector of all of them, filled
        // and thinned in one pass each
        std::vector<ttservice::CInstrumentDetailPtr> list;
        QStringList keys;
        for (int i = 0; i < 20000; ++i) {
            auto d = std::make_shared<ttservice::CInstrumentDetail>();
            d->market = QStringLiteral("SH");
            d->code = QStringLiteral("9%1").arg(i, 5, 10, QLatin1Char('0'));
            d->key = d->code + QStringLiteral(".SH");
            d->name = QStringLiteral("测试%1").arg(i);
            list.push_back(d);
            keys.append(d->key);
        }
        CStockManager::instance()->resetUniverseForTest(list);
        QCOMPARE(m->getSectorStockList(QStringLiteral("沪深A股")).size(), 20000);
        const QString self = QStringLiteral("自选股");
        m->cleanStockFromSector(self, false);
        QSignalSpy changed(m, &CSectorManager::sigSectorChanged);
        QCOMPARE(m->addStockListToSector(self, keys + keys.mid(0, 5000)), 20000);
        QCOMPARE(m->getSectorStockList(self).size(), 20000);
        QCOMPARE(m->removeStockListFromSector(self, keys.mid(0, 5000)), 5000);
        QCOMPARE(codesOf(m->getSectorStockList(self)), keys.mid(5000));
        QCOMPARE(changed.count(), 2);
        m->cleanStockFromSector(self, false);
        CStockManager::instance()->restoreDefault();
    }

    void selfSelectSignal()
    {
        QSignalSpy spy(m, &CSectorManager::sigUpdateSelfSelect);
        m->updateSelfSelect(1, {QStringLiteral("600519")});
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 1);
        QCOMPARE(spy.at(0).at(1).toStringList(), QStringList{QStringLiteral("600519")});
    }

    void userSectorLifecycle()
    {
        QSignalSpy changed(m, &CSectorManager::sigSectorChanged);
        CSectorDetail* s = m->addUserSector(QStringLiteral("科技股"));
        QVERIFY(s);
        QCOMPARE(s->getParent()->getName(), QStringLiteral("我的"));
        QCOMPARE(s->getType(), 2);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), 0);
        QVERIFY(!m->addUserSector(QStringLiteral("科技股")));  // duplicate
        QVERIFY(!m->addUserSector(QStringLiteral("沪深A股"))); // a system name
        QVERIFY(!m->addUserSector(QStringLiteral("x"), 2,
                                  QStringLiteral("沪深A股"))); // not a user folder
        QVERIFY(m->getUserSectors().contains(s));
        QVERIFY(m->renameUserSector(QStringLiteral("科技股"), QStringLiteral("硬科技")));
        // kinds as the browse view reads them: 2 renamed, with the new name last
        QCOMPARE(changed.last().at(0).toInt(), 2);
        QCOMPARE(changed.last().at(1).toString(), QStringLiteral("科技股"));
        QCOMPARE(changed.last().at(2).toString(), QStringLiteral("硬科技"));
        QCOMPARE(m->getSector(QStringLiteral("硬科技")), s);
        QVERIFY(!m->getSector(QStringLiteral("科技股")));
        QVERIFY(!m->renameUserSector(QStringLiteral("沪深A股"), QStringLiteral("y")));
        QVERIFY(!m->removeUserSector(QStringLiteral("自选股")));
        QVERIFY(m->removeUserSector(QStringLiteral("硬科技")));
        QCOMPARE(changed.last().at(0).toInt(), 1);
        QVERIFY(!m->getSector(QStringLiteral("硬科技")));
        QCOMPARE(s->getName(), QStringLiteral("硬科技")); // the node outlives its removal
    }

    void persistence()
    {
        m->addUserSector(QStringLiteral("长线"));
        m->addStockListToSector(QStringLiteral("长线"),
                                {QStringLiteral("600519"), QStringLiteral("000333")});
        m->addStockToSector(QStringLiteral("自选股"), QStringLiteral("300750"));
        QVERIFY(m->saveUserSectors());
        m->removeUserSector(QStringLiteral("长线"));
        m->cleanStockFromSector(QStringLiteral("自选股"), false);
        QVERIFY(m->loadUserSectors());
        QCOMPARE(codesOf(m->getSectorStockList(QStringLiteral("长线"))),
                 (QStringList{QStringLiteral("600519.SH"), QStringLiteral("000333.SZ")}));
        QCOMPARE(codesOf(m->getSectorStockList(QStringLiteral("自选股"))),
                 QStringList{QStringLiteral("300750.SZ")});

        // a broken file is rejected and the lists stay
        QFile f(m_userDir.path() + QStringLiteral("/sectors.json"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[{\"name\": \"\", \"type\": 2}]");
        f.close();
        QVERIFY(!m->loadUserSectors());
        QVERIFY(m->getSector(QStringLiteral("长线")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("{not json");
        f.close();
        QVERIFY(!m->loadUserSectors());
        QCOMPARE(m->getSectorStockList(QStringLiteral("长线")).size(), 2);
        m->removeUserSector(QStringLiteral("长线"));
    }

    void customIndicesJoinTheirList()
    {
        CIndexManager* im = CIndexManager::instance();
        CCustomIndexDetail idx;
        idx.code = QStringLiteral("ZDY001");
        idx.name = QStringLiteral("新板块指数1");
        idx.priceStep = 0.001;
        idx.totalShares = 1e9;
        idx.stocks = {{QStringLiteral("SH"), QStringLiteral("600519"), 60.0},
                      {QStringLiteral("SZ"), QStringLiteral("000858"), 40.0}};
        QVERIFY(im->addIndex(idx));
        const auto list = m->getSectorStockList(QStringLiteral("自定义指数"));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first()->code, QStringLiteral("ZDY001"));
        QCOMPARE(list.first()->type, int(ttservice::eInstrCustomIndex));
        QCOMPARE(list.first()->priceStep, 0.001);
        QVERIFY(im->removeIndex(QStringLiteral("ZDY001")));
        QVERIFY(m->getSectorStockList(QStringLiteral("自定义指数")).isEmpty());
    }

    void universeResetRebuildsTree()
    {
        CSectorDetail* old = m->getSector(QStringLiteral("银行"));
        QVERIFY(old);
        m->addStockToSector(QStringLiteral("自选股"), QStringLiteral("600519"));
        QSignalSpy reinit(m, &CSectorManager::sigReInitIndustry);
        QSignalSpy inited(m, &CSectorManager::sigSectorInited);
        auto d = std::make_shared<ttservice::CInstrumentDetail>();
        d->market = QStringLiteral("SH");
        d->code = QStringLiteral("600519");
        d->name = QStringLiteral("贵州茅台");
        d->industry = QStringLiteral("食品饮料");
        CStockManager::instance()->resetUniverseForTest({d});
        QCOMPARE(reinit.count(), 1);
        QCOMPARE(old->getName(), QStringLiteral("银行")); // old nodes stay readable
        QCOMPARE(m->getSectorStockList(QStringLiteral("沪深A股")).size(), 1);
        QCOMPARE(inited.count(), 1);
        QCOMPARE(m->getSectorStockList(QStringLiteral("食品饮料")).size(), 1);
        QVERIFY(!m->getSector(QStringLiteral("银行")));
        // user lists survive the rebuild
        QCOMPARE(m->getSectorStockList(QStringLiteral("自选股")).size(), 1);
        CStockManager::instance()->restoreDefault();
        QCOMPARE(reinit.count(), 2);
        QVERIFY(m->getSectorStockList(QStringLiteral("沪深A股")).size() >= 5000);
    }
};

QTEST_GUILESS_MAIN(TestSectorManager)
#include "tst_sectormanager.moc"

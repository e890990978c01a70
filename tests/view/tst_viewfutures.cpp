// The futures exchanges' rows of the browse view (variety buttons, filter boxes),
// continuous-contract detection, and a sector index's constituents in the lower pane.
#include "ViewTestFixture.h"

#include "host/data/Config.h"
#include "host/data/ExchangeClient.h"
#include "host/data/IndexUserConfig.h"
#include "host/data/PushQuoteParam.h"
#include "host/data/Quote.h"
#include "host/data/TradeOpenCloseTimeManager.h"
#include "host/toolkit/CheckBox.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/PushButtonGroup.h"
#include "host/toolkit/SimpleTextWidget.h"
#include "host/toolkit/WidgetList.h"

using namespace TC;
using namespace viewtest;
using Detail = ttservice::CInstrumentDetailPtr;
using Filter = std::function<bool(const Detail&)>;
using Varieties = QMap<QString, QString>; // variety -> key of its first contract

Q_DECLARE_METATYPE(Filter)
Q_DECLARE_METATYPE(Detail)

namespace {

const QString kDce = QStringLiteral("大商所");
const QString kComex = QStringLiteral("纽约商业(COMEX)");

Detail contract(const QString& code, const QString& name, const QString& variety,
                const QString& product = QStringLiteral("m"))
{
    auto d = std::make_shared<ttservice::CInstrumentDetail>();
    d->market = QStringLiteral("TEST");
    d->code = code;
    d->key = code + QStringLiteral(".TEST");
    d->name = name;
    d->variety = variety;
    d->product = product;
    d->type = ttservice::eInstrFuture;
    return d;
}

QList<Detail> shownDetails(CIndexBrowseView& view)
{
    QList<Detail> out;
    for (const QString& key : view.getBrowseWidget()->getStockList())
        out.append(CStockManager::instance()->getInstrumentDetail(key));
    return out;
}

QSet<int> shownBoxes(const CIndexBrowseView& view)
{
    QSet<int> out;
    for (int id = CIndexBrowseView::FilterOptionArbitrage; id <= CIndexBrowseView::FilterMainOnly;
         ++id)
        if (view.filterBox(id) && !view.filterBox(id)->isHidden())
            out.insert(id);
    return out;
}

XP::CPushButtonGroup* varietyGroup(const CIndexBrowseView& view)
{
    return view.topToolList()->findChild<XP::CPushButtonGroup*>();
}

} // namespace

class TstViewFutures : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        // the data files' universe: every exchange and foreign board with its contracts
        QVERIFY(setUp(m_dir, true));
    }
    void cleanupTestCase() { TestMarket::restore(); }

    // --- variety names ---------------------------------------------------------------------

    void varietyNames_data()
    {
        QTest::addColumn<QString>("sector"); // chooses the domestic or the foreign rules
        QTest::addColumn<QList<Detail>>("list");
        QTest::addColumn<Varieties>("expected"); // variety -> first key
        QTest::newRow("first of two in list order")
            << kDce
            << QList<Detail>{contract("m2509", "豆粕2509", "豆粕"),
                             contract("m2501", "豆粕2501", "豆粕")}
            << Varieties{{"豆粕", "m2509.TEST"}};
        QTest::newRow("domestic continuous and latin skipped, text cut after CJK")
            << kDce
            << QList<Detail>{contract("m00", "豆粕连续", "豆粕"),
                             contract("TA2501", "PTA2501", "PTA", "TA"),
                             contract("IF2501", "沪深3002501", "沪深300", "IF")}
            << Varieties{{"沪深", "IF2501.TEST"}};
        QTest::newRow("foreign main, index and trailing digits")
            << kComex
            << QList<Detail>{contract("GC00", "COMEX黄金主连", "COMEX黄金", "GC"),
                             contract("HSI2502", "恒生指数期货2502", "恒指", "HSI"),
                             contract("GC2502", "COMEX黄金2502", "COMEX黄金", "GC"),
                             contract("GC2503", "COMEX黄金2503", "COMEX黄金", "GC")}
            << Varieties{{"COMEX黄金", "GC2502.TEST"}};
    }
    void varietyNames()
    {
        QFETCH(QString, sector);
        QFETCH(QList<Detail>, list);
        QFETCH(Varieties, expected);
        auto view = makeView(sector);
        view->findVarietyFillMap(list, QStringLiteral("测试所"));
        QCOMPARE(view->varieties().value(QStringLiteral("测试所")), expected);
    }

    void cffexVarieties()
    {
        auto view = makeView(QStringLiteral("中金所"));
        const QStringList order = view->varietyOrder();
        // one entry per variety, named after what it trades: index futures first, then bonds
        const QStringList index{"沪深300股指期货", "上证50股指期货", "中证500股指期货",
                                "中证1000股指期货"};
        const QStringList bonds{"十年期国债期货", "五年期国债期货", "二年期国债期货"};
        QCOMPARE(order.mid(0, 4).toSet(), index.toSet());
        QCOMPARE(order.mid(4).toSet(), bonds.toSet());
    }

    void varietyBarAndJump()
    {
        auto view = makeView(kDce);
        XP::CPushButtonGroup* group = varietyGroup(*view);
        QVERIFY(group);
        const QStringList order = view->varietyOrder();
        QCOMPARE(order.size(), view->varieties().value(kDce).size());
        QCOMPARE(group->buttonIds().size(), order.size());
        std::vector<double> amounts;
        for (int i = 0; i < order.size(); ++i) {
            QCOMPARE(group->button(CIndexBrowseView::kFirstVarietyId + i)->text(), order.at(i));
            const auto first =
                CStockManager::instance()->getInstrumentDetail(view->varieties()[kDce][order[i]]);
            const auto q = dorn::getQuoter(first->market, first->product + QStringLiteral("00"));
            amounts.push_back(q ? q->amount : 0.0);
        }
        // most traded first, by the continuous contract's amount
        QVERIFY(std::is_sorted(amounts.rbegin(), amounts.rend()));
        QVERIFY(amounts.front() > amounts.back());
        // a variety's button jumps to its first contract
        const int i = order.indexOf(QStringLiteral("豆粕"));
        view->handleEvent(5, CIndexBrowseView::kFirstVarietyId + i, 0, order.at(i), nullptr);
        const auto chosen =
            CStockManager::instance()->getInstrumentDetail(view->getBrowseWidget()->currentCode());
        QVERIFY(chosen);
        QCOMPARE(chosen->product, QStringLiteral("m"));
    }

    void varietiesOfTheWholeExchange()
    {
        // a filter on the first visit hides contracts, not varieties
        auto view = makeView(QStringLiteral("沪深A股"));
        view->filterBox(CIndexBrowseView::FilterNightOnly)->setChecked(true);
        view->setSector(kDce);
        QVERIFY(view->varieties().value(kDce).contains(QStringLiteral("鸡蛋")));
        for (const Detail& d : shownDetails(*view))
            QVERIFY(d->product != QLatin1String("jd"));
    }

    void varietyCounts_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("none: no bar") << 0;
        QTest::newRow("150") << 150;
    }
    void varietyCounts()
    {
        QFETCH(int, count);
        auto view = makeView(kDce);
        QList<Detail> list;
        for (int i = 0; i < count; ++i) {
            const QString name = QString(QChar(0x4E00 + i)) + QStringLiteral("品");
            list.append(contract(QStringLiteral("v%1").arg(i), name + QStringLiteral("2501"), name,
                                 QStringLiteral("v%1").arg(i)));
        }
        const QString exchange = QStringLiteral("测试所");
        view->getBrowseWidget()->setSectorName(exchange);
        view->updateVarietyToolWidget(list, exchange);
        XP::CPushButtonGroup* group = varietyGroup(*view);
        QCOMPARE(group->buttonIds().size(), count);
        QCOMPARE(view->topToolList()->isHidden(), count == 0);
        if (count == 0)
            return;
        QCOMPARE(group->buttonIds().last(), CIndexBrowseView::kFirstVarietyId + count - 1);
        // ids up to 219 jump; later buttons carry ids the view does not answer
        const QStringList order = view->varietyOrder();
        const QString jumped = view->varieties()[exchange][order.at(98)];
        view->handleEvent(5, 121 + 98, 0, order.at(98), nullptr);
        QCOMPARE(view->getBrowseWidget()->currentCode(), jumped);
        view->handleEvent(5, 121 + 99, 0, order.at(99), nullptr);
        QCOMPARE(view->getBrowseWidget()->currentCode(), jumped);
    }

    // --- the filter boxes an exchange shows and what each keeps -----------------------------

    void filters_data()
    {
        QTest::addColumn<QString>("sector");
        QTest::addColumn<int>("box"); // checked; 0 none
        QTest::addColumn<Filter>("holds");
        QTest::addColumn<bool>("varietiesShown");
        auto option = [](const Detail& d) { return isTryFutureOptionInstrument(d->code); };
        QTest::newRow("options hidden by default")
            << kDce << 0 << Filter([=](const Detail& d) { return !option(d); }) << true;
        // checked, the box filters nothing: the options stay
        QTest::newRow("options shown") << kDce << 6 << Filter() << true;
        QTest::newRow("night only") << kDce << 7 << Filter([](const Detail& d) {
            return CTradeOpenCloseTimeManager::instance()->hasNightQuoter(d->market, d->code);
        }) << true;
        QTest::newRow("continuous only")
            << kDce << 8 << Filter([](const Detail& d) { return d->isContinuous; }) << false;
        QTest::newRow("main only") << kComex << 9 << Filter([](const Detail& d) {
            return d->name.contains(QStringLiteral("主连"));
        }) << false;
        QTest::newRow("stocks: no boxes") << QStringLiteral("沪深A股") << 0 << Filter() << false;
    }
    void filters()
    {
        QFETCH(QString, sector);
        QFETCH(int, box);
        QFETCH(Filter, holds);
        QFETCH(bool, varietiesShown);
        auto view = makeView(sector);
        const QSet<int> boxes = sector == kDce     ? QSet<int>{6, 7, 8}
                                : sector == kComex ? QSet<int>{9}
                                                   : QSet<int>{};
        QCOMPARE(shownBoxes(*view), boxes);
        const int all = CSectorManager::instance()->getSectorStockList(sector).size();
        if (box)
            view->filterBox(box)->setChecked(true);
        view->setSector(sector);
        const QList<Detail> shown = shownDetails(*view);
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.size() < all, bool(holds));
        for (const Detail& d : shown)
            QVERIFY2(!holds || holds(d), qPrintable(d->key));
        QCOMPARE(!view->topToolList()->isHidden(), varietiesShown);
        // the boxes stay reachable while the variety buttons are gone
        QCOMPARE(!view->varietyList()->isHidden(), !boxes.isEmpty());
    }

    // --- continuous contracts --------------------------------------------------------------

    void continuousContract_data()
    {
        QTest::addColumn<bool>("mode");
        QTest::addColumn<QString>("code"); // of product "m"
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("expected");
        const struct {
            const char *tag, *code, *name;
            bool mode, expected;
        } rows[] = {
            {"named 连续", "m888", "豆粕连续", false, true},
            {"product 00", "m00", "豆粕", false, true},
            {"dated", "m2501", "豆粕2501", false, false},
            {"mode: the product", "m", "豆粕", true, true},
            {"mode: no digits after", "mMAIN", "豆粕", true, true},
            {"mode: 00 has digits", "m00", "豆粕连续", true, false},
            {"mode: dated", "m2501", "豆粕", true, false},
            {"mode: index", "mIDX-A", "豆粕", true, false},
            {"mode: index lower", "midx-a", "豆粕", true, false},
        };
        for (const auto& r : rows)
            QTest::newRow(r.tag) << r.mode << QString::fromUtf8(r.code) << QString::fromUtf8(r.name)
                                 << r.expected;
    }
    void continuousContract()
    {
        QFETCH(bool, mode);
        QFETCH(QString, code);
        QFETCH(QString, name);
        const bool was = getUserConfig()->isHaldenQuoteMode();
        getUserConfig()->setHaldenQuoteMode(mode);
        const bool result =
            makeView()->isContinuousContract(contract(code, name, QString(), QStringLiteral("m")));
        getUserConfig()->setHaldenQuoteMode(was);
        QTEST(result, "expected");
    }

    // The option-arbitrage box shows the stored choice; the user's toggle is stored.
    void arbitrageBoxInUserConfig()
    {
        CIndexUserConfig* config = SingletonManager::getIndexUserConfig();
        auto view = makeView(QStringLiteral("上期所"));
        XP::CCheckBox* box = view->filterBox(CIndexBrowseView::FilterOptionArbitrage);
        QVERIFY(box);
        for (bool on : {true, false}) {
            config->setShowFutureOptionArbitrage(on);
            view->load();
            QCOMPARE(box->isChecked(), on);
            QSignalSpy saved(config, &CIndexUserConfig::sigSaved);
            box->setChecked(!on);
            QCOMPARE(config->isShowFutureOptionArbitrage(), !on);
            QCOMPARE(saved.count(), 1);
            config->setShowFutureOptionArbitrage(on);
            QVERIFY(config->load());
            QCOMPARE(config->isShowFutureOptionArbitrage(), !on);
        }
    }

    // --- sector indices (last: it installs a universe of its own) -----------------------

    void sectorIndexConstituents_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("title");
        QTest::newRow("JY") << "BKZS801001" << QStringLiteral("钢铁JY");
        QTest::newRow("加权") << "BKZS801002" << QStringLiteral("钢铁加权");
        QTest::newRow("DY1 交易") << "BKZS801003" << QStringLiteral("钢铁");
        QTest::newRow("jy") << "BKZS801004" << QStringLiteral("钢铁");
    }
    void sectorIndexConstituents()
    {
        QFETCH(QString, code);
        QFETCH(QString, title);
        TestMarket::install({TestMarket::stock("SI", "801001", "钢铁JY", 1000),
                             TestMarket::stock("SI", "801002", "钢铁加权", 1000),
                             TestMarket::stock("SI", "801003", "钢铁DY1交易", 1000),
                             TestMarket::stock("SI", "801004", "钢铁jy", 1000),
                             TestMarket::stock("SH", "600001", "甲", 10),
                             TestMarket::stock("SH", "600002", "乙", 10),
                             TestMarket::stock("SH", "600003", "丙", 10)});
        CSectorManager* sectors = CSectorManager::instance();
        auto userSector = [sectors](const QString& name, const QStringList& keys) {
            sectors->removeUserSector(name);
            sectors->addUserSector(name);
            sectors->addStockListToSector(name, keys);
        };
        userSector(QStringLiteral("测试指数"),
                   {"801001.SI", "801002.SI", "801003.SI", "801004.SI"});
        userSector(QStringLiteral("钢铁"), {"600001.SH", "600002.SH"});
        // sectors named with the suffixes: taking one of them would be wrong
        userSector(QStringLiteral("钢铁JY"), {"600003.SH"});
        userSector(QStringLiteral("钢铁加权"), {"600003.SH"});

        auto view = makeView(QStringLiteral("测试指数"));
        view->setBKZSSector(code);
        QVERIFY(!view->subPanel()->isHidden());
        auto* label = view->subPanel()->findChild<XP::CSimpleTextWidget*>();
        QVERIFY(label);
        QCOMPARE(label->text(), title);
        QCOMPARE(view->subBrowseWidget()->getStockList().toSet(),
                 (QSet<QString>{"600001.SH", "600002.SH"}));
        for (const char* name : {"测试指数", "钢铁", "钢铁JY", "钢铁加权"})
            sectors->removeUserSector(QString::fromUtf8(name));
        TestMarket::restore();
    }
};

QTEST_MAIN(TstViewFutures)
#include "tst_viewfutures.moc"

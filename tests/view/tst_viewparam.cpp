// The browse view's layout string: the round trip (layouts per sector and per account type,
// values, the lower pane), the keep flag, a reopened data set, older and hostile strings.
#include "ViewTestFixture.h"

#include "../browse/LogCapture.h"

#include "host/data/ColumnInfo.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/JsonParam.h"
#include "host/toolkit/SplitButtonContainer.h"
#include "host/toolkit/StyleSheetCenter.h"
#include "host/widgets/CPushButtonTabControl.h"
#include "position/CPositionBrowseWidget.h"

#include <log4cxx/logger.h>

using namespace TC;
using namespace viewtest;

namespace {

const QString kDefault = QStringLiteral("沪深A股");
const QString kShanghai = QStringLiteral("上证A股");
const QString kStockPosition = QStringLiteral("股票持仓");
const QString kFuturesPosition = QStringLiteral("期货持仓");

// Hides the first visible column after the fixed ones (skipping `skip` of them); its id.
int hideAColumn(CBrowseWidget* table, int skip = 0)
{
    for (const ColumnInfo& c : table->getCurrentColumnList()) {
        if (c.columnId < 3 || !table->table()->isColumnVisible(c.columnId) || skip-- > 0)
            continue;
        table->setColumnVisible(c.columnId, false);
        return c.columnId;
    }
    return -1;
}

// JSON written with single quotes, for readable tables
QString j(const char* text)
{
    return QString::fromUtf8(text).replace(QLatin1Char('\''), QLatin1Char('"'));
}

} // namespace

class TestViewParam : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<LogCapture> m_log;

private Q_SLOTS:
    void initTestCase()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(setUp(*m_dir, true));
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        m_log = std::make_shared<LogCapture>();
        log4cxx::Logger::getLogger("TTStdFile")->addAppender(m_log);
    }
    void cleanupTestCase()
    {
        log4cxx::Logger::getLogger("TTStdFile")->removeAppender(m_log);
        TestMarket::restore();
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(setUp(*m_dir, false));
        m_log->clear();
    }

    void roundTrip_data()
    {
        QTest::addColumn<bool>("paneOpen");
        QTest::newRow("lower pane open") << true;
        QTest::newRow("lower pane closed") << false;
    }
    void roundTrip()
    {
        QFETCH(bool, paneOpen);
        auto a = makeView(kStockPosition);
        const int stockHidden = hideAColumn(a->positionBrowseWidget());
        QVERIFY(stockHidden >= 0);
        a->setSector(kFuturesPosition);
        const int futuresHidden = hideAColumn(a->positionBrowseWidget(), 1);
        QVERIFY(futuresHidden >= 0 && futuresHidden != stockHidden);
        a->setSector(kShanghai);
        QVERIFY(hideAColumn(a->mainBrowseWidget()) >= 0);
        a->mainBrowseWidget()->customIndexValues()[kShanghai][QStringLiteral("MA5")].insert(
            QStringLiteral("600000.SH"), 1.5);
        const QString mainLayout = a->mainBrowseWidget()->saveConfigStr();
        if (paneOpen)
            a->splitContainer()->openSplit();
        else
            a->splitContainer()->closeSplit();

        auto b = makeView();
        b->setParam(a->param(true), false);
        QCOMPARE(b->getCurrentSector(), kShanghai);
        CCombinPushButton* boards =
            b->sectorTabControl()->buttonByRootText(QStringLiteral("A股分类"));
        QVERIFY(boards);
        QCOMPARE(boards->curText(), kShanghai);
        QCOMPARE(b->sectorTabControl()->currentButton(), boards);
        QCOMPARE(b->mainBrowseWidget()->saveConfigStr(), mainLayout);
        // the value file came back with the layout: the last values show at once
        QCOMPARE(b->mainBrowseWidget()->customIndexValues()[kShanghai][QStringLiteral("MA5")].value(
                     QStringLiteral("600000.SH")),
                 1.5);
        QCOMPARE(b->lastShow(), paneOpen);
        // position layouts per account type; a view without the string shows the columns
        auto plain = makeView();
        for (CIndexBrowseView* v : {b.get(), plain.get()}) {
            const bool restored = v == b.get();
            CHpfBrowserTable* positions = v->positionBrowseWidget()->table();
            v->setSector(kStockPosition);
            QCOMPARE(positions->isColumnVisible(stockHidden), !restored);
            v->setSector(kFuturesPosition);
            QCOMPARE(positions->isColumnVisible(futuresHidden), !restored);
        }
        QCOMPARE(m_log->count(log4cxx::Level::getError()), 0);
    }

    // The table's own layout ("browsewidgetparam") is applied only without the keep flag.
    void keepFlag()
    {
        auto source = makeView(kShanghai);
        const QString sectorLayout = source->mainBrowseWidget()->param(false);
        const int hidden = hideAColumn(source->mainBrowseWidget());
        QVERIFY(hidden >= 0);
        JsonBuilder s;
        s.appendString("currentSector", kShanghai)
            .appendString("browsewidgetparam", source->mainBrowseWidget()->param(false))
            .appendStringArray("sectorKeys", {kShanghai})
            .appendStringArray("sectorParams", {sectorLayout});
        for (bool keep : {false, true}) {
            auto view = makeView();
            view->setParam(s.toQString(), keep);
            QCOMPARE(view->getCurrentSector(), kShanghai);
            QCOMPARE(view->mainBrowseWidget()->table()->isColumnVisible(hidden), keep);
        }
    }

    void externalDataSetReopened()
    {
        const QString set = QStringLiteral("宏观指标");
        QVERIFY(CExternalDataManager::instance()->isExist(set));
        auto a = makeView();
        a->setExternal(set);
        auto b = makeView();
        b->setParam(a->param(false), false);
        QCOMPARE(b->getBrowseWidget(), b->mainBrowseWidget());
        QCOMPARE(b->mainBrowseWidget()->getBrowserStatus(), int(BrowseStatus_External));
        QCOMPARE(b->mainBrowseWidget()->getSectorName(), set);
        QCOMPARE(b->mainBrowseWidget()->getStockListSize(),
                 a->mainBrowseWidget()->getStockListSize());
    }

    void partialStrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sector");
        QTest::addColumn<QStringList>("stored"); // main kind: "key=param"
        QTest::addColumn<bool>("lastShow");
        QTest::newRow("older, current sector only")
            << j("{'currentSector':'上证A股'}") << kShanghai << QStringList() << true;
        QTest::newRow("wrong types")
            << j("{'currentSector':5,'sectorList':[1],'sectorKeys':'x',"
                 "'sectorParams':['p'],'shareBrowseParam':3,'m_bLastShow':'no'}")
            << kDefault << QStringList() << true;
        QTest::newRow("keys without params")
            << j("{'sectorKeys':['a'],'m_bLastShow':false}") << kDefault << QStringList() << false;
        QTest::newRow("unequal arrays pair up to the shorter")
            << j("{'sectorKeys':['a','b','c'],'sectorParams':['pa',7]}") << kDefault
            << QStringList{"a=pa"} << true;
        QTest::newRow("entries of another type skipped")
            << j("{'sectorKeys':[1,'b',null,'d'],'sectorParams':['p1','pb','pc']}") << kDefault
            << QStringList{"b=pb"} << true;
        QTest::newRow("sector that no longer exists")
            << j("{'currentSector':'已删除的板块','sectorKeys':['已删除的板块'],"
                 "'sectorParams':['{}'],'shareBrowseParam':'{}'}")
            << QString() << QStringList{"已删除的板块={}"} << true;
    }
    void partialStrings()
    {
        QFETCH(QString, text);
        QFETCH(QString, sector);
        auto view = makeView();
        const QString before = view->getCurrentSector();
        view->setParam(text, false);
        // a sector that is gone leaves the view where it was
        QCOMPARE(view->getCurrentSector(), sector.isEmpty() ? before : sector);
        QStringList got;
        const auto& all = view->sectorParams();
        const auto main = all.find(CIndexBrowseView::KindMain);
        if (main != all.end())
            for (const auto& e : main->second)
                if (e.first != view->getCurrentSector() && e.first != before)
                    got << e.first + QLatin1Char('=') + e.second;
        QTEST(got, "stored");
        QCOMPARE(view->mainBrowseWidget()->getSectorName(), view->getCurrentSector());
        QTEST(view->lastShow(), "lastShow");
        QCOMPARE(m_log->count(log4cxx::Level::getError()), 0);
    }

    void hostileStrings_data()
    {
        QTest::addColumn<QString>("text");
        const QString valid = j("{'currentSector':'上证A股','sectorKeys':['a'],"
                                "'sectorParams':['b']}");
        QTest::newRow("not JSON") << QStringLiteral("currentSector=上证A股");
        QTest::newRow("truncated") << valid.left(valid.size() / 2);
        QTest::newRow("trailing garbage") << valid + QStringLiteral("}]x");
        QTest::newRow("nested 5000 deep")
            << j("{'currentSector':'上证A股','sectorList':") + QString(5000, QLatin1Char('['))
                   + QString(5000, QLatin1Char(']')) + QLatin1Char('}');
        QTest::newRow("20 MiB") << j("{'currentSector':'上证A股','browsewidgetparam':'")
                                       + QString(20 << 20, QLatin1Char('x'))
                                       + QStringLiteral("\"}");
    }
    // Each is the empty string: the default sector, and an error in the log.
    void hostileStrings()
    {
        QFETCH(QString, text);
        auto view = makeView(kShanghai);
        view->setParam(text, false);
        QCOMPARE(view->getCurrentSector(), kDefault);
        QCOMPARE(m_log->count(log4cxx::Level::getError()), 1);
        QVERIFY(view->sectorParams().count(CIndexBrowseView::KindMain) == 0
                || view->sectorParams().at(CIndexBrowseView::KindMain).count(QStringLiteral("a"))
                       == 0);
    }

    // A theme change puts the theme's sheet back on the view and its menus.
    void themeStyle()
    {
        auto view = makeView();
        view->setStyleSheet(QString());
        view->themeChanged();
        QCOMPARE(view->styleSheet(), XP::CStyleSheetCenter::getStyle(15));
        for (QMenu* menu : {view->addToSectorMenu(), view->basketMenu(), view->externalMenu()})
            if (menu)
                QCOMPARE(menu->styleSheet(), view->styleSheet());
    }
};

QTEST_MAIN(TestViewParam)
#include "tst_viewparam.moc"

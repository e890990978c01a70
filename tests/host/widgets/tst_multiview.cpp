// The lower pane's grid of instruments: paging by the current instrument, live quotes and
// the minute line, the grid size and the click that hands the instrument on.
#include "host/market/TestMarket.h"
#include "host/widgets/CIndexMultiView.h"

#include <QMouseEvent>
#include <QtTest>

using namespace TC;
using ttmarket::TestMarket;

namespace {
// Records the events its children hand up as "id text".
class Panel final : public XP::CBaseWidget {
public:
    QStringList events;
    bool handleEvent(int id, int, int, const QString& text, void*) override
    {
        events.append(QString::number(id) + QLatin1Char(' ') + text);
        return true;
    }
};
} // namespace

class TestMultiView : public QObject {
    Q_OBJECT

    QStringList m_keys;

private Q_SLOTS:
    void initTestCase()
    {
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        std::vector<ttservice::CInstrumentDetailPtr> list;
        for (int i = 0; i < 12; ++i) {
            const QString code = QString::number(600000 + i);
            list.push_back(TestMarket::stock("SH", code, QStringLiteral("股票%1").arg(i), 10.0));
        }
        TestMarket::install(list);
        for (const auto& d : list)
            m_keys.append(d->key);
    }
    void cleanupTestCase() { TestMarket::restore(); }

    void pagesFollowTheCurrentInstrument()
    {
        CIndexMultiView view;
        view.setGrid(3, 3);
        QCOMPARE(view.paneCount(), 9);
        view.setStockList(m_keys);
        QCOMPARE(view.currentStock(), QString());
        QCOMPARE(view.paneKey(0), m_keys[0]);
        QCOMPARE(view.paneKey(8), m_keys[8]);

        view.setCurrentStock(m_keys[10]);
        QCOMPARE(view.firstShown(), 9);
        QCOMPARE(view.paneKey(1), m_keys[10]);
        QVERIFY(view.paneIsCurrent(1));
        QCOMPARE(view.paneKey(3), QString()); // past the list's end

        view.setCurrentStock(QStringLiteral("SH.999999"));
        QCOMPARE(view.currentStock(), QString());
        QVERIFY(!view.paneIsCurrent(1));

        view.setStockList({});
        QCOMPARE(view.paneKey(0), QString());
        QCOMPARE(view.currentStock(), QString());
    }

    void gridSizeIsClamped_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("panes");
        QTest::newRow("4x2") << 4 << 2 << 8;
        QTest::newRow("zero rows") << 0 << 3 << 3;
        QTest::newRow("too wide") << 2 << 20 << 16;
    }
    void gridSizeIsClamped()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(int, panes);
        CIndexMultiView view;
        view.setStockList(m_keys);
        view.setCurrentStock(m_keys[11]);
        view.setGrid(rows, cols);
        QCOMPARE(view.paneCount(), panes);
        // the current instrument stays on the page shown
        QCOMPARE(view.firstShown(), 11 / panes * panes);
        QVERIFY(view.paneIsCurrent(11 - view.firstShown()));
    }

    void quotesAndLineWhileRequested()
    {
        TestMarket::setQuote("SH", "600000", TestMarket::quote(12.0, 10.0));
        CIndexMultiView view;
        view.setStockList(m_keys);
        QCOMPARE(view.paneText(0), QStringLiteral("600000 股票0 - -"));
        view.request();
        QVERIFY(view.isRequested());
        QCOMPARE(view.paneText(0), QStringLiteral("600000 股票0 12.00 20.00%"));
        const int points = view.paneLinePoints(0);
        QVERIFY(points >= 1);
        QCOMPARE(view.paneLineLast(0), 12.0);

        TestMarket::setQuote("SH", "600000", TestMarket::quote(9.5, 10.0));
        view.refreshQuotes();
        QCOMPARE(view.paneText(0), QStringLiteral("600000 股票0 9.50 -5.00%"));
        // the newest minute follows the quote
        QCOMPARE(view.paneLineLast(0), 9.5);
        QVERIFY(view.paneLinePoints(0) >= points);

        view.unrequest();
        TestMarket::setQuote("SH", "600000", TestMarket::quote(11.0, 10.0));
        view.setStockList(m_keys); // panes refilled while not requested read nothing
        QCOMPARE(view.paneLinePoints(0), 0);
    }

    void clickHandsTheInstrumentOn()
    {
        Panel panel;
        auto* view = new CIndexMultiView(&panel);
        view->setStockList(m_keys);
        panel.resize(600, 400);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QWidget* pane = view->childAt(view->width() * 5 / 6, view->height() / 6);
        QVERIFY(pane);
        QTest::mouseClick(pane, Qt::LeftButton);
        QCOMPARE(view->currentStock(), m_keys[2]);
        QCOMPARE(panel.events, QStringList{QStringLiteral("47 ") + m_keys[2]});
    }
};

QTEST_MAIN(TestMultiView)
#include "tst_multiview.moc"

// The compact quote list: geometry and navigation, sorting, the selection JSON and its
// events, layout updates, live values from the market and the colours it paints.
#include "quoterbrowser/CQuoterBrowserWidget.h"

#include "host/data/InstrumentDetail.h"
#include "host/data/JsonParam.h"
#include "host/data/SectorManager.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/UiResource.h"
#include "host/widgets/CIndexScrollBar.h"
#include "quoterbrowser/CWholeQuoteModel.h"

#include <QtTest>

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <climits>
#include <cmath>
#include <limits>

using namespace TC;
using ttmarket::TestMarket;

namespace {

constexpr int kVisible = 4;
// four full rows and half of a fifth under the 30-pixel header
constexpr int kHeight = 30 + 50 * kVisible + 25;

struct HostEvent {
    int id;
    int a;
    int b;
    QString text;
};

// A paint device that keeps the texts drawn on it, in drawing order.
class TextRecorder final : public QPaintDevice {
public:
    explicit TextRecorder(const QSize& size) : m_size(size), m_engine(this) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    QStringList texts;

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return m_size.width();
        case PdmHeight: return m_size.height();
        case PdmWidthMM: return m_size.width() * 254 / 960;
        case PdmHeightMM: return m_size.height() * 254 / 960;
        case PdmNumColors: return INT_MAX;
        case PdmDepth: return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    class Engine final : public QPaintEngine {
    public:
        explicit Engine(TextRecorder* device) : QPaintEngine(AllFeatures), m_pDevice(device) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        // the base engine routes every other shape to these
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath&) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override
        {
            m_pDevice->texts << item.text();
        }
        Type type() const override { return QPaintEngine::User; }

    private:
        TextRecorder* m_pDevice;
    };

    QSize m_size;
    mutable Engine m_engine;
};

QStringList paintedTexts(QWidget& w)
{
    TextRecorder recorder(w.size());
    QPainter painter(&recorder);
    w.render(&painter);
    painter.end();
    return recorder.texts;
}

void drainPool()
{
    QThreadPool::globalInstance()->waitForDone(10000);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

QString code(int i)
{
    return QStringLiteral("6000%1").arg(i, 2, 10, QLatin1Char('0'));
}

} // namespace

class TstQuoterBrowserWidget : public QObject {
    Q_OBJECT
    QTemporaryDir m_userDir;
    std::vector<HostEvent> m_events;
    CQuoterBrowserWidget* m_w = nullptr;
    int m_nSector = 0;

    // A user sector of the first n stocks (or of the given keys), with a fresh name.
    QString makeSector(int n, QStringList keys = {})
    {
        const QString name = QStringLiteral("测试%1").arg(++m_nSector);
        if (!CSectorManager::instance()->addUserSector(name))
            return QString();
        for (int i = 0; i < n; ++i)
            keys << code(i) + QStringLiteral(".SH");
        if (!keys.isEmpty())
            CSectorManager::instance()->addStockListToSector(name, keys);
        return name;
    }

    void makeWidget(int height = kHeight)
    {
        m_w = new CQuoterBrowserWidget();
        m_w->resize(250, height);
        // the test drives the refresh tick itself
        auto* timer = m_w->findChild<QTimer*>();
        QVERIFY(timer);
        timer->stop();
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w));
    }

    // Shows a sector and waits until its cache read has filled the list and subscribed.
    void showSector(const QString& name, int markets = 1)
    {
        QSignalSpy history(m_w->model().get(), &CWholeQuoteModel::sigHistoryCallBack);
        m_w->setSector(name);
        QVERIFY(history.count() > 0 || history.wait(5000));
        QTRY_COMPARE_WITH_TIMEOUT(m_w->model()->subscriptionCount(), markets, 5000);
    }

    // a point in the upper part of a row, so the partly visible row is hit too
    QPoint rowCentre(int row) const { return QPoint(60, 30 + 50 * row + 10); }

    void verifyInRange(const char* step)
    {
        QVERIFY2(m_w->firstRow() >= 0 && m_w->firstRow() <= m_w->maxFirstRow(), step);
        QVERIFY2(m_w->selectedIndex() >= -1 && m_w->selectedIndex() < m_w->totalRows(), step);
        if (!m_w->scrollBar()->isHidden())
            QVERIFY2(m_w->scrollBar()->value() == 50 * m_w->firstRow(), step);
    }

    // The selection's JSON, as the host would receive it.
    JsonObject selection() const { return JsonParam::parse(m_w->getSelectJsonParam()).object; }

    // The codes in display order, read by walking the selection from the top.
    QStringList displayOrder()
    {
        QStringList codes;
        QTest::mouseClick(m_w, Qt::LeftButton, Qt::NoModifier, rowCentre(0));
        while (m_w->selectedIndex() >= 0 && codes.size() < m_w->totalRows()) {
            codes << selection().getQString("CODE");
            const int before = m_w->selectedIndex();
            QTest::keyClick(m_w, Qt::Key_Down);
            if (m_w->selectedIndex() == before)
                break;
        }
        return codes;
    }

    QColor themeColor(const char* key)
    {
        const QColor* c = XP::CUiResource::instance().getColor(QLatin1String(key));
        return c ? *c : QColor();
    }

    // Pixels in a rectangle within a small distance of a colour (text is antialiased).
    static int pixelsNear(const QImage& image, const QRect& rect, const QColor& colour)
    {
        int count = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QColor p = image.pixelColor(x, y);
                if (std::abs(p.red() - colour.red()) < 24
                    && std::abs(p.green() - colour.green()) < 24
                    && std::abs(p.blue() - colour.blue()) < 24)
                    ++count;
            }
        }
        return count;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_userDir.isValid());
        qputenv("TT_USER_DIR", m_userDir.path().toUtf8());
        QVERIFY(XP::CUiResource::instance().loadTheme(QStringLiteral("dark")));
    }

    void init()
    {
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        std::vector<ttservice::CInstrumentDetailPtr> universe;
        for (int i = 0; i < 12; ++i)
            universe.push_back(
                TestMarket::stock("SH", code(i), QStringLiteral("股票%1").arg(i), 10.0 + i));
        universe.push_back(TestMarket::stock("SH", "600100", "无步长", 10.0, 0.0));
        universe.push_back(
            TestMarket::stock("SH", "600101", "无价格", std::numeric_limits<double>::quiet_NaN()));
        universe.push_back(TestMarket::stock("SH", "510050", "50ETF", 2.5, 0.001));
        universe.push_back(TestMarket::stock("SZ", "000001", "平安银行", 12.0));
        TestMarket::install(universe);
        // every stock starts flat at its reference price
        for (const auto& d : universe)
            TestMarket::setQuote(d->market, d->code, TestMarket::quote(d->refPrice, d->refPrice));

        m_events.clear();
        XP::CEventSink::setHandler(
            [this](QObject*, int id, int a, int b, const QString& text, void*) {
                m_events.push_back({id, a, b, text});
                return true;
            });
    }

    void cleanup()
    {
        delete m_w;
        m_w = nullptr;
        XP::CEventSink::clearHandler();
        TestMarket::restore();
        drainPool();
    }

    void navigation_data()
    {
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("height");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("scrollBar");

        const auto s = [](const char* text) {
            return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        };
        // n < v: everything fits, the bar hides, nothing scrolls
        QTest::newRow("n<v all fit") << 3 << kHeight << s("") << 0 << -1 << false;
        QTest::newRow("n<v click below last item")
            << 3 << kHeight << s("click:1 click:3") << 0 << -1 << false;
        QTest::newRow("n<v down stops at last")
            << 3 << kHeight << s("click:1 down down down") << 0 << 2 << false;
        QTest::newRow("n<v paging and wheel")
            << 3 << kHeight << s("click:2 pgdn wheel:-1 pgup wheel:1") << 0 << 2 << false;
        // n = v
        QTest::newRow("n=v fits") << 4 << kHeight << s("click:0 pgdn down down down down") << 0 << 3
                                  << false;
        QTest::newRow("n=v up to top")
            << 4 << kHeight << s("click:3 up up up up up") << 0 << 0 << false;
        // n = v + 1: the last page starts at n - v
        QTest::newRow("n=v+1 page down") << 5 << kHeight << s("pgdn") << 1 << -1 << true;
        QTest::newRow("n=v+1 page down twice") << 5 << kHeight << s("pgdn pgdn") << 1 << -1 << true;
        QTest::newRow("n=v+1 page down keeps place")
            << 5 << kHeight << s("click:1 pgdn") << 1 << 2 << true;
        QTest::newRow("n=v+1 page up back")
            << 5 << kHeight << s("pgdn pgup pgup") << 0 << -1 << true;
        QTest::newRow("n=v+1 down scrolls") << 5 << kHeight << s("click:3 down") << 1 << 4 << true;
        QTest::newRow("n=v+1 down at the end")
            << 5 << kHeight << s("click:3 down down down") << 1 << 4 << true;
        QTest::newRow("n=v+1 up scrolls back")
            << 5 << kHeight << s("click:3 down up up up up") << 0 << 0 << true;
        QTest::newRow("n=v+1 wheel to the end")
            << 5 << kHeight << s("wheel:-1 wheel:-1") << 1 << -1 << true;
        QTest::newRow("n=v+1 wheel up at top") << 5 << kHeight << s("wheel:1") << 0 << -1 << true;
        QTest::newRow("n=v+1 scroll bar") << 5 << kHeight << s("bar:50") << 1 << -1 << true;
        QTest::newRow("n=v+1 wheel keeps the instrument")
            << 5 << kHeight << s("click:2 wheel:-1") << 1 << 2 << true;
        QTest::newRow("n=v+1 header press")
            << 5 << kHeight << s("click:2 pgdn header:12") << 0 << 0 << true;
        QTest::newRow("n=v+1 partly visible row")
            << 5 << kHeight << s("click:1 click:4") << 0 << -1 << true;
        QTest::newRow("header gap selects nothing")
            << 5 << kHeight << s("click:1 y:1 ") << 0 << -1 << true;
        QTest::newRow("header lower half selects nothing")
            << 5 << kHeight << s("click:1 y:20") << 0 << -1 << true;
        QTest::newRow("growing past the list")
            << 5 << kHeight << s("pgdn height:600") << 0 << -1 << false;
        // no visible row: paging moves one row at a time and never past the last item
        QTest::newRow("zero height")
            << 5 << kHeight << s("pgdn height:0 down pgdn pgdn pgup") << 2 << -1 << true;
        QTest::newRow("negative height")
            << 5 << kHeight << s("pgdn height:-20 pgdn") << 2 << -1 << true;
        QTest::newRow("one item") << 1 << kHeight << s("click:0 down up pgdn pgup wheel:-1") << 0
                                  << 0 << false;
        QTest::newRow("empty sector")
            << 0 << kHeight << s("click:0 down pgdn pgup wheel:-1 header:11") << 0 << -1 << false;
        QTest::newRow("12 items page by page")
            << 12 << kHeight << s("click:0 pgdn pgdn pgdn") << 8 << 8 << true;
    }

    void navigation()
    {
        QFETCH(int, items);
        QFETCH(int, height);
        QFETCH(QStringList, steps);
        QFETCH(int, first);
        QFETCH(int, selected);
        QFETCH(bool, scrollBar);

        makeWidget(height);
        showSector(makeSector(items), items > 0 ? 1 : 0);
        QCOMPARE(m_w->totalRows(), items);
        verifyInRange("after setSector");
        const QHash<QString, Qt::Key> keys{{"down", Qt::Key_Down},
                                           {"up", Qt::Key_Up},
                                           {"pgdn", Qt::Key_PageDown},
                                           {"pgup", Qt::Key_PageUp}};
        for (const QString& step : steps) {
            const QString verb = step.section(QLatin1Char(':'), 0, 0);
            const int arg = step.section(QLatin1Char(':'), 1, 1).toInt();
            if (verb == QLatin1String("click"))
                QTest::mouseClick(m_w, Qt::LeftButton, Qt::NoModifier, rowCentre(arg));
            else if (verb == QLatin1String("y"))
                QTest::mouseClick(m_w, Qt::LeftButton, Qt::NoModifier, QPoint(60, arg));
            else if (keys.contains(verb))
                QTest::keyClick(m_w, keys.value(verb));
            else if (verb == QLatin1String("bar"))
                m_w->scrollBar()->setValue(arg);
            else if (verb == QLatin1String("height"))
                m_w->resize(250, arg);
            else if (verb == QLatin1String("header"))
                QTest::mouseClick(m_w->headerButton(arg), Qt::LeftButton);
            else if (verb == QLatin1String("wheel")) {
                QWheelEvent wheel(QPointF(60, 100), QPointF(m_w->mapToGlobal(QPoint(60, 100))),
                                  QPoint(), QPoint(0, 120 * arg), Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(m_w, &wheel);
                QVERIFY2(wheel.isAccepted(), "the list took the wheel");
            } else
                QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
            verifyInRange(qPrintable(step));
        }
        QCOMPARE(m_w->firstRow(), first);
        QCOMPARE(m_w->selectedIndex(), selected);
        QCOMPARE(!m_w->scrollBar()->isHidden(), scrollBar);
    }

    void sameHeaderTwiceFlipsOrderAndMovesIconOnlyThere()
    {
        makeWidget();
        // last prices against a flat 10.0 reference: change percents differ in sign and size
        const double last[5] = {10.5, 9.0, 11.0, 10.0, 9.8};
        for (int i = 0; i < 5; ++i)
            TestMarket::setQuote("SH", code(i), TestMarket::quote(last[i], 10.0));
        showSector(makeSector(5));
        QCOMPARE(displayOrder(), (QStringList{"600000.SH", "600001.SH", "600002.SH", "600003.SH",
                                              "600004.SH"})); // the sector's own order

        auto iconColour = [](XP::CPushButton* b) {
            return b->icon().pixmap(QSize(8, 8)).toImage().pixelColor(4, 4);
        };
        auto themeIconColour = [](const char* key) {
            const QPixmap p = XP::CUiResource::instance().getPixmap(QLatin1String(key), {8, 8});
            return p.toImage().pixelColor(4, 4);
        };
        const QColor ascending = themeIconColour("img_table_sort_ascending");
        const QColor descending = themeIconColour("img_table_sort_descending");
        QVERIFY(ascending != descending);
        const QStringList up{"600001.SH", "600004.SH", "600003.SH", "600000.SH", "600002.SH"};
        QStringList down = up;
        std::reverse(down.begin(), down.end());

        QTest::mouseClick(m_w->headerButton(12), Qt::LeftButton);
        QCOMPARE(m_w->sortId(), 12);
        QCOMPARE(m_w->sortOrder(), 1);
        QCOMPARE(m_w->selectedIndex(), 0);
        QCOMPARE(displayOrder(), up);
        QCOMPARE(iconColour(m_w->headerButton(12)), ascending);

        QTest::mouseClick(m_w->headerButton(12), Qt::LeftButton);
        QCOMPARE(m_w->sortOrder(), 0);
        QCOMPARE(displayOrder(), down);
        QCOMPARE(iconColour(m_w->headerButton(12)), descending);
        for (int id : {10, 11, 13})
            QVERIFY(m_w->headerButton(id)->icon().isNull());

        // another header takes the icon; its own order starts at its first flip
        QTest::mouseClick(m_w->headerButton(10), Qt::LeftButton);
        QVERIFY(m_w->headerButton(12)->icon().isNull());
        QCOMPARE(iconColour(m_w->headerButton(10)), ascending);
        QCOMPARE(displayOrder(),
                 (QStringList{"600000.SH", "600001.SH", "600002.SH", "600003.SH", "600004.SH"}));
    }

    void selectionJsonAndEvents()
    {
        makeWidget();
        TestMarket::setQuote("SH", code(1), TestMarket::quote(11.55, 11.0));
        showSector(makeSector(3));

        QTest::mouseClick(m_w, Qt::LeftButton, Qt::NoModifier, rowCentre(1));
        QCOMPARE(m_events.size(), size_t(1));
        QCOMPARE(m_events[0].id, 47);
        QCOMPARE(m_events[0].b, 1);
        const JsonObject json = JsonParam::parse(m_events[0].text).object;
        QCOMPARE(json.getInt("index", -1), 1);
        QCOMPARE(json.getQString("CODE"), QStringLiteral("600001.SH"));
        QCOMPARE(json.getQString("NAME"), QStringLiteral("股票1"));
        QCOMPARE(json.getQString("LATEST"), QStringLiteral("11.55"));
        QCOMPARE(json.getQString("ZHANGFU"), QStringLiteral("5.00%"));
        QCOMPARE(json.getQString("ZHANGSU"), QStringLiteral("0.00%"));
        QCOMPARE(m_w->getSelectStocks(), QVector<QString>{QStringLiteral("600001.SH")});

        QTest::keyClick(m_w, Qt::Key_Return);
        QCOMPARE(m_events.back().id, 4003);
        QCOMPARE(m_events.back().text, m_events[0].text);

        QTest::mouseDClick(m_w, Qt::LeftButton, Qt::NoModifier, rowCentre(2));
        QCOMPARE(m_events.back().id, 49);
        QCOMPARE(JsonParam::parse(m_events.back().text).object.getInt("index", -1), 2);

        // below the last item: no selection, and Enter sends the empty object
        QTest::mouseClick(m_w, Qt::LeftButton, Qt::NoModifier, rowCentre(3));
        QCOMPARE(m_events.back().id, 47);
        QCOMPARE(m_events.back().b, -1);
        QCOMPARE(m_events.back().text, QStringLiteral("{}"));
        QTest::keyClick(m_w, Qt::Key_Enter);
        QCOMPARE(m_events.back().id, 4003);
        QCOMPARE(JsonParam::parse(m_events.back().text).object.fieldCount(), 0);
        QVERIFY(m_w->getSelectStocks().isEmpty());
    }

    void resizeSendsUpdateOnlyWhenVisibleRowsChange()
    {
        makeWidget();
        showSector(makeSector(12));
        QSignalSpy updates(m_w, &CQuoterBrowserWidget::sigUpdateQuote);
        m_w->resize(250, kHeight + 20); // still four rows
        m_w->resize(300, kHeight + 20);
        QCOMPARE(updates.count(), 0);
        m_w->resize(300, kHeight + 30); // five
        QCOMPARE(m_w->visibleRows(), 5);
        QCOMPARE(updates.count(), 1);
    }

    void followsTheSectorsChanges()
    {
        makeWidget();
        const QString name = makeSector(3);
        showSector(name);
        QVERIFY(
            CSectorManager::instance()->addStockToSector(name, code(7) + QStringLiteral(".SH")));
        QCOMPARE(m_w->totalRows(), 4);
        const QString other = makeSector(2);
        QVERIFY(
            CSectorManager::instance()->addStockToSector(other, code(8) + QStringLiteral(".SH")));
        QCOMPARE(m_w->totalRows(), 4); // another sector's change is not ours
    }

    // A list that is no sector (a position sector's holdings) replaces the sector's rows,
    // and an empty one leaves nothing of them.
    void listsGivenInstrumentsInPlaceOfTheSector()
    {
        makeWidget();
        showSector(makeSector(3));
        const auto held = CSectorManager::instance()->getSectorStockList(makeSector(2));
        QCOMPARE(held.size(), 2);
        m_w->setInstruments(QStringLiteral("股票持仓"), held);
        QCOMPARE(m_w->getSector(), QStringLiteral("股票持仓"));
        QCOMPARE(m_w->totalRows(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(m_w->model()->subscriptionCount(), 1, 5000);
        QVERIFY(paintedTexts(*m_w).contains(held.at(1)->code));
        m_w->setInstruments(QStringLiteral("外部数据"), {});
        QCOMPARE(m_w->totalRows(), 0);
        QCOMPARE(paintedTexts(*m_w).size(), 4); // the header only
    }

    // A name wider than its column keeps its tail and stays inside the column; with room
    // the whole name shows.
    void longNamesFitTheirColumn()
    {
        makeWidget();
        const auto real = CSectorManager::instance()->getSectorStockList(makeSector(1));
        QCOMPARE(real.size(), 1);
        auto detail = std::make_shared<ttservice::CInstrumentDetail>(*real.first());
        const QString name = QStringLiteral("COMEX黄金主连(2701)");
        detail->name = name;
        m_w->setInstruments(QStringLiteral("持仓"), {detail});
        const QFontMetrics metrics(
            XP::CUiResource::instance().getFont(QStringLiteral("ic_fnt_quoterbrowser_name_text")));
        QVERIFY(metrics.horizontalAdvance(name) > m_w->width() / 4);
        QString shown;
        for (const QString& text : paintedTexts(*m_w))
            if (text.endsWith(QStringLiteral("2701)")))
                shown = text;
        QVERIFY2(shown.startsWith(QChar(0x2026)), qPrintable(shown));
        QVERIFY(metrics.horizontalAdvance(shown) <= m_w->width() / 4);
        m_w->resize(4 * metrics.horizontalAdvance(name) + 40, m_w->height());
        // text runs are recorded per script
        QVERIFY(paintedTexts(*m_w).join(QString()).contains(name));
    }

    void liveValuesReachThePaintedText()
    {
        makeWidget();
        showSector(makeSector(3));
        QVERIFY(paintedTexts(*m_w).contains(QStringLiteral("11.00"))); // the cached quote
        QVERIFY(!paintedTexts(*m_w).contains(QStringLiteral("11.30")));

        auto q = TestMarket::quote(11.3, 11.0);
        q.riseSpeed1 = 0.5; // hundredths: 0.5 %
        QVERIFY(TestMarket::setQuote("SH", code(1), q));
        QVERIFY(TestMarket::firePush("SH") >= 1);
        // queued until the refresh tick drains it
        QVERIFY(!paintedTexts(*m_w).contains(QStringLiteral("11.30")));
        m_w->slotRefreshData();
        const QStringList texts = paintedTexts(*m_w);
        QVERIFY2(texts.contains(QStringLiteral("11.30")), qPrintable(texts.join(' ')));
        QVERIFY(texts.contains(QStringLiteral("2.73%")));
        QVERIFY(texts.contains(QStringLiteral("0.50%")));
    }

    void liveSortKeepsTheSelectedInstrument()
    {
        makeWidget();
        showSector(makeSector(5));
        QTest::mouseClick(m_w->headerButton(12), Qt::LeftButton); // change percent, ascending
        QTest::mouseClick(m_w->headerButton(12), Qt::LeftButton); // descending
        QTest::mouseClick(m_w, Qt::LeftButton, Qt::NoModifier, rowCentre(2));
        const QString chosen = selection().getQString("CODE");
        QVERIFY(!chosen.isEmpty());

        // another stock jumps to the top, the chosen one falls to the bottom
        const QString chosenCode = chosen.section(QLatin1Char('.'), 0, 0);
        const QString riser = chosenCode == code(4) ? code(3) : code(4);
        QVERIFY(TestMarket::setQuote("SH", riser, TestMarket::quote(20.0, 10.0)));
        QVERIFY(TestMarket::setQuote("SH", chosenCode, TestMarket::quote(1.0, 10.0)));
        TestMarket::firePush("SH");
        QCOMPARE(selection().getQString("CODE"), chosen); // nothing moves before the tick
        m_w->slotRefreshData();
        QCOMPARE(selection().getQString("CODE"), chosen);
        QCOMPARE(m_w->selectedIndex(), 4);
        const QStringList texts = paintedTexts(*m_w);
        const int riserName = texts.indexOf(QStringLiteral("股票%1").arg(riser.right(2).toInt()));
        QVERIFY(riserName >= 0);
        QVERIFY2(texts.indexOf(QRegularExpression(QStringLiteral("股票\\d+"))) == riserName,
                 "the riser is the top row");
    }

    void repaintsAtMostOncePerTick()
    {
        makeWidget();
        showSector(makeSector(5));
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::Paint)
                    ++paints;
                return false;
            }
        } counter;
        QCoreApplication::processEvents();
        m_w->installEventFilter(&counter);
        for (int i = 0; i < 3; ++i) {
            TestMarket::setQuote("SH", code(i), TestMarket::quote(10.5 + i, 10.0 + i));
            TestMarket::firePush("SH");
        }
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 0);
        m_w->slotRefreshData();
        QTRY_COMPARE(counter.paints, 1);
        QCoreApplication::processEvents();
        m_w->slotRefreshData(); // nothing new: no repaint
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 1);
        m_w->removeEventFilter(&counter);
    }

    void rendersRiseAndFallColours()
    {
        makeWidget();
        QVERIFY(TestMarket::setQuote("SH", code(0), TestMarket::quote(10.5, 10.0)));
        QVERIFY(TestMarket::setQuote("SH", code(1), TestMarket::quote(10.0, 11.0)));
        showSector(makeSector(2));
        QImage image(m_w->size(), QImage::Format_ARGB32);
        m_w->render(&image);
        const QColor rise = themeColor("clr_global_rise");
        const QColor fall = themeColor("clr_global_fall");
        QVERIFY(rise.isValid() && fall.isValid());
        // the change percent cell (third quarter of the row) and the last price (second),
        // which takes the colour of the change it made; row 0 rose, row 1 fell
        for (int x : {125, 63}) {
            for (int row : {0, 1}) {
                const QRect cell(x, 30 + 50 * row + 2, 62, 46);
                QVERIFY(pixelsNear(image, cell, row ? fall : rise) > 3);
                QCOMPARE(pixelsNear(image, cell, row ? rise : fall), 0);
            }
        }
        // the selected row's background
        QTest::mouseClick(m_w, Qt::LeftButton, Qt::NoModifier, rowCentre(1));
        m_w->render(&image);
        QCOMPARE(image.pixelColor(4, 80 + 4), themeColor("ic_clr_quoterbrowser_selected_line_bg"));
        QCOMPARE(image.pixelColor(4, 30 + 4), themeColor("ic_clr_quoterbrowser_line_bg"));
    }

    void themeSwitchRepaintsInTheNewColours()
    {
        makeWidget();
        QVERIFY(TestMarket::setQuote("SH", code(0), TestMarket::quote(10.5, 10.0)));
        showSector(makeSector(1));
        QVERIFY(XP::CUiResource::instance().loadTheme(QStringLiteral("light")));
        QImage image(m_w->size(), QImage::Format_ARGB32);
        m_w->render(&image);
        const QColor light = themeColor("ic_clr_quoterbrowser_line_bg");
        const QColor rise = themeColor("clr_global_rise");
        QVERIFY(XP::CUiResource::instance().loadTheme(QStringLiteral("dark")));
        QVERIFY(light != themeColor("ic_clr_quoterbrowser_line_bg"));
        QCOMPARE(image.pixelColor(4, 30 + 4), light);
        QVERIFY(pixelsNear(image, QRect(125, 32, 62, 46), rise) > 3);
    }

    void badPricesDrawWhatTheyCan()
    {
        makeWidget();
        showSector(makeSector(0, {"600100.SH", "600101.SH", "510050.SH"}));
        // no tick: two decimals; a tick of 0.001: three; no reference price: the invalid text
        QStringList texts = paintedTexts(*m_w);
        QVERIFY2(texts.contains(QStringLiteral("10.00")), qPrintable(texts.join(' ')));
        QVERIFY(texts.contains(QStringLiteral("2.500")));
        QVERIFY(texts.contains(QStringLiteral("非法值")));

        auto q = TestMarket::quote(10.2, 10.0);
        q.last = std::numeric_limits<double>::quiet_NaN();
        QVERIFY(TestMarket::setQuote("SH", "600100", q));
        q.last = 1.7976931348623157e308;
        QVERIFY(TestMarket::setQuote("SH", "510050", q));
        TestMarket::firePush("SH");
        m_w->slotRefreshData();
        texts = paintedTexts(*m_w);
        QCOMPARE(texts.count(QStringLiteral("非法值")), 3);
        QVERIFY(!texts.contains(QStringLiteral("10.00")));

        // sorting with invalid values keeps a strict order and stays in range
        for (int id : {11, 11, 12, 13})
            QTest::mouseClick(m_w->headerButton(id), Qt::LeftButton);
        QCOMPARE(displayOrder().size(), 3);
    }

    void unknownSectorAndSectorFlood()
    {
        makeWidget();
        m_w->setSector(QStringLiteral("没有这个板块"));
        QCOMPARE(m_w->totalRows(), 0);
        QVERIFY(paintedTexts(*m_w).size() == 4); // the header only

        const QString big = makeSector(12);
        const QString small = makeSector(0, {"000001.SZ", "600003.SH"});
        for (int i = 0; i < 51; ++i) {
            m_w->setSector(i % 2 ? small : big);
            QTest::keyClick(m_w, Qt::Key_PageDown);
            verifyInRange("flood");
        }
        drainPool();
        QCOMPARE(m_w->getSector(), big);
        QTRY_COMPARE_WITH_TIMEOUT(m_w->model()->subscriptionCount(), 1, 5000);
        QCOMPARE(m_w->totalRows(), 12);
        verifyInRange("after the flood");
    }

    // Direct deliveries from a host thread go through the widget's mailbox; deleting the
    // widget while they fly must leave nothing queued for it.
    void destroyWhilePushesInFlight()
    {
        makeWidget();
        showSector(makeSector(3));
        boost::shared_ptr<CWholeQuoteModel> model = m_w->model();
        std::atomic<bool> stop{false};
        std::atomic<int> pushes{0};
        std::thread pusher([&]() {
            while (!stop) {
                dorn::PushQuoteParam param("SH");
                param.queued = false;
                auto q = std::make_shared<quoter::QuoterAllData>(TestMarket::quote(10.1, 10.0));
                model->onPushQuote(param, {code(0)}, {QStringLiteral("SH")}, {q});
                ++pushes;
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(pushes.load() > 10, 5000);
        delete m_w;
        m_w = nullptr;
        const int afterDelete = pushes.load();
        QTRY_VERIFY_WITH_TIMEOUT(pushes.load() > afterDelete + 10, 5000);
        stop = true;
        pusher.join();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(model->subscriptionCount(), 0); // the widget cancelled them as it went
    }
};

QTEST_MAIN(TstQuoterBrowserWidget)
#include "tst_quoterbrowserwidget.moc"

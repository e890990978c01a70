// The host's intraday and k-line charts offscreen over a small market: scales and the
// session axis, live data from the history service and pushes, what the rendered image
// shows (rise and fall colours, candles by open and close), keys, parameter strings, bad
// input and destruction while pushes arrive.
#include "host/charts/CKLineMainWidget.h"
#include "host/charts/CRealtimeMainWidget.h"
#include "host/data/FormulaManager.h"
#include "host/data/StockManager.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/UiResource.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

using namespace TC;
using ttmarket::TestMarket;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const QString kKey = QStringLiteral("600000.SH");

int64_t at(int h, int m, int s = 0)
{
    return TestMarket::at(2024, 6, 7, h, m, s);
}

quoter::KLineData bar(int64_t endMs, double o, double h, double l, double c, int64_t v)
{
    quoter::KLineData b;
    b.time = endMs;
    b.open = o;
    b.high = h;
    b.low = l;
    b.close = c;
    b.volume = v;
    b.amount = double(v) * 100.0 * c;
    return b;
}

std::vector<quoter::KLineData> dailyBars(int n, double start)
{
    std::vector<quoter::KLineData> out;
    const int first = CStockManager::dateFromYmd(2023, 1, 3);
    for (int i = 0; i < n; ++i) {
        const double o = start + (i % 7) * 0.1, c = o + ((i % 3) - 1) * 0.2;
        out.push_back(bar((int64_t(first) + int64_t(i) * 86400) * 1000, o, std::max(o, c) + 0.1,
                          std::min(o, c) - 0.1, c, 1000 + i));
    }
    return out;
}

QImage render(QWidget& w)
{
    QImage img(w.size(), QImage::Format_RGB32);
    w.render(&img);
    return img;
}

// A pixel in the hue of c: antialiased text blends it with the background but keeps
// its dominant channel.
bool isHueOf(QRgb px, const QColor& c)
{
    const int r = qRed(px), g = qGreen(px), b = qBlue(px);
    if (c.red() > 2 * std::max(c.green(), c.blue()))
        return r > 90 && r > 2 * std::max(g, b);
    if (c.green() > 2 * std::max(c.red(), c.blue()))
        return g > 90 && g > 2 * std::max(r, b);
    return false;
}

int countHue(const QImage& img, const QRect& area, const QColor& c)
{
    int n = 0;
    const QRect r = area.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += isHueOf(img.pixel(x, y), c) ? 1 : 0;
    return n;
}

QColor themeColor(const char* key)
{
    return *XP::CUiResource::instance().getColor(QString::fromLatin1(key));
}

} // namespace

class TestCharts : public QObject {
    Q_OBJECT

    void pushQuote(double last, int64_t volume, int64_t timeMs)
    {
        TestMarket::setClock(timeMs);
        quoter::QuoterAllData q = TestMarket::quote(last, 10.0, volume);
        q.time = timeMs;
        q.amount = double(volume) * 100.0 * last; // no average: the chart works it out
        q.average = 0.0;
        QVERIFY(TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"), q));
        TestMarket::firePush(QStringLiteral("SH"));
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(XP::CUiResource::instance().loadTheme(QStringLiteral("dark")));
        TestMarket::setClock(at(10, 0));
        TestMarket::install({TestMarket::stock("SH", "600000", "浦发银行", 10.0)});
    }
    void cleanup() { TestMarket::restore(); }

    void flatAndBrokenRangesStillScale_data()
    {
        QTest::addColumn<double>("lo");
        QTest::addColumn<double>("hi");
        QTest::newRow("flat") << 10.0 << 10.0;
        QTest::newRow("zero") << 0.0 << 0.0;
        QTest::newRow("inverted") << 12.0 << 8.0;
        QTest::newRow("nan") << kNaN << kNaN;
        QTest::newRow("infinite") << 1.0 << std::numeric_limits<double>::infinity();
    }
    void flatAndBrokenRangesStillScale()
    {
        QFETCH(double, lo);
        QFETCH(double, hi);
        chart::ValueScale s;
        s.set(lo, hi, 10, 110);
        QVERIFY(s.hi() > s.lo());
        const double mid = (s.lo() + s.hi()) / 2;
        QVERIFY(std::isfinite(s.y(mid)));
        QVERIFY(s.y(mid) > 10 && s.y(mid) < 110);
        QCOMPARE(s.value(s.y(mid)), mid);
    }

    // The day's minutes with the lunch break collapsed: 241 slots for SH.
    void sessionSlots_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<int>("slot");
        QTest::newRow("call auction") << qint64(at(9, 25)) << 0;
        QTest::newRow("open") << qint64(at(9, 30)) << 0;
        QTest::newRow("first trade") << qint64(at(9, 30, 5)) << 1;
        QTest::newRow("first minute end") << qint64(at(9, 31)) << 1;
        QTest::newRow("morning close") << qint64(at(11, 30)) << 120;
        QTest::newRow("lunch") << qint64(at(12, 0)) << 120;
        QTest::newRow("afternoon") << qint64(at(13, 0, 30)) << 121;
        QTest::newRow("close") << qint64(at(15, 0)) << 240;
        QTest::newRow("closing snapshot") << qint64(at(15, 0, 5)) << 240;
        QTest::newRow("evening") << qint64(at(20, 0)) << -1;
        QTest::newRow("early morning") << qint64(at(7, 0)) << -1;
    }
    void sessionSlots()
    {
        QFETCH(qint64, ms);
        QFETCH(int, slot);
        chart::SessionAxis axis;
        axis.build(QStringLiteral("SH"), QStringLiteral("600000"));
        QCOMPARE(axis.slotCount(), 241);
        QCOMPARE(axis.slotOf(ms), slot);
        if (slot > 0)
            QCOMPARE(axis.slotOf(axis.timeOf(slot)), slot);
    }

    // Today's minutes from the history service, then pushes: the next minute opens, a
    // push inside the scale repaints without a new layout, one beyond it re-lays.
    void intradayLive()
    {
        CRealtimeMainWidget w;
        w.resize(800, 500);
        w.show();
        w.setStock(kKey, true);
        w.request(false);
        QVERIFY(w.isRequested());
        QCOMPARE(w.slotCount(), 241);
        QCOMPARE(w.preClose(), 10.0);
        const int last = w.lastSlot();
        QVERIFY(last >= 0 && last <= 31);
        w.grab();
        const quint64 layouts = w.fullLayoutCount();

        const double inside = w.priceAt(last);
        pushQuote(inside, 2000000, at(10, 0, 30) + 60000);
        QCOMPARE(w.pushCount(), quint64(1));
        QCOMPARE(w.lastSlot(), 32);
        QCOMPARE(w.priceAt(32), inside);
        QVERIFY(w.averageAt(32) > 0);
        w.grab();
        pushQuote(10.9, 2000000, at(10, 1, 40));
        QCOMPARE(w.lastSlot(), 32);
        QCOMPARE(w.priceAt(32), 10.9);
        w.grab();
        QVERIFY(w.fullLayoutCount() > layouts);

        w.unrequest();
        pushQuote(10.5, 2000100, at(10, 1, 50));
        QCOMPARE(w.priceAt(32), 10.9);
    }

    // Above the reference line the scale reads in the rise colour, below it in the fall
    // colour; the minute volumes take the colour of their move.
    void intradayColours()
    {
        CRealtimeMainWidget w;
        w.resize(800, 500);
        w.setSessions({{at(9, 30), at(11, 30)}, {at(13, 0), at(15, 0)}});
        std::vector<quoter::KLineData> bars;
        for (int i = 1; i <= 60; ++i)
            bars.push_back(bar(at(9, 30) + i * 60000, 10, 10.5, 10, 10 + i * 0.01, 100));
        w.setMinuteBars(bars, 10.0);
        const QImage img = render(w);
        const QRect axis = w.rightAxisRect().toAlignedRect();
        const int refY = int(w.priceY(10.0));
        const QRect above(axis.left(), axis.top(), axis.width(), refY - axis.top() - 6);
        const QRect below(axis.left(), refY + 6, axis.width(), axis.bottom() - refY - 6);
        const QColor rise = themeColor("ic_clr_browse_rise");
        const QColor fall = themeColor("ic_clr_browse_fall");
        QVERIFY(countHue(img, above, rise) > 20);
        QCOMPARE(countHue(img, above, fall), 0);
        QVERIFY(countHue(img, below, fall) > 20);
        QCOMPARE(countHue(img, below, rise), 0);
        // the price line sits above the reference line
        QVERIFY(w.priceY(w.priceAt(60)) < refY);
        const QRect vol = w.volumeRect().toAlignedRect();
        QVERIFY(countHue(img,
                         QRect(int(w.slotX(1)) - 1, vol.top(), int(w.slotX(60) - w.slotX(1)) + 2,
                               vol.height()),
                         rise)
                > 60);
    }

    // Both charts repaint in the new theme's colours.
    void followTheme()
    {
        CRealtimeMainWidget intraday;
        CKLineMainWidget kline;
        for (QWidget* w : {static_cast<QWidget*>(&intraday), static_cast<QWidget*>(&kline)})
            w->resize(400, 300);
        for (const char* theme : {"light", "dark"}) {
            QVERIFY(XP::CUiResource::instance().loadTheme(QLatin1String(theme)));
            const QColor bg = themeColor("ic_clr_realtime_background");
            QCOMPARE(render(intraday).pixelColor(2, 2), bg);
            QCOMPARE(render(kline).pixelColor(2, 2), bg);
        }
    }

    // Bad minutes draw a partial chart; the scale stays finite and non-degenerate.
    void intradayBadInput_data()
    {
        QTest::addColumn<QVector<double>>("closes"); // one a minute from 9:31; <0: no bar
        QTest::addColumn<double>("preClose");
        QTest::addColumn<int>("lastSlot");
        QTest::newRow("no bars") << QVector<double>{} << 10.0 << -1;
        QTest::newRow("one bar") << QVector<double>{10.1} << 10.0 << 1;
        QTest::newRow("nan and zero") << QVector<double>{kNaN, 0.0, 10.2, kNaN} << 10.0 << 3;
        QTest::newRow("flat day") << QVector<double>{10, 10, 10, 10} << 10.0 << 4;
        QTest::newRow("gap") << QVector<double>{10.1, -1, -1, -1, 10.3} << 10.0 << 5;
        QTest::newRow("no reference") << QVector<double>{10.1, 10.2} << kNaN << 2;
        QTest::newRow("nothing usable") << QVector<double>{kNaN, 0.0} << 0.0 << -1;
    }
    void intradayBadInput()
    {
        QFETCH(QVector<double>, closes);
        QFETCH(double, preClose);
        QFETCH(int, lastSlot);
        CRealtimeMainWidget w;
        w.resize(800, 500);
        w.setSessions({{at(9, 30), at(11, 30)}, {at(13, 0), at(15, 0)}});
        std::vector<quoter::KLineData> bars;
        for (int i = 0; i < closes.size(); ++i) {
            if (closes[i] >= 0 || std::isnan(closes[i]))
                bars.push_back(
                    bar(at(9, 31) + i * 60000, closes[i], closes[i], closes[i], closes[i], 10));
        }
        w.setMinuteBars(bars, preClose);
        QCOMPARE(w.lastSlot(), lastSlot);
        const QImage img = render(w);
        QVERIFY(!img.isNull());
        const QRectF plot = w.priceRect();
        if (lastSlot >= 0) {
            const double y = w.priceY(w.priceAt(lastSlot));
            QVERIFY(std::isfinite(y) && y >= plot.top() && y <= plot.bottom());
            QVERIFY(w.priceY(w.priceAt(lastSlot) * 1.001) < y); // the scale has height
        }
        if (QTest::currentDataTag() == QLatin1String("gap")) {
            QCOMPARE(w.priceAt(3), 10.1); // carried
            QCOMPARE(w.volumeAt(3), qint64(0));
        }
    }

    void intradayCrossLine()
    {
        CRealtimeMainWidget w;
        w.resize(800, 500);
        w.setSessions({{at(9, 30), at(11, 30)}, {at(13, 0), at(15, 0)}});
        w.setMinuteBars({bar(at(9, 31), 10, 10, 10, 10.1, 5), bar(at(9, 32), 10, 10, 10, 10.2, 7)},
                        10.0);
        QTest::keyClick(&w, Qt::Key_Left);
        QCOMPARE(w.crossIndex(), 2);
        QVERIFY(w.readoutText().contains(QStringLiteral("09:32")));
        QVERIFY(w.readoutText().contains(QStringLiteral("2.00%")));
        QTest::keyClick(&w, Qt::Key_Left);
        QTest::keyClick(&w, Qt::Key_Right);
        QTest::keyClick(&w, Qt::Key_Right);
        QCOMPARE(w.crossIndex(), 2); // not past the data
        QMouseEvent move(QEvent::MouseMove, QPointF(w.slotX(1), 100), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&w, &move);
        QCOMPARE(w.crossIndex(), 1);
        w.resetUiParam();
        QCOMPARE(w.crossIndex(), -1);
    }

    // Daily bars from the history service; each candle in its colour by open and close.
    void klineCandles()
    {
        CKLineMainWidget w;
        w.resize(800, 500);
        w.setStock(kKey);
        w.request(false);
        QVERIFY(w.barCount() >= 200);
        const QImage img = render(w);
        const QColor rise = themeColor("ic_clr_browse_rise");
        const QColor fall = themeColor("ic_clr_browse_fall");
        int checked = 0;
        for (int i = w.firstVisible(); i <= w.lastVisible(); ++i) {
            const quoter::KLineData& b = w.bar(i);
            const double y0 = w.priceY(b.open), y1 = w.priceY(b.close);
            if (std::fabs(y0 - y1) < 4)
                continue;
            // the body's column, where the averages may cross it
            const int x = int(std::floor(w.barX(i))) - 1;
            int own = 0, other = 0;
            for (int y = int(std::min(y0, y1)) + 1; y < int(std::max(y0, y1)); ++y) {
                const QColor px = img.pixelColor(x, y);
                own += px == (b.close > b.open ? rise : fall) ? 1 : 0;
                other += px == (b.close > b.open ? fall : rise) ? 1 : 0;
            }
            QVERIFY(own > 0);
            QCOMPARE(other, 0);
            ++checked;
        }
        QVERIFY(checked > 10);
        QCOMPARE(w.lastVisible(), w.barCount() - 1);
        // MA5 of the newest bar
        double sum = 0;
        for (int i = w.barCount() - 5; i < w.barCount(); ++i)
            sum += w.bar(i).close;
        QVERIFY(std::fabs(w.maValue(0, w.barCount() - 1) - sum / 5) < 1e-9);
    }

    // Today's candle follows the pushes; a push inside the view's scale lays nothing out.
    void klinePush()
    {
        CKLineMainWidget w;
        w.resize(800, 500);
        w.show();
        w.setStock(kKey);
        w.request(false);
        const int n = w.barCount();
        w.grab();
        const quint64 layouts = w.fullLayoutCount();
        const quoter::KLineData today = w.bar(n - 1);
        const double inside = (today.high + today.low) / 2;
        pushQuote(inside, today.volume, at(10, 0, 10));
        QCOMPARE(w.barCount(), n);
        QCOMPARE(w.bar(n - 1).close, inside);
        w.grab();
        QCOMPARE(w.fullLayoutCount(), layouts);
        pushQuote(today.high * 1.5, today.volume, at(10, 0, 20));
        QCOMPARE(w.bar(n - 1).high, today.high * 1.5);
        w.grab();
        QVERIFY(w.fullLayoutCount() > layouts);
    }

    // Keys and the wheel scroll, zoom and move the cross line; moveToEnd returns.
    void klineNavigation()
    {
        CKLineMainWidget w;
        w.resize(800, 500);
        w.setBars(dailyBars(250, 10.0));
        const int last = w.barCount() - 1;
        const int width = w.barWidth();
        QTest::keyClick(&w, Qt::Key_Left);
        QCOMPARE(w.lastVisible(), last - 1);
        QTest::keyClick(&w, Qt::Key_Up);
        QVERIFY(w.barWidth() > width);
        QTest::keyClick(&w, Qt::Key_Down);
        QTest::keyClick(&w, Qt::Key_Down);
        QVERIFY(w.barWidth() < width);
        QWheelEvent wheel(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&w, &wheel);
        QCOMPARE(w.barWidth(), width);
        QTest::keyClick(&w, Qt::Key_Home);
        QVERIFY(w.firstVisible() == 0);
        w.moveToEnd();
        QCOMPARE(w.lastVisible(), last);

        QVERIFY(!w.getUiParam().crossline);
        w.switchCrossline();
        QVERIFY(w.getUiParam().crossline);
        QCOMPARE(w.getUiParam().crossIndex, last);
        QTest::keyClick(&w, Qt::Key_Left);
        QCOMPARE(w.getUiParam().crossIndex, last - 1);
        QVERIFY(!w.readoutText().isEmpty());
        // the cross line drags the view along
        w.setCrossIndex(10);
        QVERIFY(w.firstVisible() <= 10 && w.lastVisible() >= 10);
        w.resetUiParam();
        QVERIFY(!w.getUiParam().crossline);
        QCOMPARE(w.lastVisible(), last);
    }

    void klineBadInput_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("bars");
        QTest::newRow("no bars") << 0 << 0;
        QTest::newRow("one bar") << 1 << 1;
        QTest::newRow("nan and zero closes") << 2 << 2;
        QTest::newRow("flat") << 3 << 30;
        QTest::newRow("missing open high low") << 4 << 3;
    }
    void klineBadInput()
    {
        QFETCH(int, kind);
        QFETCH(int, bars);
        std::vector<quoter::KLineData> in;
        int64_t day = int64_t(CStockManager::dateFromYmd(2024, 1, 2)) * 1000;
        switch (kind) {
        case 1: in.push_back(bar(day, 10, 10.5, 9.5, 10.2, 100)); break;
        case 2:
            for (double c : {kNaN, 0.0, 10.0, -3.0, 11.0})
                in.push_back(bar(day += 86400000, 10, 12, 9, c, 100));
            break;
        case 3:
            for (int i = 0; i < 30; ++i)
                in.push_back(bar(day += 86400000, 10, 10, 10, 10, 0));
            break;
        case 4:
            for (int i = 0; i < 3; ++i)
                in.push_back(bar(day += 86400000, kNaN, 0.0, kNaN, 10 + i, 100));
            break;
        default: break;
        }
        CKLineMainWidget w;
        w.resize(800, 500);
        w.setBars(in);
        QCOMPARE(w.barCount(), bars);
        QVERIFY(!render(w).isNull());
        for (int i = 0; i < w.barCount(); ++i) {
            const quoter::KLineData& b = w.bar(i);
            QVERIFY(b.low <= std::min(b.open, b.close) && b.high >= std::max(b.open, b.close));
            const double y = w.priceY(b.close);
            QVERIFY(std::isfinite(y) && y >= w.priceRect().top() && y <= w.priceRect().bottom());
        }
        w.switchCrossline();
        QTest::keyClick(&w, Qt::Key_Left);
        QVERIFY(!render(w).isNull());
    }

    // Unknown and suspended instruments: no request, or no price to draw.
    void emptyInstruments()
    {
        const int subs = CFormulaManager::instance()->pushSubscriptionCount();
        CRealtimeMainWidget intraday;
        CKLineMainWidget kline;
        intraday.resize(400, 300);
        kline.resize(400, 300);
        for (const QString& key : {QString(), QStringLiteral("999999.SH")}) {
            intraday.setStock(key, true);
            kline.setStock(key);
            intraday.request(false);
            kline.request(false);
            QVERIFY(!intraday.isRequested() && !kline.isRequested());
            QCOMPARE(intraday.lastSlot(), -1);
            QCOMPARE(kline.barCount(), 0);
            QVERIFY(!render(intraday).isNull() && !render(kline).isNull());
        }
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), subs);

        // suspended: a snapshot without a trade gives the reference and no price
        CRealtimeMainWidget suspended;
        suspended.resize(400, 300);
        suspended.setSessions({{at(9, 30), at(11, 30)}, {at(13, 0), at(15, 0)}});
        quoter::QuoterAllData q = TestMarket::quote(0.0, 8.0, 0);
        q.openInterestOrPhase = quoter::PhaseSuspended;
        q.time = at(10, 0);
        suspended.applyQuote(q);
        QCOMPARE(suspended.lastSlot(), -1);
        QCOMPARE(suspended.preClose(), 8.0);
        QVERIFY(!render(suspended).isNull());
    }

    void params_data()
    {
        QTest::addColumn<QString>("realtime");
        QTest::addColumn<QString>("kline");
        QTest::addColumn<bool>("applied");
        QTest::newRow("round trip") << R"({"average":false,"volumeShare":30})"
                                    << R"({"barWidth":11,"ma":[5,30,60],"volumeShare":30})" << true;
        QTest::newRow("strings for numbers") << R"({"average":"false","volumeShare":"30"})"
                                             << R"({"barWidth":"11","ma":"5"})" << false;
        QTest::newRow("out of range") << R"({"volumeShare":900})"
                                      << R"({"barWidth":6,"ma":[0,-1,99999]})" << false;
        QTest::newRow("truncated") << R"({"average":fal)"
                                   << R"({"barWidth":11,"ma":[5,)" << false;
        QTest::newRow("not an object") << "[1,2]"
                                       << "42" << false;
        QTest::newRow("deep") << QString(5000, QLatin1Char('[')) << QString(5000, QLatin1Char('{'))
                              << false;
    }
    void params()
    {
        QFETCH(QString, realtime);
        QFETCH(QString, kline);
        QFETCH(bool, applied);
        CRealtimeMainWidget r;
        CKLineMainWidget k;
        const QString r0 = r.param(), k0 = k.param(true);
        r.setParam(realtime);
        k.setParam(kline);
        if (!applied) {
            QCOMPARE(r.param(), r0);
            QCOMPARE(k.param(true), k0);
            return;
        }
        QVERIFY(!r.averageShown());
        QCOMPARE(r.volumeShare(), 30);
        QCOMPARE(k.barWidth(), 11);
        QCOMPARE(k.maPeriod(2), 60);
        CRealtimeMainWidget r2;
        CKLineMainWidget k2;
        r2.setParam(r.param());
        k2.setParam(k.param(true));
        QCOMPARE(r2.param(), r.param());
        QCOMPARE(k2.param(true), k.param(true));
    }

    // A feed thread pushes while the charts go away: the subscriptions end with them and
    // nothing posted before reaches them afterwards.
    void destroyWhilePushing()
    {
        const int subs = CFormulaManager::instance()->pushSubscriptionCount();
        auto intraday = std::make_unique<CRealtimeMainWidget>();
        auto kline = std::make_unique<CKLineMainWidget>();
        intraday->setStock(kKey, false);
        kline->setStock(kKey);
        intraday->request(false);
        kline->request(false);
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), subs + 2);
        TestMarket::startFeed(1);
        QTRY_VERIFY_WITH_TIMEOUT(intraday->pushCount() > 3 && kline->pushCount() > 3, 20000);
        intraday.reset();
        kline.reset();
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), subs);
        QTest::qWait(0);
        QCoreApplication::processEvents();
        TestMarket::stopFeed();
    }
};

QTEST_MAIN(TestCharts)
#include "tst_charts.moc"

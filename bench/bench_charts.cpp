// The host's intraday and k-line charts beside a naive QPainter chart that recomputes its
// scales and draws everything as antialiased paths and texts on every paint: a full
// intraday paint (241 minutes with volumes), a full k-line paint (250 candles, three
// moving averages, volumes), both at 800x500, and a push that moves the last minute.

#include "bench/BenchCommon.h"

#include "host/charts/CKLineMainWidget.h"
#include "host/charts/CRealtimeMainWidget.h"
#include "host/data/StockManager.h"
#include "host/market/TestMarket.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <memory>

namespace ttbench {
namespace {

constexpr int kWidth = 800, kHeight = 500;
constexpr int kMinutes = 241, kDays = 250;

int64_t marketTime(int h, int m)
{
    return ttmarket::TestMarket::at(2024, 6, 7, h, m);
}

QVector<QPair<int64_t, int64_t>> sessions()
{
    return {{marketTime(9, 30), marketTime(11, 30)}, {marketTime(13, 0), marketTime(15, 0)}};
}

// A day of minutes wandering around the previous close of 10.
std::vector<quoter::KLineData> minuteBars()
{
    std::vector<quoter::KLineData> out;
    double price = 10.0;
    for (int i = 0; i < kMinutes; ++i) {
        const int64_t start = i <= 120 ? marketTime(9, 30) : marketTime(13, 0) - 120 * 60000;
        quoter::KLineData b;
        b.time = start + int64_t(i) * 60000;
        b.open = price;
        price *= 1.0 + 0.002 * std::sin(i * 0.37) + 0.0007 * std::cos(i * 1.3);
        b.close = price;
        b.high = std::max(b.open, b.close) + 0.01;
        b.low = std::min(b.open, b.close) - 0.01;
        b.volume = 1000 + (i * 7919) % 3000;
        b.amount = double(b.volume) * 100.0 * price;
        out.push_back(b);
    }
    return out;
}

std::vector<quoter::KLineData> dailyBars()
{
    std::vector<quoter::KLineData> out;
    const int first = TC::CStockManager::dateFromYmd(2023, 5, 4);
    double price = 10.0;
    for (int i = 0; i < kDays; ++i) {
        quoter::KLineData b;
        b.time = (int64_t(first) + int64_t(i) * 86400) * 1000;
        b.open = price;
        price *= 1.0 + 0.02 * std::sin(i * 0.41) + 0.01 * std::cos(i * 2.1);
        b.close = price;
        b.high = std::max(b.open, b.close) * 1.01;
        b.low = std::min(b.open, b.close) * 0.99;
        b.volume = 100000 + (i * 7919) % 50000;
        out.push_back(b);
    }
    return out;
}

// The naive chart: everything from the data on every paint.
class NaiveChart : public QWidget {
public:
    std::vector<quoter::KLineData> bars;
    double preClose = 10.0;
    bool candles = false;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.fillRect(rect(), Qt::black);
        const QRectF plot(60, 4, width() - 120, (height() - 22) * 0.72);
        const QRectF vol(60, plot.bottom() + 4, plot.width(), height() - 22 - plot.height() - 8);
        double lo = 1e300, hi = -1e300, vmax = 1;
        for (const auto& b : bars) {
            lo = std::min(lo, candles ? b.low : b.close);
            hi = std::max(hi, candles ? b.high : b.close);
            vmax = std::max(vmax, double(b.volume));
        }
        if (!candles) {
            const double dev = std::max(std::fabs(hi - preClose), std::fabs(lo - preClose));
            lo = preClose - dev;
            hi = preClose + dev;
        }
        auto y = [&](double v) { return plot.bottom() - (v - lo) / (hi - lo) * plot.height(); };
        const double step = plot.width() / std::max<size_t>(1, bars.size());
        p.setPen(QColor(60, 60, 60));
        for (int k = 0; k <= 8; ++k) {
            const double gy = plot.top() + plot.height() * k / 8;
            QPainterPath grid;
            grid.moveTo(plot.left(), gy);
            grid.lineTo(plot.right(), gy);
            p.drawPath(grid);
            p.drawText(QPointF(4, gy + 4), QString::number(lo + (hi - lo) * (8 - k) / 8, 'f', 2));
            p.drawText(
                QPointF(plot.right() + 4, gy + 4),
                QString::number(((lo + (hi - lo) * (8 - k) / 8) / preClose - 1) * 100, 'f', 2)
                    + QLatin1Char('%'));
        }
        QPainterPath price, average, ma[3];
        double amount = 0, volume = 0;
        for (size_t i = 0; i < bars.size(); ++i) {
            const auto& b = bars[i];
            const double x = plot.left() + (i + 0.5) * step;
            const QColor c = b.close >= b.open ? QColor(255, 50, 50) : QColor(0, 230, 0);
            p.setPen(c);
            p.setBrush(c);
            p.drawRect(QRectF(x - step / 3, vol.bottom() - b.volume / vmax * vol.height(),
                              step * 2 / 3, b.volume / vmax * vol.height()));
            if (candles) {
                p.drawLine(QPointF(x, y(b.high)), QPointF(x, y(b.low)));
                p.drawRect(QRectF(x - step / 3, std::min(y(b.open), y(b.close)), step * 2 / 3,
                                  std::fabs(y(b.open) - y(b.close))));
                const int periods[3] = {5, 10, 20};
                for (int l = 0; l < 3; ++l) {
                    if (int(i) + 1 < periods[l])
                        continue;
                    double sum = 0;
                    for (int k = 0; k < periods[l]; ++k)
                        sum += bars[i - k].close;
                    const QPointF pt(x, y(sum / periods[l]));
                    ma[l].elementCount() ? ma[l].lineTo(pt) : ma[l].moveTo(pt);
                }
            } else {
                amount += b.amount;
                volume += b.volume;
                const QPointF pt(x, y(b.close)), avg(x, y(amount / volume / 100));
                i ? price.lineTo(pt) : price.moveTo(pt);
                i ? average.lineTo(avg) : average.moveTo(avg);
            }
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(Qt::white);
        p.drawPath(price);
        p.setPen(Qt::yellow);
        p.drawPath(average);
        for (const auto& path : ma)
            p.drawPath(path);
    }
};

struct ChartWorld {
    std::unique_ptr<TC::CRealtimeMainWidget> intraday;
    std::unique_ptr<TC::CKLineMainWidget> kline;
    std::unique_ptr<NaiveChart> naiveIntraday, naiveKLine;
    std::vector<quoter::KLineData> minutes, days;
};

ChartWorld* g_charts = nullptr;

ChartWorld& charts()
{
    if (!g_charts) {
        g_charts = new ChartWorld;
        ChartWorld& c = *g_charts;
        c.minutes = minuteBars();
        c.days = dailyBars();
        c.intraday = std::make_unique<TC::CRealtimeMainWidget>();
        c.intraday->resize(kWidth, kHeight);
        c.intraday->setSessions(sessions());
        c.intraday->setMinuteBars(c.minutes, 10.0);
        c.kline = std::make_unique<TC::CKLineMainWidget>();
        c.kline->resize(kWidth, kHeight);
        c.kline->setParam(QStringLiteral(R"({"barWidth":1})")); // every candle in view
        c.kline->setBars(c.days);
        c.naiveIntraday = std::make_unique<NaiveChart>();
        c.naiveIntraday->resize(kWidth, kHeight);
        c.naiveIntraday->bars = c.minutes;
        c.naiveKLine = std::make_unique<NaiveChart>();
        c.naiveKLine->resize(kWidth, kHeight);
        c.naiveKLine->bars = c.days;
        c.naiveKLine->candles = true;
    }
    return *g_charts;
}

// Full paints of a chart into an image of its size, each after before().
template <class Before>
void renderEach(benchmark::State& state, QWidget& chart, Before before)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        before();
        chart.render(&image);
    }
}

// The library lays its scales and background out again each time.
void BM_ChartIntradayPaint_Library(benchmark::State& state)
{
    ChartWorld& c = charts();
    renderEach(state, *c.intraday, [&c] { c.intraday->updateView(); });
    state.counters["slots"] = c.intraday->lastSlot() + 1;
}

void BM_ChartIntradayPaint_Baseline(benchmark::State& state)
{
    renderEach(state, *charts().naiveIntraday, [] {});
}

void BM_ChartKLinePaint_Library(benchmark::State& state)
{
    ChartWorld& c = charts();
    renderEach(state, *c.kline, [&c] { c.kline->updateView(); });
    state.counters["candles"] = c.kline->lastVisible() - c.kline->firstVisible() + 1;
}

void BM_ChartKLinePaint_Baseline(benchmark::State& state)
{
    renderEach(state, *charts().naiveKLine, [] {});
}

// A push moving the last minute inside the scale, then the repaint it asks for, through
// the window system's backing store as on screen.
void BM_ChartPush_Library(benchmark::State& state)
{
    ChartWorld& c = charts();
    TC::CRealtimeMainWidget& w = *c.intraday;
    w.show();
    QCoreApplication::processEvents();
    const quint64 layouts = w.fullLayoutCount();
    quoter::QuoterAllData q;
    q.preClose = 10.0;
    q.time = marketTime(14, 59) + 30000;
    int64_t volume = 0;
    for (const auto& b : c.minutes)
        volume += b.volume;
    const double base = c.minutes.back().close;
    int flip = 0;
    for (auto _ : state) {
        q.last = base * (flip++ % 2 ? 1.0005 : 0.9995);
        q.volume = ++volume;
        q.amount = double(volume) * 100.0 * base;
        w.applyQuote(q);
        QCoreApplication::processEvents();
    }
    state.counters["full_layouts"] = double(w.fullLayoutCount() - layouts);
    w.hide();
}

void BM_ChartPush_Baseline(benchmark::State& state)
{
    ChartWorld& c = charts();
    NaiveChart& w = *c.naiveIntraday;
    w.show();
    QCoreApplication::processEvents();
    const double base = c.minutes.back().close;
    int flip = 0;
    for (auto _ : state) {
        w.bars.back().close = base * (flip++ % 2 ? 1.0005 : 0.9995);
        w.bars.back().volume += 1;
        w.update();
        QCoreApplication::processEvents();
    }
    w.hide();
}

} // namespace

void registerChartBenchmarks()
{
    benchmark::RegisterBenchmark("BM_ChartIntradayPaint_Library", BM_ChartIntradayPaint_Library)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ChartIntradayPaint_Baseline", BM_ChartIntradayPaint_Baseline)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ChartKLinePaint_Library", BM_ChartKLinePaint_Library)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ChartKLinePaint_Baseline", BM_ChartKLinePaint_Baseline)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ChartPush_Library", BM_ChartPush_Library)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ChartPush_Baseline", BM_ChartPush_Baseline)
        ->Unit(benchmark::kMillisecond);
}

void releaseChartWorld()
{
    delete g_charts;
    g_charts = nullptr;
}

} // namespace ttbench

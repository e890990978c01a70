// A whole sector of a large market: the host's start-up on it, the sector loaded to its
// first painted page, then pushed once. It replaces the universe the other areas share.

#include "bench/BenchCommon.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserDataModel.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/TestMarket.h"
#include "quoterbrowser/CWholeQuoteModel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace ttbench {
namespace {

struct LargeWorld {
    QTemporaryDir dir;
    QList<ttservice::CInstrumentDetailPtr> list;
    std::vector<MarketFeed> feeds;
    std::unique_ptr<TC::CBrowseWidget> widget;
    bool ready = false;
    // host start-up on the GUI thread, in ms: catalogue (read, generate, index), the
    // simulator's build, the sector tree and the start sector's list
    double catalogueCpuMs = 0, marketCpuMs = 0, sectorCpuMs = 0;
    int instruments = 0;
};

LargeWorld* g_large = nullptr;

} // namespace

// The curated data file plus extra A-share records (the format allows any number), so the
// generated universe holds about `stocks` A-shares. Codes come from ranges the generator
// leaves alone.
bool writeLargeData(const QString& dir, int stocks)
{
    const QString source = qEnvironmentVariable("TT_DATA_DIR", QStringLiteral(TT_BENCH_DATA_DIR));
    if (!QDir().mkpath(dir + QStringLiteral("/market")))
        return false;
    if (!QFile::copy(source + QStringLiteral("/market/calendar.txt"),
                     dir + QStringLiteral("/market/calendar.txt")))
        return false;
    QFile in(source + QStringLiteral("/market/instruments.txt"));
    QFile out(dir + QStringLiteral("/market/instruments.txt"));
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    out.write(in.readAll());
    const int current =
        int(TC::CSectorManager::instance()->getSectorStockList(QStringLiteral("沪深A股")).size());
    const int extra = std::max(0, stocks - current);
    static const char* const kIndustries[] = {"银行",     "电子",     "医药生物", "机械设备",
                                              "计算机",   "基础化工", "汽车",     "电力设备",
                                              "食品饮料", "有色金属", "传媒",     "交通运输"};
    QTextStream text(&out);
    text.setCodec("UTF-8");
    for (int i = 0; i < extra; ++i) {
        const bool sh = i % 2 == 0;
        const int code = (sh ? 700000 : 400000) + i / 2;
        text << QStringLiteral("stock|%1|%2|扩%3|%4|8.5|6.2|%5\n")
                    .arg(QLatin1String(sh ? "SH" : "SZ"))
                    .arg(code)
                    .arg(i)
                    .arg(QString::fromUtf8(
                        kIndustries[i % int(sizeof kIndustries / sizeof *kIndustries)]))
                    .arg(3.0 + (i % 997) * 0.05, 0, 'f', 2);
    }
    return text.status() == QTextStream::Ok;
}

namespace {

bool buildLargeWorld()
{
    if (g_large)
        return g_large->ready;
    g_large = new LargeWorld();
    LargeWorld& w = *g_large;
    if (!w.dir.isValid() || !writeLargeData(w.dir.path(), g_largeRows))
        return false;
    auto* market = ttmarket::EmbeddedMarket::instance();
    auto* stocks = TC::CStockManager::instance();
    double cpu = threadCpuSeconds();
    auto lap = [&cpu]() {
        const double now = threadCpuSeconds(), ms = (now - cpu) * 1e3;
        cpu = now;
        return ms;
    };
    if (!stocks->loadFromDir(w.dir.path(), ttmarket::EmbeddedMarket::kDefaultSeed, 0)) {
        std::fprintf(stderr, "large universe: %s\n", qPrintable(stocks->loadError()));
        return false;
    }
    w.catalogueCpuMs = lap();
    market->reset(ttmarket::EmbeddedMarket::kDefaultSeed);
    w.marketCpuMs = lap();
    w.list = TC::CSectorManager::instance()->getSectorStockList(QStringLiteral("沪深A股"));
    w.sectorCpuMs = lap();
    w.instruments = int(stocks->allInstruments().size());
    std::map<QString, size_t> feedOf;
    for (const auto& d : w.list) {
        auto it = feedOf.find(d->market);
        if (it == feedOf.end()) {
            it = feedOf.emplace(d->market, w.feeds.size()).first;
            w.feeds.push_back(MarketFeed{d->market, {}, {}});
        }
        w.feeds[it->second].codes.append(d->code);
    }
    for (int set = 0; set < 2; ++set) {
        ttmarket::TestMarket::stepClock(3000);
        market->simulate();
        for (MarketFeed& f : w.feeds) {
            std::vector<std::string> codes;
            for (const QString& c : f.codes)
                codes.push_back(c.toStdString());
            market->lastQuotes(f.market.toStdString(), codes, f.quotes[set]);
        }
    }
    w.ready = true;
    return true;
}

// The host's share of a start on a large market: the catalogue loaded and generated, the
// simulator built, the sector tree built and the start sector listed. Time is wall clock.
void BM_LargeStartup_Library(benchmark::State& state)
{
    for (auto _ : state) {
        QElapsedTimer wall;
        wall.start();
        const bool ok = buildLargeWorld();
        state.SetIterationTime(double(wall.nsecsElapsed()) / 1e9);
        if (!ok) {
            state.SkipWithError("large universe not built");
            return;
        }
    }
    const LargeWorld& w = *g_large;
    state.counters["instruments"] = w.instruments;
    state.counters["catalogue_cpu_ms"] = w.catalogueCpuMs;
    state.counters["market_cpu_ms"] = w.marketCpuMs;
    state.counters["sectors_cpu_ms"] = w.sectorCpuMs;
    state.counters["cpu_ms"] = w.catalogueCpuMs + w.marketCpuMs + w.sectorCpuMs;
}

// What a user waits for on switching to the whole market: rows built and filled from the
// cache, the cache read and subscriptions, the re-sort, and the first painted page.
void BM_LargeLoad_Library(benchmark::State& state)
{
    if (!buildLargeWorld()) {
        state.SkipWithError("large universe not built");
        return;
    }
    LargeWorld& w = *g_large;
    QImage image(1600, 900, QImage::Format_ARGB32_Premultiplied);
    double cpu = 0;
    for (auto _ : state) {
        const double cpuStart = threadCpuSeconds();
        w.widget.reset();
        w.widget.reset(new TC::CBrowseWidget(nullptr, false, TC::BrowseType_Default, 89));
        w.widget->resize(1600, 900);
        w.widget->setSectorName(QStringLiteral("沪深A股"));
        w.widget->resetTableColumn();
        bool announced = false;
        QEventLoop loop;
        QObject::connect(w.widget->wholeQuoteModel().get(),
                         &TC::CWholeQuoteModel::sigHistoryCallBack, &loop, [&]() {
                             announced = true;
                             loop.quit();
                         });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        w.widget->setStockList(w.list, false);
        w.widget->request();
        if (!announced)
            loop.exec();
        if (!announced) {
            state.SkipWithError("no cache announcement");
            return;
        }
        QPainter painter(&image);
        w.widget->render(&painter);
        cpu += threadCpuSeconds() - cpuStart;
    }
    state.counters["rows"] = double(w.widget->model()->size());
    state.counters["cpu_ms"] = cpu * 1e3 / double(std::max<int64_t>(1, state.iterations()));
}

void BM_LargePush_Library(benchmark::State& state)
{
    if (!g_large || !g_large->widget) {
        state.SkipWithError("large sector not loaded");
        return;
    }
    LargeWorld& w = *g_large;
    int flip = 0;
    for (auto _ : state) {
        const int set = (flip ^= 1);
        for (const MarketFeed& f : w.feeds)
            w.widget->formulaMarketQuoteBack(f.market, f.codes, f.quotes[set], false);
    }
}

} // namespace

void registerLargeBenchmarks()
{
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("BM_LargeStartup_Library", BM_LargeStartup_Library)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_LargeLoad_Library", BM_LargeLoad_Library)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_LargePush_Library", BM_LargePush_Library)->Unit(benchmark::kMillisecond);
}

void releaseLargeWorld()
{
    if (g_large)
        g_large->widget.reset();
}

} // namespace ttbench

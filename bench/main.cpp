// Speed of the browse table beside the naive Qt baseline, in one run.
//   tt_bench [--rows N] [--large-rows N] [--sustain-seconds S] [google benchmark flags]
//   tt_bench --write-large-data DIR [--large-rows N]   the large market's data folder
// Scenarios: load, push, re-sort, paint, column fitting, memory, sustained load, and a
// whole sector of a large market (--large-rows A-shares, 100,000 by default; 0 skips it)
// loaded and painted, then pushed once. The summary at the end prints library, baseline
// and baseline/library per scenario.

#include "bench/BenchBaseline.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/FormulaManager.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/UiResource.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <malloc.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace {

int g_rows = 5000;
int g_largeRows = 100000;
int g_sustainSeconds = 10;
const char* g_largeDataOut = nullptr; // --write-large-data: the folder, then exit

// Per market: codes and two snapshot sets that differ, so every push changes values.
struct MarketFeed {
    QString market;
    QVector<QString> codes;
    std::vector<quoter::QuoterAllDataPtr> quotes[2];
};

struct World {
    std::vector<ttservice::CInstrumentDetailPtr> instruments;
    QList<ttservice::CInstrumentDetailPtr> list;
    std::vector<MarketFeed> feeds;
    std::vector<quoter::QuoterAllDataPtr> loadQuotes; // parallel to instruments
    std::unique_ptr<TC::CBrowseWidget> widget;
    std::unique_ptr<BaselineTable> baseline;
    int flip = 0;
};

World* g_world = nullptr;

QStringList baselineTitles(TC::CBrowseWidget& widget)
{
    QStringList titles;
    for (const TC::ColumnInfo& c : widget.columnList())
        titles.append(c.title);
    return titles;
}

void buildWorld()
{
    auto* w = new World();
    g_world = w;
    ttmarket::TestMarket::setClock(ttmarket::TestMarket::at(2024, 6, 7, 10, 30));
    auto* market = ttmarket::EmbeddedMarket::instance();
    market->reset(ttmarket::EmbeddedMarket::kDefaultSeed);
    const auto all = TC::CSectorManager::instance()->getSectorStockList(QStringLiteral("沪深A股"));
    for (const auto& d : all) {
        if (int(w->instruments.size()) >= g_rows)
            break;
        w->instruments.push_back(d);
        w->list.append(d);
    }
    std::map<QString, size_t> feedOf;
    for (const auto& d : w->instruments) {
        auto it = feedOf.find(d->market);
        if (it == feedOf.end()) {
            it = feedOf.emplace(d->market, w->feeds.size()).first;
            w->feeds.push_back(MarketFeed{d->market, {}, {}});
        }
        w->feeds[it->second].codes.append(d->code);
    }
    for (int set = 0; set < 2; ++set) {
        ttmarket::TestMarket::stepClock(3000);
        market->simulate();
        for (MarketFeed& f : w->feeds) {
            std::vector<std::string> codes;
            for (const QString& c : f.codes)
                codes.push_back(c.toStdString());
            market->lastQuotes(f.market.toStdString(), codes, f.quotes[set]);
        }
    }
    for (const auto& d : w->instruments)
        w->loadQuotes.push_back(market->lastQuote(d->market.toStdString(), d->code.toStdString()));

    w->widget.reset(new TC::CBrowseWidget(nullptr, false, 0, 88));
    w->widget->resize(1600, 900);
    w->widget->setSectorName(QStringLiteral("沪深A股"));
    w->widget->resetTableColumn();
    w->widget->setIsResetSelectStock(true);
    w->widget->setStockList(w->list, false);
    w->widget->sortByRate();
    w->widget->setAttribute(Qt::WA_DontShowOnScreen);
    w->widget->show();
    w->baseline.reset(new BaselineTable(baselineTitles(*w->widget)));
    w->baseline->load(w->instruments, w->loadQuotes);
    w->baseline->sortByRatio();
    w->baseline->view()->setAttribute(Qt::WA_DontShowOnScreen);
    w->baseline->view()->show();
    QCoreApplication::processEvents();
}

void pushLibrary(World& w)
{
    const int set = (w.flip ^= 1);
    for (const MarketFeed& f : w.feeds)
        w.widget->formulaMarketQuoteBack(f.market, f.codes, f.quotes[set], false);
}

void pushBaseline(World& w)
{
    const int set = (w.flip ^= 1);
    for (const MarketFeed& f : w.feeds)
        w.baseline->push(f.codes, f.quotes[set]);
}

void BM_Load_Library(benchmark::State& state)
{
    World& w = *g_world;
    for (auto _ : state)
        w.widget->setStockList(w.list, false);
    w.widget->sortByRate();
}

void BM_Load_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    w.baseline->setDynamicSort(false);
    for (auto _ : state)
        w.baseline->load(w.instruments, w.loadQuotes);
    w.baseline->setDynamicSort(true);
    w.baseline->sortByRatio();
}

void BM_Push_Library(benchmark::State& state)
{
    for (auto _ : state)
        pushLibrary(*g_world);
}

void BM_Push_Baseline(benchmark::State& state)
{
    g_world->baseline->setDynamicSort(true);
    for (auto _ : state)
        pushBaseline(*g_world);
}

void BM_Resort_Library(benchmark::State& state)
{
    World& w = *g_world;
    w.widget->setStock(w.widget->getStock(w.widget->model()->size() / 2));
    for (auto _ : state) {
        state.PauseTiming();
        pushLibrary(w);
        state.ResumeTiming();
        w.widget->resort();
    }
}

void BM_Resort_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    w.baseline->setDynamicSort(false);
    w.baseline->view()->selectRow(w.instruments.size() / 2);
    for (auto _ : state) {
        state.PauseTiming();
        pushBaseline(w);
        state.ResumeTiming();
        w.baseline->sortByRatio();
    }
    w.baseline->setDynamicSort(true);
}

void BM_Paint_Library(benchmark::State& state)
{
    World& w = *g_world;
    QImage image(1600, 900, QImage::Format_ARGB32_Premultiplied);
    pushLibrary(w);
    const quint64 before = XP::CBaseHighPerformanceTable::s_nCellTextCount;
    for (auto _ : state) {
        QPainter painter(&image);
        w.widget->render(&painter);
    }
    state.counters["data_calls"] = double(XP::CBaseHighPerformanceTable::s_nCellTextCount - before)
                                   / double(state.iterations());
}

void BM_Paint_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    QImage image(1600, 900, QImage::Format_ARGB32_Premultiplied);
    pushBaseline(w);
    const quint64 before = w.baseline->model()->dataCalls;
    for (auto _ : state) {
        QPainter painter(&image);
        w.baseline->view()->render(&painter);
    }
    state.counters["data_calls"] =
        double(w.baseline->model()->dataCalls - before) / double(state.iterations());
}

void BM_FitColumns_Library(benchmark::State& state)
{
    for (auto _ : state)
        g_world->widget->table()->fitColumnWidthsToVisibleRows();
}

void BM_FitColumns_Baseline(benchmark::State& state)
{
    for (auto _ : state)
        g_world->baseline->view()->resizeColumnsToContents();
}

size_t heapInUse()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

void BM_Memory_Library(benchmark::State& state)
{
    World& w = *g_world;
    for (auto _ : state) {
        auto widget = std::make_unique<TC::CBrowseWidget>(nullptr, false, 0, 88);
        widget->setSectorName(QStringLiteral("沪深A股"));
        const size_t before = heapInUse();
        widget->setStockList(w.list, false);
        const size_t after = heapInUse();
        state.counters["bytes_per_row"] = double(after - before) / double(w.list.size());
    }
}

void BM_Memory_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    for (auto _ : state) {
        BaselineTable table(baselineTitles(*w.widget));
        const size_t before = heapInUse();
        table.load(w.instruments, w.loadQuotes);
        const size_t after = heapInUse();
        state.counters["bytes_per_row"] = double(after - before) / double(w.instruments.size());
    }
}

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Runs the event loop while the feed pushes every market ten times a second; reports the
// GUI thread's CPU share and the longest gap of a 10 ms probe timer beyond its interval.
void runSustained(benchmark::State& state, const std::function<void()>& subscribe,
                  const std::function<void()>& unsubscribe)
{
    auto* market = ttmarket::EmbeddedMarket::instance();
    for (auto _ : state) {
        subscribe();
        QElapsedTimer wall;
        QElapsedTimer probeClock;
        qint64 longest = 0;
        QTimer probe;
        probe.setInterval(10);
        QObject::connect(&probe, &QTimer::timeout,
                         [&]() { longest = std::max(longest, probeClock.restart() - 10); });
        market->start(100);
        const double cpu0 = threadCpuSeconds();
        wall.start();
        probeClock.start();
        probe.start();
        QEventLoop loop;
        QTimer::singleShot(g_sustainSeconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        probe.stop();
        const double cpu = threadCpuSeconds() - cpu0;
        const double seconds = wall.elapsed() / 1000.0;
        market->stop();
        unsubscribe();
        QCoreApplication::processEvents();
        state.counters["gui_busy_pct"] = 100.0 * cpu / seconds;
        state.counters["longest_stall_ms"] = double(longest);
    }
}

void BM_Sustained_Library(benchmark::State& state)
{
    World& w = *g_world;
    runSustained(
        state, [&]() { w.widget->request(); }, [&]() { w.widget->unrequest(); });
}

void BM_Sustained_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    std::vector<std::pair<int, std::string>> ids;
    QObject receiver;
    auto subscribe = [&]() {
        w.baseline->setDynamicSort(true);
        for (const MarketFeed& f : w.feeds) {
            dorn::PushQuoteParam param(f.market.toStdString());
            BaselineTable* table = w.baseline.get();
            const int id = TC::CFormulaManager::instance()->requestPushQuoter(
                param,
                [table, &receiver](dorn::PushQuoteParam&, const QVector<QString>& codes,
                                   const QVector<QString>&,
                                   const std::vector<quoter::QuoterAllDataPtr>& quotes) {
                    QMetaObject::invokeMethod(
                        &receiver, [table, codes, quotes]() { table->push(codes, quotes); },
                        Qt::QueuedConnection);
                },
                TC::CFormulaManager::ePushAll);
            ids.emplace_back(id, param.market);
        }
    };
    auto unsubscribe = [&]() {
        for (const auto& id : ids)
            TC::CFormulaManager::instance()->unrequestPushQuoter(id.first,
                                                                 dorn::PushQuoteParam(id.second));
        ids.clear();
    };
    runSustained(state, subscribe, unsubscribe);
}

// --- a large market ------------------------------------------------------------------

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
        w.widget.reset(new TC::CBrowseWidget(nullptr, false, 0, 89));
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

// Collects every run so the summary can set library and baseline side by side.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    struct Figure {
        double timeMs = -1;
        std::map<std::string, double> counters;
    };
    std::map<std::string, Figure> figures;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            Figure f;
            f.timeMs = run.GetAdjustedRealTime() * multiplier(run.time_unit) * 1e3;
            for (const auto& c : run.counters)
                f.counters[c.first] = c.second.value;
            figures[run.benchmark_name()] = f;
        }
    }

    static double multiplier(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond: return 1e-9;
        case benchmark::kMicrosecond: return 1e-6;
        case benchmark::kMillisecond: return 1e-3;
        default: return 1.0;
        }
    }

    void printSummary()
    {
        std::printf("\n%-28s %16s %16s %10s\n", "scenario", "library", "baseline", "ratio");
        line("load (ms)", "BM_Load", "", 0);
        line("push (ms)", "BM_Push", "", 0);
        line("re-sort by 涨幅 (ms)", "BM_Resort", "", 0);
        line("paint 1600x900 (ms)", "BM_Paint", "", 0);
        line("paint data() calls", "BM_Paint", "data_calls", 0);
        line("fit column widths (ms)", "BM_FitColumns", "", 0);
        line("memory (bytes/row)", "BM_Memory", "bytes_per_row", 0);
        line("sustained GUI busy (%)", "BM_Sustained", "gui_busy_pct", 0);
        line("sustained longest stall (ms)", "BM_Sustained", "longest_stall_ms", 0);
        line("large market instruments", "BM_LargeStartup", "instruments", 0);
        line("large host start-up (ms)", "BM_LargeStartup", "", 0);
        line("large start-up CPU (ms)", "BM_LargeStartup", "cpu_ms", 0);
        line("  catalogue CPU (ms)", "BM_LargeStartup", "catalogue_cpu_ms", 0);
        line("  simulator CPU (ms)", "BM_LargeStartup", "market_cpu_ms", 0);
        line("  sector tree CPU (ms)", "BM_LargeStartup", "sectors_cpu_ms", 0);
        line("large sector rows", "BM_LargeLoad", "rows", 0);
        line("large load to painted (ms)", "BM_LargeLoad", "", 0);
        line("large load CPU (ms)", "BM_LargeLoad", "cpu_ms", 0);
        line("large push (ms)", "BM_LargePush", "", 0);
    }

private:
    const Figure* find(const std::string& prefix)
    {
        for (const auto& entry : figures) {
            if (entry.first.rfind(prefix, 0) == 0)
                return &entry.second;
        }
        return nullptr;
    }
    void line(const char* label, const std::string& name, const std::string& counter, int)
    {
        const Figure* lib = find(name + "_Library");
        const Figure* base = find(name + "_Baseline");
        auto value = [&](const Figure* f) {
            if (!f)
                return -1.0;
            if (counter.empty())
                return f->timeMs;
            auto it = f->counters.find(counter);
            return it == f->counters.end() ? -1.0 : it->second;
        };
        const double a = value(lib), b = value(base);
        char la[32], lb[32], lr[32];
        std::snprintf(la, sizeof la, a < 0 ? "not available" : "%.3f", a);
        std::snprintf(lb, sizeof lb, b < 0 ? "not available" : "%.3f", b);
        std::snprintf(lr, sizeof lr, a > 0 && b >= 0 ? "%.1fx" : "-", a > 0 ? b / a : 0.0);
        std::printf("%-28s %16s %16s %10s\n", label, la, lb, lr);
    }
};

} // namespace

int main(int argc, char** argv)
{
    // own flags first; the rest goes to Google Benchmark
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rows") && i + 1 < argc)
            g_rows = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--large-rows") && i + 1 < argc)
            g_largeRows = std::max(0, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--write-large-data") && i + 1 < argc)
            g_largeDataOut = argv[++i];
        else if (!std::strcmp(argv[i], "--sustain-seconds") && i + 1 < argc)
            g_sustainSeconds = std::max(1, std::atoi(argv[++i]));
        else
            rest.push_back(argv[i]);
    }
    int restCount = int(rest.size());
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(restCount, rest.data());
    ttmarket::installEmbeddedBackend();
    if (g_largeDataOut) { // a data folder for the demo (TT_DATA_DIR) at --large-rows A-shares
        const bool ok = writeLargeData(QString::fromLocal8Bit(g_largeDataOut), g_largeRows);
        std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "cannot write",
                     g_largeDataOut);
        return ok ? 0 : 1;
    }
    benchmark::Initialize(&restCount, rest.data());
    buildWorld();

    using benchmark::RegisterBenchmark;
    RegisterBenchmark("BM_Load_Library", BM_Load_Library)->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_Load_Baseline", BM_Load_Baseline)->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_Push_Library", BM_Push_Library)->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_Push_Baseline", BM_Push_Baseline)->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_Resort_Library", BM_Resort_Library)->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_Resort_Baseline", BM_Resort_Baseline)->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_Paint_Library", BM_Paint_Library)->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_Paint_Baseline", BM_Paint_Baseline)->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_FitColumns_Library", BM_FitColumns_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_FitColumns_Baseline", BM_FitColumns_Baseline)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_Memory_Library", BM_Memory_Library)->Iterations(1);
    RegisterBenchmark("BM_Memory_Baseline", BM_Memory_Baseline)->Iterations(1);
    RegisterBenchmark("BM_Sustained_Library", BM_Sustained_Library)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_Sustained_Baseline", BM_Sustained_Baseline)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    if (g_largeRows > 0) {
        // last: it replaces the universe the scenarios above share
        RegisterBenchmark("BM_LargeStartup_Library", BM_LargeStartup_Library)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        RegisterBenchmark("BM_LargeLoad_Library", BM_LargeLoad_Library)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
        RegisterBenchmark("BM_LargePush_Library", BM_LargePush_Library)
            ->Unit(benchmark::kMillisecond);
    }

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    g_world->widget.reset();
    g_world->baseline.reset();
    if (g_large)
        g_large->widget.reset();
    ttmarket::TestMarket::restore();
    benchmark::Shutdown();
    return 0;
}

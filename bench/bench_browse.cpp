// The browse table beside its baseline: load, push, re-sort, paint, column fitting, memory
// and a sustained live feed.

#include "bench/BenchCommon.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/FormulaManager.h"
#include "host/market/EmbeddedMarket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTableView>
#include <QTimer>

#include <malloc.h>

#include <algorithm>
#include <functional>

namespace ttbench {
namespace {

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
        auto widget =
            std::make_unique<TC::CBrowseWidget>(nullptr, false, TC::BrowseType_Default, 88);
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

// Runs the event loop while the feed pushes every market ten times a second; reports the
// GUI thread's CPU share and the longest gap of a 10 ms probe timer beyond its interval.
void runSustained(benchmark::State& state, const std::function<void()>& subscribe,
                  const std::function<void()>& unsubscribe)
{
    auto* market = ttmarket::EmbeddedMarket::instance();
    for (auto _ : state) {
        subscribe();
        market->start(100);
        const SustainFigures f = runSustainedLoop();
        market->stop();
        unsubscribe();
        QCoreApplication::processEvents();
        state.counters["gui_busy_pct"] = f.guiBusyPct;
        state.counters["longest_stall_ms"] = double(f.longestStallMs);
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

} // namespace

void registerBrowseBenchmarks()
{
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
}

} // namespace ttbench

// Speed of the browse table beside the naive Qt baseline, in one run.
//   tt_bench [--rows N] [--large-rows N] [--sustain-seconds S] [google benchmark flags]
//   tt_bench --write-large-data DIR [--large-rows N]   the large market's data folder
// Scenarios: load, push, re-sort, paint, column fitting, memory, sustained load, an MA(5)
// column computed over the rows by the formula service; for the compact quote list: paint,
// live re-sort and sector switch; a whole sector of a large market (--large-rows A-shares,
// 100,000 by default; 0 skips it) loaded and painted, then pushed once; the option T-board.
// The summary at the end prints library, baseline and baseline/library per scenario.
// Each area's scenarios live in their own bench_*.cpp; the shared world and summary in
// BenchCommon.

#include "bench/BenchCommon.h"

#include "browse/CBrowseWidget.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/TestMarket.h"
#include "quoterbrowser/CQuoterBrowserWidget.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char* g_largeDataOut = nullptr; // --write-large-data: the folder, then exit

} // namespace

int main(int argc, char** argv)
{
    using namespace ttbench;
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
    buildCompact(*g_world);

    registerBrowseBenchmarks();
    registerIndicatorBenchmarks();
    registerStageBenchmarks();
    registerCompactBenchmarks();
    registerBusBenchmarks();
    registerSearchBenchmarks();
    registerDataBenchmarks();
    registerPositionBenchmarks();
    registerChartBenchmarks();
    registerParamBenchmarks();
    registerViewBenchmarks();
    // last: it replaces the universe the scenarios above share
    if (g_largeRows > 0)
        registerLargeBenchmarks();
    // the option scenarios replace the universe: they run last
    registerOptionBenchmarks();

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    releaseParamWorld();
    releaseViewWorld();
    g_world->widget.reset();
    g_world->baseline.reset();
    releaseDataWorld();
    releasePositionWorld();
    releaseLargeWorld();
    g_world->compact.reset();
    g_world->compactBaseline.reset();
    releaseOptionWorld();
    releaseChartWorld();
    ttmarket::TestMarket::restore();
    benchmark::Shutdown();
    return 0;
}

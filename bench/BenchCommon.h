#pragma once
// What the benchmark areas share: the command-line sizes, the browse world the scenarios
// run on, and the summary that sets library and baseline side by side. Each area registers
// its own scenarios; main registers the areas in the order they must run.

#include "bench/BenchBaseline.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/Quote.h"

#include <benchmark/benchmark.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QEventLoop;

namespace TC {
class CBrowseWidget;
class CQuoterBrowserWidget;
} // namespace TC

namespace ttbench {

extern int g_rows;
extern int g_largeRows;
extern int g_sustainSeconds;

// Per market: codes and two snapshot sets that differ, so every push changes values.
struct MarketFeed {
    QString market;
    QVector<QString> codes;
    std::vector<quoter::QuoterAllDataPtr> quotes[2];
};

struct World {
    World();
    ~World();

    std::vector<ttservice::CInstrumentDetailPtr> instruments;
    QList<ttservice::CInstrumentDetailPtr> list;
    std::vector<MarketFeed> feeds;
    std::vector<quoter::QuoterAllDataPtr> loadQuotes; // parallel to instruments
    std::unique_ptr<TC::CBrowseWidget> widget;
    std::unique_ptr<BaselineTable> baseline;
    int flip = 0;

    // the compact list over a user sector of the same instruments
    QString compactSector;
    std::vector<quoter::QuoterAllDataPtr> compactQuotes[2]; // the push sets, parallel
    std::unique_ptr<TC::CQuoterBrowserWidget> compact;
    std::unique_ptr<BaselineCompactList> compactBaseline;
    int compactFlip = 0;
};

extern World* g_world;

// The browse widget and its baseline over the first --rows A-shares, with two push sets.
void buildWorld();
QStringList baselineTitles(TC::CBrowseWidget& widget);
double threadCpuSeconds();

// One run of an event loop under a precise 10 ms probe timer, whose longest delay beyond
// its interval is the longest stall; then the events the run left posted.
struct LoopFigures {
    double wallMs = 0;
    double guiCpuMs = 0;
    double processCpuMs = 0; // all threads
    qint64 longestStallMs = 0;
    qint64 openGapMs = 0; // the probe's last, unfinished gap
};
// start() begins the work and arranges for the loop to quit when it is done.
LoopFigures runProbedLoop(const std::function<void(QEventLoop&)>& start);

// The event loop run for --sustain-seconds under a (coarse) probe timer: the GUI thread's
// busy share and the longest stall.
struct SustainFigures {
    double guiBusyPct = 0;
    qint64 longestStallMs = 0;
};
SustainFigures runSustainedLoop();

// browse table: load, push, re-sort, paint, fit, memory, sustained load
void registerBrowseBenchmarks();
// an MA(5) column computed by the formula service
void registerIndicatorBenchmarks();
// an interval statistic column, the visible page's ticks and an earlier trade date
void registerStageBenchmarks();
// the compact quote list; buildCompact() sets it up on the browse world
void buildCompact(World& w);
void registerCompactBenchmarks();
// search filter by code, name and pinyin initials; filling a large user sector
void registerSearchBenchmarks();
// a whole sector of a large market; replaces the shared universe
bool writeLargeData(const QString& dir, int stocks);
void registerLargeBenchmarks();
void releaseLargeWorld();
// the option T-board; replaces the shared universe
void registerOptionBenchmarks();
void releaseOptionWorld();
// data columns: statistics row, net buying, external table
void registerDataBenchmarks();
void releaseDataWorld();

// the quote bus beside the in-process backend; each scenario starts its own nats-server
void registerBusBenchmarks();

// the position list over 20 accounts; its world is built on first use
void registerPositionBenchmarks();
void releasePositionWorld();
// the host's intraday and k-line charts over bars of their own
void registerChartBenchmarks();
void releaseChartWorld();

// saving and restoring a table's parameter string and value file
void registerParamBenchmarks();
void releaseParamWorld();

// the browse view: sector switch, search filter, its parameter string and start-up
void registerViewBenchmarks();
void releaseViewWorld();

// Collects every run so the summary can set library and baseline side by side.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    struct Figure {
        double timeMs = -1;
        std::map<std::string, double> counters;
    };
    std::map<std::string, Figure> figures;

    void ReportRuns(const std::vector<Run>& runs) override;
    static double multiplier(benchmark::TimeUnit unit);
    void printSummary();

private:
    const Figure* find(const std::string& prefix);
    void line(const char* label, const std::string& name, const std::string& counter, int);
};

} // namespace ttbench

#include "bench/BenchCommon.h"

#include "browse/CBrowseWidget.h"
#include "host/data/ColumnInfo.h"
#include "host/data/SectorManager.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/TestMarket.h"
#include "quoterbrowser/CQuoterBrowserWidget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableView>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <cstdio>

namespace ttbench {

int g_rows = 5000;
int g_largeRows = 100000;
int g_sustainSeconds = 10;

World::World() = default;
World::~World() = default;

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

    w->widget.reset(new TC::CBrowseWidget(nullptr, false, TC::BrowseType_Default, 88));
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

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

namespace {

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// A 10 ms timer on the GUI thread: its longest delay beyond the interval is the longest
// stall of the event loop it runs in.
class StallProbe final {
public:
    explicit StallProbe(Qt::TimerType type = Qt::CoarseTimer)
    {
        m_timer.setTimerType(type);
        m_timer.setInterval(kIntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this]() {
            m_longest = std::max(m_longest, m_clock.restart() - kIntervalMs);
        });
    }
    StallProbe(const StallProbe&) = delete;
    StallProbe& operator=(const StallProbe&) = delete;

    void start()
    {
        m_clock.start();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    qint64 longest() const { return m_longest; }
    // the delay of the timeout still due, beyond the interval
    qint64 openGap() const { return m_clock.elapsed() - kIntervalMs; }

private:
    static constexpr int kIntervalMs = 10;
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_longest = 0;
};

} // namespace

LoopFigures runProbedLoop(const std::function<void(QEventLoop&)>& start)
{
    LoopFigures f;
    QElapsedTimer wall;
    StallProbe probe(Qt::PreciseTimer);
    QEventLoop loop;
    const double cpu0 = threadCpuSeconds();
    const double process0 = processCpuSeconds();
    wall.start();
    probe.start();
    start(loop);
    loop.exec();
    probe.stop();
    f.openGapMs = probe.openGap();
    f.longestStallMs = probe.longest();
    f.wallMs = double(wall.nsecsElapsed()) / 1e6;
    f.guiCpuMs = (threadCpuSeconds() - cpu0) * 1e3;
    f.processCpuMs = (processCpuSeconds() - process0) * 1e3;
    QCoreApplication::processEvents();
    return f;
}

SustainFigures runSustainedLoop()
{
    StallProbe probe;
    const double cpu0 = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    probe.start();
    QEventLoop loop;
    QTimer::singleShot(g_sustainSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    probe.stop();
    const double cpu = threadCpuSeconds() - cpu0;
    const double seconds = wall.elapsed() / 1000.0;
    return {100.0 * cpu / seconds, probe.longest()};
}

void SummaryReporter::ReportRuns(const std::vector<Run>& runs)
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

double SummaryReporter::multiplier(benchmark::TimeUnit unit)
{
    switch (unit) {
    case benchmark::kNanosecond: return 1e-9;
    case benchmark::kMicrosecond: return 1e-6;
    case benchmark::kMillisecond: return 1e-3;
    default: return 1.0;
    }
}

void SummaryReporter::printSummary()
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
    line("MA5 batch wall (ms)", "BM_Indicator", "", 0);
    line("MA5 batch GUI CPU (ms)", "BM_Indicator", "gui_cpu_ms", 0);
    line("MA5 longest stall (ms)", "BM_Indicator", "longest_stall_ms", 0);
    line("MA5 repaints", "BM_Indicator", "repaints", 0);
    line("statistics row 60 cols (ms)", "BM_StatRow", "", 0);
    line("net-buying signal (ms)", "BM_NetBuying", "", 0);
    line("external 1000 series (ms)", "BM_ExternalFetch", "", 0);
    line("60-day ratio column wall (ms)", "BM_Stage", "", 0);
    line("60-day ratio GUI CPU (ms)", "BM_Stage", "gui_cpu_ms", 0);
    line("60-day ratio all CPU (ms)", "BM_Stage", "process_cpu_ms", 0);
    line("60-day ratio longest stall (ms)", "BM_Stage", "longest_stall_ms", 0);
    line("tick fill visible page (ms)", "BM_StageTick", "", 0);
    line("earlier date all rows (ms)", "BM_StageEarlier", "", 0);
    line("earlier date all CPU (ms)", "BM_StageEarlier", "process_cpu_ms", 0);
    line("earlier date stall (ms)", "BM_StageEarlier", "longest_stall_ms", 0);
    line("param(true) 10 columns (ms)", "BM_ParamSave", "", 0);
    line("setParam(load) 10 cols (ms)", "BM_ParamRestore", "", 0);
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
    line("compact paint 250x1030 (ms)", "BM_CompactPaint", "", 0);
    line("compact re-sort by 涨跌幅 (ms)", "BM_CompactSort", "", 0);
    line("compact selection kept (1=yes)", "BM_CompactSort", "selection_kept", 0);
    line("compact sector switch (ms)", "BM_CompactSwitch", "", 0);
    line("position push 2000 rows (ms)", "BM_PositionPush", "", 0);
    line("position linkage 2000 rows (ms)", "BM_PositionLinkage", "", 0);
    line("position mode switch (ms)", "BM_PositionSwitch", "", 0);
    line("position storm GUI busy (%)", "BM_PositionStorm", "gui_busy_pct", 0);
    line("position storm stall (ms)", "BM_PositionStorm", "longest_stall_ms", 0);
    line("position storm rows match", "BM_PositionStorm", "rows_match", 0);
    line("option month refresh (ms)", "BM_OptionMonth", "", 0);
    line("option all months (ms)", "BM_OptionAllMonths", "", 0);
    line("option month switch (ms)", "BM_OptionMonthSwitch", "", 0);
    line("option IV min (%)", "BM_OptionImpliedRange", "iv_min_pct", 0);
    line("option IV max (%)", "BM_OptionImpliedRange", "iv_max_pct", 0);
    line("option IV shown (%)", "BM_OptionImpliedRange", "iv_shown_pct", 0);
    // library: the nats backend through a local server; baseline: the embedded push hub
    line("bus feed msgs/s", "BM_BusFeed", "msgs_per_s", 0);
    line("bus publish-to-row p50 (ms)", "BM_BusFeed", "p50_ms", 0);
    line("bus publish-to-row p99 (ms)", "BM_BusFeed", "p99_ms", 0);
    line("bus GUI busy (%)", "BM_BusFeed", "gui_busy_pct", 0);
    line("bus lost last values", "BM_BusFeed", "lost_last_values", 0);
    for (const auto& entry : figures) {
        if (entry.first.rfind("BM_BusTerminals_Library", 0) != 0)
            continue;
        const auto& c = entry.second.counters;
        auto at = [&](const char* k) {
            auto it = c.find(k);
            return it == c.end() ? -1.0 : it->second;
        };
        std::printf("bus %2.0f terminals: keeping up %.0f, server CPU %.1f %%, per-terminal CPU "
                    "%.1f %%, worst p99 %.2f ms, %.0f msgs/s\n",
                    at("terminals"), at("keeping_up"), at("server_cpu_pct"), at("terminal_cpu_pct"),
                    at("worst_p99_ms"), at("msgs_per_s"));
    }
    line("search 5,000, per keystroke (ms)", "BM_SearchFilter", "keystroke_ms", 0);
    line("view switch to 300 rows (ms)", "BM_ViewSwitch", "to_small_ms", 0);
    line("  GUI CPU (ms)", "BM_ViewSwitch", "to_small_cpu_ms", 0);
    line("view switch to 沪深A股 (ms)", "BM_ViewSwitch", "to_large_ms", 0);
    line("  GUI CPU (ms)", "BM_ViewSwitch", "to_large_cpu_ms", 0);
    line("view switch 沪深A股 rows", "BM_ViewSwitch", "large_rows", 0);
    line("view search per keystroke (ms)", "BM_ViewSearch", "keystroke_ms", 0);
    line("view search applied+paint (ms)", "BM_ViewSearch", "apply_ms", 0);
    line("view param(true) 20 layouts (ms)", "BM_ViewParamSave", "", 0);
    line("  GUI CPU (ms)", "BM_ViewParamSave", "cpu_ms", 0);
    line("view setParam 20 layouts (ms)", "BM_ViewParamRestore", "", 0);
    line("  GUI CPU (ms)", "BM_ViewParamRestore", "cpu_ms", 0);
    line("view start-up to painted (ms)", "BM_ViewStartup", "", 0);
    line("  GUI CPU (ms)", "BM_ViewStartup", "cpu_ms", 0);
    line("view start-up cached values", "BM_ViewStartup", "cached_values", 0);
    line("user sector fill, catalogue (ms)", "BM_SectorFill", "", 0);
    line("intraday paint 800x500 (ms)", "BM_ChartIntradayPaint", "", 0);
    line("k-line paint 800x500 (ms)", "BM_ChartKLinePaint", "", 0);
    line("chart push repaint (ms)", "BM_ChartPush", "", 0);
}

const SummaryReporter::Figure* SummaryReporter::find(const std::string& prefix)
{
    for (const auto& entry : figures) {
        if (entry.first.rfind(prefix, 0) == 0)
            return &entry.second;
    }
    return nullptr;
}

void SummaryReporter::line(const char* label, const std::string& name, const std::string& counter,
                           int)
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

} // namespace ttbench

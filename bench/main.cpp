// Speed of the browse table beside the naive Qt baseline, in one run.
//   tt_bench [--rows N] [--large-rows N] [--sustain-seconds S] [google benchmark flags]
//   tt_bench --write-large-data DIR [--large-rows N]   the large market's data folder
// Scenarios: load, push, re-sort, paint, column fitting, memory, sustained load, an MA(5)
// column computed over the rows by the formula service; for the compact quote list: paint,
// live re-sort and sector switch; a whole sector of a large market (--large-rows A-shares,
// 100,000 by default; 0 skips it) loaded and painted, then pushed once; the option T-board.
// The summary at the end prints library, baseline and baseline/library per scenario.

#include "bench/BenchBaseline.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/FormulaManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/UiResource.h"
#include "pricet/CHpfOptionBrowserData.h"
#include "pricet/CHpfOptionBrowserDataModel.h"
#include "pricet/COptionPriceTBrowseWidget.h"
#include "pricet/OptionValues.h"
#include "quoterbrowser/CQuoterBrowserWidget.h"
#include "quoterbrowser/CWholeQuoteModel.h"

#include <ql/exercise.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/pricingengines/vanilla/analyticeuropeanengine.hpp>
#include <ql/processes/blackscholesprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/termstructures/volatility/equityfx/blackconstantvol.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/calendars/target.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <malloc.h>
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <thread>

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

    // the compact list over a user sector of the same instruments
    QString compactSector;
    std::vector<quoter::QuoterAllDataPtr> compactQuotes[2]; // the push sets, parallel
    std::unique_ptr<TC::CQuoterBrowserWidget> compact;
    std::unique_ptr<BaselineCompactList> compactBaseline;
    int compactFlip = 0;
};

// Shows the compact list's sector and runs the event loop until the cache read has filled it.
bool switchCompact(World& w)
{
    bool filled = false;
    // connected after the widget's own slot, so it runs once the list is filled
    auto connection =
        QObject::connect(w.compact->model().get(), &TC::CWholeQuoteModel::sigHistoryCallBack,
                         [&filled]() { filled = true; });
    w.compact->setSector(w.compactSector);
    QElapsedTimer guard;
    guard.start();
    while (!filled && guard.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QObject::disconnect(connection);
    return filled;
}

void buildCompact(World& w)
{
    for (int set = 0; set < 2; ++set) {
        std::map<QString, size_t> next;
        for (const auto& d : w.instruments) {
            for (const MarketFeed& f : w.feeds) {
                if (f.market == d->market) {
                    w.compactQuotes[set].push_back(f.quotes[set][next[d->market]++]);
                    break;
                }
            }
        }
    }
    w.compactSector = QStringLiteral("bench compact list");
    auto* sectors = TC::CSectorManager::instance();
    sectors->addUserSector(w.compactSector);
    QStringList keys;
    for (const auto& d : w.instruments)
        keys << d->key;
    sectors->addStockListToSector(w.compactSector, keys);

    w.compact.reset(new TC::CQuoterBrowserWidget());
    w.compact->resize(250, 1030); // 20 rows under the header
    w.compact->setAttribute(Qt::WA_DontShowOnScreen);
    w.compact->show();
    switchCompact(w);
    w.compact->unrequest(); // pushes are handed in by the scenarios

    w.compactBaseline.reset(new BaselineCompactList());
    w.compactBaseline->populate(w.instruments, w.loadQuotes);
    w.compactBaseline->sortByChange();
    w.compactBaseline->view()->setAttribute(Qt::WA_DontShowOnScreen);
    w.compactBaseline->view()->show();
    QCoreApplication::processEvents();
}

void pushCompact(World& w)
{
    const int set = (w.compactFlip ^= 1);
    const QVector<QString> noMarkets;
    for (const MarketFeed& f : w.feeds) {
        dorn::PushQuoteParam param(f.market.toStdString());
        w.compact->formulaPushQuoteBack(param, f.codes, noMarkets, f.quotes[set], true);
    }
}

void pushCompactBaseline(World& w)
{
    w.compactBaseline->populate(w.instruments, w.compactQuotes[(w.compactFlip ^= 1)]);
}

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

// --- an indicator column ----------------------------------------------------------------

// Counts the paint events a widget receives.
class PaintCounter final : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Measures one batch inside an event loop: wall time, GUI-thread CPU time, the longest
// delay of a 10 ms probe timer beyond its interval, and the paints of viewport. start()
// begins the batch and arranges for the loop to quit when its last result is laid.
void runIndicatorBatch(benchmark::State& state, QWidget* viewport,
                       const std::function<void(QEventLoop&)>& start)
{
    for (auto _ : state) {
        PaintCounter paints;
        viewport->installEventFilter(&paints);
        QElapsedTimer wall;
        QElapsedTimer probeClock;
        qint64 longest = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(10);
        QObject::connect(&probe, &QTimer::timeout,
                         [&]() { longest = std::max(longest, probeClock.restart() - 10); });
        QEventLoop loop;
        const double cpu0 = threadCpuSeconds();
        wall.start();
        probeClock.start();
        probe.start();
        start(loop);
        loop.exec();
        probe.stop();
        const double wallMs = double(wall.nsecsElapsed()) / 1e6;
        const double cpuMs = (threadCpuSeconds() - cpu0) * 1e3;
        QCoreApplication::processEvents();
        viewport->removeEventFilter(&paints);
        state.SetIterationTime(wallMs / 1e3);
        state.counters["gui_cpu_ms"] = cpuMs;
        state.counters["longest_stall_ms"] = double(longest);
        state.counters["repaints"] = double(paints.count);
    }
}

void BM_Indicator_Library(benchmark::State& state)
{
    World& w = *g_world;
    static int column = -1;
    if (column < 0) {
        TC::ColumnInfo ma;
        ma.formulaName = QStringLiteral("MA");
        ma.lineIndex = 0;
        ma.period = 86400000;
        ma.title = QStringLiteral("MA5");
        column = w.widget->addCustomIndex(ma);
        QCoreApplication::processEvents(); // the new column's own repaint is not the batch's
    }
    TC::CBrowseWidget* widget = w.widget.get();
    runIndicatorBatch(state, widget->table()->viewport(), [widget](QEventLoop& loop) {
        QObject::connect(widget, &TC::CBrowseWidget::sigIndicatorBatchDone, &loop,
                         &QEventLoop::quit);
        widget->setCurrentColumn(column);
        widget->slotVariableRefresh();
    });
}

// One queued call and one full repaint per result, with the batch evaluated on a thread.
void BM_Indicator_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    static int column = -1;
    if (column < 0) {
        column = w.baseline->addColumn(QStringLiteral("MA5"));
        QCoreApplication::processEvents();
    }
    QVector<TC::CFormulaParam> batch;
    for (const auto& d : w.instruments) {
        TC::CFormulaParam p;
        p.market = d->market;
        p.code = d->code;
        p.formulaName = QStringLiteral("MA");
        batch.append(p);
    }
    BaselineTable* table = w.baseline.get();
    std::unique_ptr<std::thread> worker;
    QObject receiver;
    int received = 0;
    runIndicatorBatch(state, table->view()->viewport(), [&](QEventLoop& loop) {
        received = 0;
        worker.reset(new std::thread([&, table]() {
            TC::CFormulaManager::instance()->requestFormulasSync2(
                batch,
                [&, table](int index, int count, const se::RPCFormulaMetaResultPtr&,
                           const se::RPCFormulaResultPtr& result) {
                    QMetaObject::invokeMethod(
                        &receiver,
                        [&, table, index, count, result]() {
                            const auto& line = result->doubleValues;
                            const double v = !line.empty() && !line[0].empty()
                                                 ? line[0].back()
                                                 : std::numeric_limits<double>::quiet_NaN();
                            table->setValue(batch[index].code, column, v);
                            table->view()->viewport()->repaint();
                            if (++received == count)
                                loop.quit();
                        },
                        Qt::QueuedConnection);
                },
                nullptr);
        }));
    });
    if (worker)
        worker->join();
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

void BM_CompactPaint_Library(benchmark::State& state)
{
    World& w = *g_world;
    QImage image(250, 1030, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        state.PauseTiming();
        pushCompact(w); // every visible text is rebuilt by the paint
        state.ResumeTiming();
        QPainter painter(&image);
        w.compact->render(&painter);
    }
}

void BM_CompactPaint_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    QImage image(250, 1030, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        state.PauseTiming();
        pushCompactBaseline(w);
        state.ResumeTiming();
        QPainter painter(&image);
        w.compactBaseline->view()->render(&painter);
    }
}

// A push, then the refresh tick re-sorts by change percent keeping the selection.
void BM_CompactSort_Library(benchmark::State& state)
{
    World& w = *g_world;
    TC::CQuoterBrowserWidget& list = *w.compact;
    if (list.sortId() != 12 || list.sortOrder() != 0) {
        list.handleEvent(5, 12, 0, QStringLiteral("涨跌幅"), nullptr);
        if (list.sortOrder() != 0)
            list.handleEvent(5, 12, 0, QStringLiteral("涨跌幅"), nullptr);
    }
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(60, 30 + 50 * 10 + 10), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&list, &press);
    const QVector<QString> chosen = list.getSelectStocks();
    for (auto _ : state) {
        state.PauseTiming();
        pushCompact(w);
        state.ResumeTiming();
        list.slotRefreshData();
    }
    state.counters["selection_kept"] = !chosen.isEmpty() && list.getSelectStocks() == chosen;
}

void BM_CompactSort_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    w.compactBaseline->selectRow(10);
    const QString chosen = w.compactBaseline->selectedKey();
    for (auto _ : state) {
        state.PauseTiming();
        pushCompactBaseline(w);
        state.ResumeTiming();
        w.compactBaseline->sortByChange();
    }
    state.counters["selection_kept"] =
        !chosen.isEmpty() && w.compactBaseline->selectedKey() == chosen;
}

void BM_CompactSwitch_Library(benchmark::State& state)
{
    World& w = *g_world;
    bool filled = true;
    for (auto _ : state)
        filled = switchCompact(w) && filled;
    w.compact->unrequest();
    state.counters["rows"] = w.compact->totalRows();
    if (!filled)
        state.SkipWithError("the cache read did not arrive");
}

void BM_CompactSwitch_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    auto* formulas = TC::CFormulaManager::instance();
    for (auto _ : state) {
        const auto list = TC::CSectorManager::instance()->getSectorStockList(w.compactSector);
        std::vector<ttservice::CInstrumentDetailPtr> instruments(list.begin(), list.end());
        std::map<QString, QVector<QString>> codes;
        for (const auto& d : instruments)
            codes[d->market].append(d->code);
        std::map<QString, std::vector<quoter::QuoterAllDataPtr>> cached;
        for (const auto& entry : codes)
            cached[entry.first] = formulas->subPushQuoterFromCache(
                dorn::PushQuoteParam(entry.first.toStdString()), entry.second);
        std::map<QString, size_t> next;
        std::vector<quoter::QuoterAllDataPtr> quotes;
        quotes.reserve(instruments.size());
        for (const auto& d : instruments) {
            const auto& v = cached[d->market];
            const size_t i = next[d->market]++;
            quotes.push_back(i < v.size() ? v[i] : quoter::QuoterAllDataPtr());
        }
        w.compactBaseline->populate(instruments, quotes);
        w.compactBaseline->sortByChange();
    }
    state.counters["rows"] = w.compactBaseline->view()->count();
}

// --- option T-board ----------------------------------------------------------------------
// One ETF underlying with five expiry months of 40 strikes (80 contracts a month, 400 in
// all), quoted around a volatility smile. Installed when the first option scenario runs,
// after the browse scenarios, since it replaces the market's universe.

constexpr int kOptionMonths = 5;
constexpr int kOptionStrikes = 40;
const int kOptionExpiries[kOptionMonths] = {20240626, 20240724, 20240828, 20240925, 20241225};

struct OptionContract {
    QString code;
    bool call;
    double strike;
    int expiryYmd;
};

struct OptionWorld {
    std::vector<OptionContract> contracts;
    QVector<QString> codes;                          // every contract, then the underlying
    std::vector<quoter::QuoterAllDataPtr> quotes[2]; // two sets that differ everywhere
    std::unique_ptr<TC::COptionPriceTBrowseWidget> boards[kOptionMonths]; // one per month
    int flip = 0;
};

OptionWorld* g_options = nullptr;

// About 20 % at the money, rising to about 30 % for the lowest strikes.
double smileVolatility(double spot, double strike, double)
{
    const double m = std::log(strike / spot);
    return 0.20 + 0.25 * m * m - 0.05 * m;
}

double blackScholes(bool call, double s, double k, double r, double sigma, double t)
{
    auto cdf = [](double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); };
    const double d1 = (std::log(s / k) + (r + sigma * sigma / 2) * t) / (sigma * std::sqrt(t));
    const double d2 = d1 - sigma * std::sqrt(t);
    return call ? s * cdf(d1) - k * std::exp(-r * t) * cdf(d2)
                : k * std::exp(-r * t) * cdf(-d2) - s * cdf(-d1);
}

OptionWorld& optionWorld()
{
    if (g_options)
        return *g_options;
    auto* w = new OptionWorld();
    g_options = w;
    ttmarket::TestMarket::setClock(ttmarket::TestMarket::at(2024, 6, 7, 10, 30));
    std::vector<ttservice::CInstrumentDetailPtr> universe;
    universe.push_back(ttmarket::TestMarket::stock("SH", "510050", "50ETF", 2.5, 0.001));
    universe.back()->histVolatility = 0.21;
    int serial = 10007000;
    for (int m = 0; m < kOptionMonths; ++m) {
        const int ymd = kOptionExpiries[m];
        for (int i = 0; i < kOptionStrikes; ++i) {
            const double strike = 1.5 + 0.05 * i;
            for (bool call : {true, false}) {
                auto d = std::make_shared<ttservice::CInstrumentDetail>();
                d->market = QStringLiteral("SHO");
                d->code = QString::number(serial++);
                d->key = XP::nvStockKey(d->market, d->code);
                d->name = QStringLiteral("50ETF%1%2月%3")
                              .arg(call ? QStringLiteral("购") : QStringLiteral("沽"))
                              .arg(ymd / 100 % 100)
                              .arg(qRound(strike * 1000));
                d->type = ttservice::eInstrOption;
                d->optUnderlyingMarket = QStringLiteral("SH");
                d->optUnderlyingCode = QStringLiteral("510050");
                d->isCall = call;
                d->strike = strike;
                d->expiryYmd = ymd;
                d->expiryDate =
                    TC::CStockManager::dateFromYmd(ymd / 10000, ymd / 100 % 100, ymd % 100);
                d->contractUnit = 10000;
                d->histVolatility = 0.21;
                d->riskFreeRate = 0.02;
                d->priceStep = 0.0001;
                d->tradeUnit = 1;
                const double years = (TC::dayOfYmd(ymd) - TC::marketToday()) / 365.0;
                d->preSettlement = d->refPrice =
                    std::max(0.0001, blackScholes(call, 2.5, strike, 0.02,
                                                  smileVolatility(2.5, strike, years), years));
                universe.push_back(d);
                w->contracts.push_back({d->code, call, strike, ymd});
                w->codes.append(d->code);
            }
        }
    }
    ttmarket::TestMarket::install(universe);
    for (int set = 0; set < 2; ++set) {
        const double spot = set ? 2.51 : 2.50;
        for (const OptionContract& c : w->contracts) {
            const double years = (TC::dayOfYmd(c.expiryYmd) - TC::marketToday()) / 365.0;
            const double fair = blackScholes(c.call, spot, c.strike, 0.02,
                                             smileVolatility(spot, c.strike, years), years);
            // prices on the 0.0001 tick, as the exchange quotes them
            const double last = std::max(0.0001, std::round(fair * 1e4) / 1e4);
            auto q = std::make_shared<quoter::QuoterAllData>(
                ttmarket::TestMarket::quote(last, 0.1, 1000 + set));
            q->preSettlement = 0.1;
            q->bidPrice[0] = std::max(0.0001, last - 0.0005);
            q->askPrice[0] = last + 0.0005;
            w->quotes[set].push_back(q);
        }
    }
    for (int m = 0; m < kOptionMonths; ++m) {
        auto* board = new TC::COptionPriceTBrowseWidget();
        w->boards[m].reset(board);
        board->resize(1600, 600);
        board->setAttribute(Qt::WA_DontShowOnScreen);
        board->show();
        board->selectUnderlying(QStringLiteral("510050.SH"));
        board->selectMonth(QString::number(kOptionExpiries[m]));
    }
    QCoreApplication::processEvents();
    return *w;
}

// Every contract of the underlying's option market in one delivery, as the feed sends it.
void pushOptions(OptionWorld& w, int boards)
{
    const int set = (w.flip ^= 1);
    quoter::QuoterAllData und = ttmarket::TestMarket::quote(set ? 2.51 : 2.50, 2.5, 1000000);
    const QVector<QString> undCode{QStringLiteral("510050")};
    const std::vector<quoter::QuoterAllDataPtr> undQuote{
        std::make_shared<quoter::QuoterAllData>(und)};
    for (int b = 0; b < boards; ++b) {
        dorn::PushQuoteParam sh("SH");
        w.boards[b]->formulaPushQuoteBack(sh, undCode, {}, undQuote, false);
        dorn::PushQuoteParam sho("SHO");
        w.boards[b]->formulaPushQuoteBack(sho, w.codes, {}, w.quotes[set], true);
    }
}

// How a newcomer prices a board: a QuantLib option per contract per refresh, its
// implied volatility from the last price and its Greeks.
struct BaselineResult {
    double iv, delta, gamma, vega, theta, rho;
};

void pushOptionsBaseline(OptionWorld& w, int months, std::vector<BaselineResult>& out)
{
    using namespace QuantLib;
    const int set = (w.flip ^= 1);
    const double spotPrice = set ? 2.51 : 2.50;
    const Date today(7, June, 2024);
    Settings::instance().evaluationDate() = today;
    out.clear();
    const size_t n = size_t(months) * kOptionStrikes * 2;
    for (size_t i = 0; i < n; ++i) {
        const OptionContract& c = w.contracts[i];
        const double price = w.quotes[set][i]->last;
        auto spot = ext::make_shared<SimpleQuote>(spotPrice);
        Handle<YieldTermStructure> rate(
            ext::make_shared<FlatForward>(today, 0.02, Actual365Fixed()));
        Handle<YieldTermStructure> dividend(
            ext::make_shared<FlatForward>(today, 0.0, Actual365Fixed()));
        Handle<BlackVolTermStructure> vol(
            ext::make_shared<BlackConstantVol>(today, TARGET(), 0.21, Actual365Fixed()));
        auto process =
            ext::make_shared<BlackScholesMertonProcess>(Handle<Quote>(spot), dividend, rate, vol);
        const Date expiry(c.expiryYmd % 100, Month(c.expiryYmd / 100 % 100), c.expiryYmd / 10000);
        VanillaOption option(
            ext::make_shared<PlainVanillaPayoff>(c.call ? Option::Call : Option::Put, c.strike),
            ext::make_shared<EuropeanExercise>(expiry));
        option.setPricingEngine(ext::make_shared<AnalyticEuropeanEngine>(process));
        BaselineResult r{};
        try {
            r.iv = option.impliedVolatility(price, process, 1e-6, 200, 1e-4, 1.5);
        } catch (...) {
            r.iv = -1;
        }
        r.delta = option.delta();
        r.gamma = option.gamma();
        r.vega = option.vega();
        r.theta = option.theta();
        r.rho = option.rho();
        out.push_back(r);
    }
}

void BM_OptionMonth_Library(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    for (auto _ : state)
        pushOptions(w, 1);
    state.counters["contracts"] = double(w.boards[0]->model()->size() * 2);
}

void BM_OptionMonth_Baseline(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    std::vector<BaselineResult> out;
    for (auto _ : state)
        pushOptionsBaseline(w, 1, out);
    benchmark::DoNotOptimize(out.data());
    state.counters["contracts"] = double(out.size());
}

void BM_OptionAllMonths_Library(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    for (auto _ : state)
        pushOptions(w, kOptionMonths);
    state.counters["contracts"] = double(w.contracts.size());
}

void BM_OptionAllMonths_Baseline(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    std::vector<BaselineResult> out;
    for (auto _ : state)
        pushOptionsBaseline(w, kOptionMonths, out);
    benchmark::DoNotOptimize(out.data());
    state.counters["contracts"] = double(out.size());
}

// Rows rebuilt, filled from the cache and subscribed again; the pool thread's cache read
// and the subscription that follows it run between iterations.
void BM_OptionMonthSwitch_Library(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    TC::COptionPriceTBrowseWidget& board = *w.boards[0];
    int m = 0;
    for (auto _ : state) {
        m = (m + 1) % kOptionMonths;
        board.selectMonth(QString::number(kOptionExpiries[m]));
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    board.selectMonth(QString::number(kOptionExpiries[0]));
}

// Implied volatilities the board recovered from the smile, in percent (min and max), over
// the contracts priced at least 5 ticks above their zero-volatility value: closer to it
// the quote does not pin the volatility down. Also the share of contracts that show an
// implied volatility.
void BM_OptionImpliedRange_Library(benchmark::State& state)
{
    OptionWorld& w = optionWorld();
    pushOptions(w, kOptionMonths);
    double lo = 1e9, hi = -1e9;
    int shown = 0, total = 0;
    for (auto _ : state) {
        for (int b = 0; b < kOptionMonths; ++b) {
            auto* model = w.boards[b]->model();
            const double years = (TC::dayOfYmd(kOptionExpiries[b]) - TC::marketToday()) / 365.0;
            for (int i = 0; i < model->size(); ++i) {
                auto* row = static_cast<TC::CHpfOptionBrowserData*>(model->getData(i).get());
                const double s = row->m_dUnderlyingPrice;
                const double k = row->m_dCallStrike * std::exp(-0.02 * years);
                for (int side = 0; side < 2; ++side) {
                    const double v = row->getDouble(side ? 37 : 19);
                    const double last = row->getDouble(side ? 30 : 26);
                    const double floor = std::max(side ? k - s : s - k, 0.0);
                    ++total;
                    if (!TC::CHpfOptionBrowserData::isShown(v))
                        continue;
                    ++shown;
                    if (last - floor >= 0.0005) {
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                    }
                }
            }
        }
    }
    state.counters["iv_min_pct"] = lo * 100;
    state.counters["iv_max_pct"] = hi * 100;
    state.counters["iv_shown_pct"] = total ? 100.0 * shown / total : 0.0;
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
        line("MA5 batch wall (ms)", "BM_Indicator", "", 0);
        line("MA5 batch GUI CPU (ms)", "BM_Indicator", "gui_cpu_ms", 0);
        line("MA5 longest stall (ms)", "BM_Indicator", "longest_stall_ms", 0);
        line("MA5 repaints", "BM_Indicator", "repaints", 0);
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
        line("option month refresh (ms)", "BM_OptionMonth", "", 0);
        line("option all months (ms)", "BM_OptionAllMonths", "", 0);
        line("option month switch (ms)", "BM_OptionMonthSwitch", "", 0);
        line("option IV min (%)", "BM_OptionImpliedRange", "iv_min_pct", 0);
        line("option IV max (%)", "BM_OptionImpliedRange", "iv_max_pct", 0);
        line("option IV shown (%)", "BM_OptionImpliedRange", "iv_shown_pct", 0);
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
    buildCompact(*g_world);

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
    RegisterBenchmark("BM_Indicator_Library", BM_Indicator_Library)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_Indicator_Baseline", BM_Indicator_Baseline)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_CompactPaint_Library", BM_CompactPaint_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_CompactPaint_Baseline", BM_CompactPaint_Baseline)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_CompactSort_Library", BM_CompactSort_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_CompactSort_Baseline", BM_CompactSort_Baseline)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_CompactSwitch_Library", BM_CompactSwitch_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_CompactSwitch_Baseline", BM_CompactSwitch_Baseline)
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
    // the option scenarios replace the universe: they run last
    RegisterBenchmark("BM_OptionMonth_Library", BM_OptionMonth_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_OptionMonth_Baseline", BM_OptionMonth_Baseline)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_OptionAllMonths_Library", BM_OptionAllMonths_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_OptionAllMonths_Baseline", BM_OptionAllMonths_Baseline)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_OptionMonthSwitch_Library", BM_OptionMonthSwitch_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_OptionImpliedRange_Library", BM_OptionImpliedRange_Library)
        ->Iterations(1);

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    g_world->widget.reset();
    g_world->baseline.reset();
    if (g_large)
        g_large->widget.reset();
    g_world->compact.reset();
    g_world->compactBaseline.reset();
    if (g_options) {
        for (auto& board : g_options->boards)
            board.reset();
    }
    ttmarket::TestMarket::restore();
    benchmark::Shutdown();
    return 0;
}

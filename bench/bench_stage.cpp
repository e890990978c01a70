// Interval statistic columns and past trading days: a change-ratio column over 60 trading
// days of daily bars, the tick fill of the visible page and an earlier date from the
// host's stored values; each beside a baseline that fetches and computes on the GUI thread
// and repaints once per instrument.

#include "bench/BenchCommon.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/FormulaManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableView>
#include <QTimer>

#include <boost/function.hpp>

#include <time.h>

#include <algorithm>
#include <functional>

namespace ttbench {
namespace {

constexpr int kStageDays = 60;
const QString kStageTitle = QStringLiteral("60日涨幅");

// Runs start inside an event loop until it quits the loop: wall time, GUI-thread CPU and
// the longest delay of a 10 ms probe timer beyond its interval.
void measureLoop(benchmark::State& state, const std::function<void(QEventLoop&)>& start)
{
    for (auto _ : state) {
        const LoopFigures f = runProbedLoop(start);
        // the probe's own last gap counts too
        const qint64 longest = std::max(f.longestStallMs, f.openGapMs);
        state.SetIterationTime(f.wallMs / 1e3);
        state.counters["gui_cpu_ms"] = f.guiCpuMs;
        // all threads: on a loaded machine the wall time says more about the others
        state.counters["process_cpu_ms"] = f.processCpuMs;
        state.counters["longest_stall_ms"] = double(std::max<qint64>(longest, 0));
    }
}

int today()
{
    return TC::CStockManager::instance()->getLastTradingDay();
}

int stageFrom()
{
    return TC::CStockManager::instance()->getShiftTradeDate(today(), -(kStageDays - 1));
}

void BM_Stage_Library(benchmark::State& state)
{
    World& w = *g_world;
    TC::CBrowseWidget* widget = w.widget.get();
    static int column = -1;
    if (column < 0) {
        QEventLoop first;
        auto c = QObject::connect(widget, &TC::CBrowseWidget::sigStageDataDone, &first,
                                  &QEventLoop::quit);
        widget->addStageColumn(
            QStringLiteral("%1,%2,0,86400,4,%3").arg(stageFrom()).arg(today()).arg(kStageTitle));
        first.exec(); // the first refresh warms the host's caches; it is not measured
        QObject::disconnect(c);
        for (const TC::ColumnInfo& info : widget->columnList()) {
            if (info.title == kStageTitle)
                column = info.columnId;
        }
    }
    measureLoop(state, [widget](QEventLoop& loop) {
        QObject::connect(widget, &TC::CBrowseWidget::sigStageDataDone, &loop, &QEventLoop::quit);
        widget->doUpdateStageData(column);
    });
    int filled = 0;
    for (int i = 0; i < widget->model()->size(); ++i)
        filled += TC::isNoValue(widget->model()->rowAt(i)->getDouble(column)) ? 0 : 1;
    state.counters["cells"] = filled;
}

void BM_Stage_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    static int column = -1;
    if (column < 0) {
        column = w.baseline->addColumn(kStageTitle);
        QCoreApplication::processEvents();
    }
    BaselineTable* table = w.baseline.get();
    const int64_t start = int64_t(stageFrom()) * 1000;
    const int64_t end = int64_t(today()) * 1000;
    measureLoop(state, [&](QEventLoop& loop) {
        for (const auto& d : w.instruments) {
            se::RPCFetchCacheDataParam p;
            p.market = d->market.toStdString();
            p.codes = {d->code.toStdString()};
            p.startTime = start;
            p.endTime = end;
            p.period = se::kPeriodDay;
            p.quoterType = se::kQuoterTypeBar;
            double ratio = TC::kNoValue;
            TC::CFormulaManager::instance()->fetchCacheData(p, [&ratio](TC::BrowseFetchData& data) {
                for (const auto& entry : data) {
                    const auto& bars = entry.second;
                    if (bars.size() < 2)
                        continue;
                    const double ref = quoter::asKLine(bars.front().get())->close;
                    const double close = quoter::asKLine(bars.back().get())->close;
                    if (ref > 1e-5)
                        ratio = (close - ref) / ref;
                }
            });
            table->setValue(d->code, column, ratio);
            table->view()->viewport()->repaint();
        }
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
    });
}

// The instruments of the widget's visible rows by market.
TC::CBrowseWidget::InstrumentsByMarket visiblePage(TC::CBrowseWidget& widget, int* count)
{
    TC::CBrowseWidget::InstrumentsByMarket page;
    const int first = std::max(0, widget.table()->getStartRow());
    const int last = std::min(widget.table()->getEndRow(), widget.model()->size() - 1);
    auto* stocks = TC::CStockManager::instance();
    *count = 0;
    for (int i = first; i <= last; ++i) {
        if (auto detail = stocks->getInstrumentDetail(widget.model()->rowAt(i)->key)) {
            page[detail->market].append(detail);
            ++*count;
        }
    }
    return page;
}

// Quits the loop once no fetch worker runs and what they posted was laid.
void quitWhenLaid(QEventLoop& loop)
{
    auto* poll = new QTimer(&loop);
    poll->setInterval(1);
    QObject::connect(poll, &QTimer::timeout, &loop, [&loop]() {
        if (TC::CBrowseWidget::runningFetchWorkers() == 0) {
            QCoreApplication::processEvents(); // the last posted deliveries
            loop.quit();
        }
    });
    poll->start();
}

void BM_StageTick_Library(benchmark::State& state)
{
    World& w = *g_world;
    int rows = 0;
    const auto page = visiblePage(*w.widget, &rows);
    measureLoop(state, [&](QEventLoop& loop) {
        // the tick branch called directly: the fetch on this thread, laying by the mailbox
        w.widget->doFetchDataForTick(page, {}, today());
        QTimer::singleShot(0, &loop, &QEventLoop::quit); // after the posted deliveries
    });
    state.counters["rows"] = rows;
    w.widget->resetBrowserStatus();
}

void BM_StageTick_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    int rows = 0;
    const auto page = visiblePage(*w.widget, &rows);
    BaselineTable* table = w.baseline.get();
    measureLoop(state, [&](QEventLoop& loop) {
        for (auto it = page.constBegin(); it != page.constEnd(); ++it) {
            for (const auto& d : it.value()) {
                se::RPCFetchCacheDataParam p;
                p.market = d->market.toStdString();
                p.codes = {d->code.toStdString()};
                TC::CFormulaManager::instance()->fetchTickData(
                    p, today(), {today()}, [&](TC::BrowseFetchData& data) {
                        for (const auto& entry : data) {
                            if (entry.second.empty())
                                continue;
                            auto q = std::static_pointer_cast<quoter::QuoterAllData>(
                                entry.second.back());
                            table->push({d->code}, {q});
                        }
                    });
                table->view()->viewport()->repaint();
            }
        }
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
    });
    state.counters["rows"] = rows;
}

void BM_StageEarlier_Library(benchmark::State& state)
{
    World& w = *g_world;
    TC::CBrowseWidget* widget = w.widget.get();
    const int date = TC::CStockManager::instance()->getShiftTradeDate(today(), -3);
    widget->setGetTradeDateFunc([date]() { return date; });
    double requestMs = 0;
    measureLoop(state, [widget, &requestMs](QEventLoop& loop) {
        QElapsedTimer clock;
        clock.start();
        widget->request(); // an earlier date: the stored values on a worker
        requestMs = double(clock.nsecsElapsed()) / 1e6;
        quitWhenLaid(loop);
    });
    state.counters["rows"] = widget->model()->size();
    state.counters["request_ms"] = requestMs; // the GUI thread's share before the worker
    widget->setGetTradeDateFunc(boost::function<int()>());
    widget->resetBrowserStatus();
    widget->fillQuoterFromCache();
}

void BM_StageEarlier_Baseline(benchmark::State& state)
{
    World& w = *g_world;
    const int date = TC::CStockManager::instance()->getShiftTradeDate(today(), -3);
    const int previous = TC::CStockManager::instance()->getShiftTradeDate(date, -1);
    static const QString fields[] = {QStringLiteral("最新"), QStringLiteral("总额"),
                                     QStringLiteral("总量"), QStringLiteral("持仓"),
                                     QStringLiteral("总笔"), QStringLiteral("今开"),
                                     QStringLiteral("最高"), QStringLiteral("最低")};
    BaselineTable* table = w.baseline.get();
    measureLoop(state, [&](QEventLoop& loop) {
        for (const auto& d : w.instruments) {
            const QString key = XP::nvStockKey(d->market, d->code);
            double v[8];
            for (int f = 0; f < 8; ++f)
                v[f] = se::IndexData::getSingleValue(key, fields[f], date);
            auto q = std::make_shared<quoter::QuoterAllData>();
            q->last = v[0];
            q->amount = v[1];
            q->volume = int64_t(v[2]);
            q->open = v[5];
            q->high = v[6];
            q->low = v[7];
            q->preClose = se::IndexData::getSingleValue(key, fields[0], previous);
            table->push({d->code}, {q});
            table->view()->viewport()->repaint();
        }
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
    });
    state.counters["rows"] = double(w.instruments.size());
}

} // namespace

void registerStageBenchmarks()
{
    using benchmark::RegisterBenchmark;
    for (auto* b : {RegisterBenchmark("BM_Stage_Library", BM_Stage_Library),
                    RegisterBenchmark("BM_Stage_Baseline", BM_Stage_Baseline),
                    RegisterBenchmark("BM_StageTick_Library", BM_StageTick_Library),
                    RegisterBenchmark("BM_StageTick_Baseline", BM_StageTick_Baseline),
                    RegisterBenchmark("BM_StageEarlier_Library", BM_StageEarlier_Library),
                    RegisterBenchmark("BM_StageEarlier_Baseline", BM_StageEarlier_Baseline)})
        b->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
}

} // namespace ttbench

// An MA(5) column computed over the rows by the formula service, beside a baseline that
// evaluates the batch on a thread and repaints once per result.

#include "bench/BenchCommon.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/ColumnInfo.h"
#include "host/data/FormulaManager.h"
#include "host/data/FormulaTypes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <limits>
#include <thread>

namespace ttbench {
namespace {

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
        const LoopFigures f = runProbedLoop(start);
        viewport->removeEventFilter(&paints);
        state.SetIterationTime(f.wallMs / 1e3);
        state.counters["gui_cpu_ms"] = f.guiCpuMs;
        state.counters["longest_stall_ms"] = double(f.longestStallMs);
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

} // namespace

void registerIndicatorBenchmarks()
{
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("BM_Indicator_Library", BM_Indicator_Library)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_Indicator_Baseline", BM_Indicator_Baseline)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

} // namespace ttbench

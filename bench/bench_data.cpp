// The data columns beside their baselines: the statistics row over 60 columns, the
// net-buying signal written and re-sorted, and an external table of 1,000 series fetched
// to its last value.

#include "bench/BenchCommon.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/ColumnInfo.h"
#include "host/data/ExternalDataInfo.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/TemporaryDataManager.h"
#include "host/toolkit/NumberFormat.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>

#include <cmath>

namespace ttbench {
namespace {

constexpr int kStatColumns = 60;
constexpr int kSeries = 1000;
const QString kBenchSet = QStringLiteral("基准序列");

// --- statistics row ------------------------------------------------------------------------

struct StatWorld {
    std::unique_ptr<TC::CBrowseWidget> widget;
    std::unique_ptr<QStandardItemModel> baseline;
    std::vector<QString> baselineTexts;
};
StatWorld* g_stat = nullptr;

StatWorld& statWorld()
{
    if (g_stat)
        return *g_stat;
    g_stat = new StatWorld;
    World& w = *g_world;
    g_stat->widget.reset(new TC::CBrowseWidget);
    TC::CBrowseWidget& widget = *g_stat->widget;
    widget.setStockList(w.list, false);
    g_stat->baseline.reset(new QStandardItemModel(w.list.size(), kStatColumns));
    for (int c = 0; c < kStatColumns; ++c) {
        TC::ColumnInfo column;
        column.formulaName = column.title = QStringLiteral("统计%1").arg(c);
        column.statEnabled = true;
        column.statAverage = c % 2 == 1;
        const int id = widget.addColumn(column);
        QMap<QString, double> values;
        for (int r = 0; r < w.list.size(); ++r) {
            const double v = (r * 7 + c * 13) % 1000 / 10.0;
            if (r % 17 != 0) // some rows without a value
                values.insert(w.list[r]->key, v);
            g_stat->baseline->setItem(r, c, new QStandardItem);
            if (r % 17 != 0)
                g_stat->baseline->item(r, c)->setData(v, Qt::DisplayRole);
        }
        widget.setColumnValue(id, values);
    }
    g_stat->baselineTexts.resize(kStatColumns);
    return *g_stat;
}

void BM_StatRow_Library(benchmark::State& state)
{
    StatWorld& s = statWorld();
    TC::CHpfBrowserDataModel* model = s.widget->model();
    for (auto _ : state)
        model->recalcStatData();
    state.counters["rows"] = model->size();
}

// The naive way: read every item's value back through the item model.
void BM_StatRow_Baseline(benchmark::State& state)
{
    StatWorld& s = statWorld();
    QStandardItemModel& m = *s.baseline;
    for (auto _ : state) {
        const int rows = m.rowCount();
        for (int c = 0; c < kStatColumns; ++c) {
            double sum = 0;
            for (int r = 0; r < rows; ++r) {
                const QVariant v = m.item(r, c)->data(Qt::DisplayRole);
                if (v.isValid())
                    sum += v.toDouble();
            }
            const double shown = c % 2 == 1 && rows > 0 ? sum / rows : sum;
            s.baselineTexts[size_t(c)] = XP::formatDoubleNumber(shown, 2, XP::FMT_BIGVALUE);
        }
    }
    state.counters["rows"] = m.rowCount();
}

// --- net buying ----------------------------------------------------------------------------

struct NetWorld {
    std::unique_ptr<TC::CBrowseWidget> widget;
    std::unique_ptr<BaselineTable> baseline;
    int baselineColumn = -1;
    int round = 0;
};
NetWorld* g_net = nullptr;

NetWorld& netWorld()
{
    if (g_net)
        return *g_net;
    g_net = new NetWorld;
    World& w = *g_world;
    g_net->widget.reset(new TC::CBrowseWidget(nullptr, false, TC::BrowseType_NetBuying));
    g_net->widget->setStockList(w.list, false);
    g_net->widget->reSort(g_net->widget->netBuyColumn(), 1);
    g_net->baseline.reset(new BaselineTable(baselineTitles(*g_world->widget)));
    g_net->baseline->load(w.instruments, w.loadQuotes);
    g_net->baselineColumn = g_net->baseline->addColumn(QStringLiteral("净买入"));
    g_net->baseline->setDynamicSort(false);
    return *g_net;
}

// New trades for every instrument, so each signal reorders the rows.
void trade(NetWorld& n)
{
    auto* temporary = TC::CTemporaryDataManager::instance();
    const int round = ++n.round;
    for (int i = 0; i < g_world->list.size(); ++i) {
        const auto& d = g_world->list[i];
        const double buy = ((i * 7919 + round * 104729) % 10007) * 100.0;
        temporary->applyTrades(d->market, d->code, buy, 500000.0);
    }
}

void BM_NetBuying_Library(benchmark::State& state)
{
    NetWorld& n = netWorld();
    for (auto _ : state) {
        state.PauseTiming();
        trade(n);
        state.ResumeTiming();
        n.widget->slotSendNetBuyingChange();
    }
    state.counters["rows"] = n.widget->model()->size();
}

void BM_NetBuying_Baseline(benchmark::State& state)
{
    NetWorld& n = netWorld();
    auto* temporary = TC::CTemporaryDataManager::instance();
    for (auto _ : state) {
        state.PauseTiming();
        trade(n);
        state.ResumeTiming();
        for (const auto& d : g_world->list)
            n.baseline->setValue(d->code, n.baselineColumn,
                                 temporary->getCodeNetBuyingValue(d->code));
        n.baseline->proxy()->sort(n.baselineColumn, Qt::DescendingOrder);
    }
    state.counters["rows"] = g_world->list.size();
}

// --- external table ------------------------------------------------------------------------

struct ExternalWorld {
    std::unique_ptr<TC::CBrowseWidget> widget;
    std::unique_ptr<QStandardItemModel> baseline;
    QList<TC::CExternalDataInfo*> list;
};
ExternalWorld* g_external = nullptr;

ExternalWorld& externalWorld()
{
    if (g_external)
        return *g_external;
    g_external = new ExternalWorld;
    auto* e = TC::CExternalDataManager::instance();
    e->addDataSet(kBenchSet, QString());
    const qint64 day = 86400000;
    const qint64 base = QDateTime::currentMSecsSinceEpoch() / day * day;
    const int periods[] = {86400, 7 * 86400, 30 * 86400, 91 * 86400};
    for (int i = 0; i < kSeries; ++i) {
        QVector<QPair<qint64, double>> values;
        for (int k = 0; k < 24; ++k)
            values.append({base - (23 - k) * day, 100.0 + std::sin(i + k) * 5});
        e->addData(kBenchSet, QStringLiteral("B%1").arg(i, 4, 10, QLatin1Char('0')),
                   QStringLiteral("序列%1").arg(i), values, periods[i % 4]);
    }
    g_external->list = e->getCatalogDataList(kBenchSet);
    g_external->widget.reset(new TC::CBrowseWidget);
    g_external->widget->setExternalColumn();
    g_external->widget->setDataList(g_external->list);
    g_external->baseline.reset(new QStandardItemModel(kSeries, 4));
    return *g_external;
}

// requestExternal until every period's fetch has been laid into the rows.
void BM_ExternalFetch_Library(benchmark::State& state)
{
    ExternalWorld& x = externalWorld();
    TC::CBrowseWidget& w = *x.widget;
    for (auto _ : state) {
        const quint64 laid = TC::CBrowseWidget::cacheDeliveriesLaid();
        w.requestExternal();
        const quint64 expected = laid + quint64(w.externalFetchPlan().size());
        while (TC::CBrowseWidget::cacheDeliveriesLaid() < expected)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    state.counters["series"] = w.model()->size();
}

// The naive way: each series read on the GUI thread, its last value written as items.
void BM_ExternalFetch_Baseline(benchmark::State& state)
{
    ExternalWorld& x = externalWorld();
    auto* e = TC::CExternalDataManager::instance();
    for (auto _ : state) {
        int r = 0;
        for (const TC::CExternalDataInfo* info : x.list) {
            const auto series = e->getSeries(info->code);
            if (series.isEmpty())
                continue;
            x.baseline->setItem(r, 0, new QStandardItem(info->code));
            x.baseline->setItem(r, 1, new QStandardItem(info->name));
            x.baseline->setItem(
                r, 2,
                new QStandardItem(QDateTime::fromMSecsSinceEpoch(series.last().first)
                                      .toString(QStringLiteral("yyyy-MM-dd"))));
            x.baseline->setItem(r, 3, new QStandardItem(QString::number(series.last().second)));
            ++r;
        }
        x.baseline->sort(0);
    }
    state.counters["series"] = x.list.size();
}

} // namespace

void registerDataBenchmarks()
{
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("BM_StatRow_Library", BM_StatRow_Library)->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_StatRow_Baseline", BM_StatRow_Baseline)->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_NetBuying_Library", BM_NetBuying_Library)->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_NetBuying_Baseline", BM_NetBuying_Baseline)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_ExternalFetch_Library", BM_ExternalFetch_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_ExternalFetch_Baseline", BM_ExternalFetch_Baseline)
        ->Unit(benchmark::kMillisecond);
}

void releaseDataWorld()
{
    delete g_stat;
    g_stat = nullptr;
    delete g_net;
    g_net = nullptr;
    delete g_external;
    g_external = nullptr;
}

} // namespace ttbench

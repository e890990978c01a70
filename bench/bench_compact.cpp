// The compact quote list beside a QListWidget: paint, live re-sort keeping the selection,
// and a sector switch.

#include "bench/BenchCommon.h"

#include "host/data/FormulaManager.h"
#include "host/data/SectorManager.h"
#include "quoterbrowser/CQuoterBrowserWidget.h"
#include "quoterbrowser/CWholeQuoteModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>

namespace ttbench {
namespace {

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

} // namespace

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

void registerCompactBenchmarks()
{
    using benchmark::RegisterBenchmark;
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
}

} // namespace ttbench

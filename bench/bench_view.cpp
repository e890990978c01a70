// The browse view beside naive Qt, in one run:
// - sector switch 沪深A股 → 沪深300 (300 instruments) → 沪深A股, each with the layout the
//   view kept for the sector, the rows' fill from the quote cache and the first paint;
//   baseline: a QStandardItemModel refill of the same rows from the same cache, its header
//   state restored, and the first paint of its QTableView;
// - the view's search filter over 5,000 instruments per keystroke (code contains, pinyin
//   initials); baseline: QSortFilterProxyModel with an escaped regular expression over
//   code and name;
// - param(true) and setParam(s, false) of a view with 20 kept sector layouts and 10
//   indicator columns with a cached value for every row, and the start-up: construction,
//   setParam and the first painted page of 沪深A股; baseline: the same layout data (the
//   sector list, the 20 table strings and the cached values) written as a QJsonDocument
//   and read back into maps, and for start-up a QTableView loaded with the rows' quotes and
//   the cached values, then painted.

#include "bench/BenchCommon.h"

#include "browse/BrowseTypes.h"
#include "browse/CBrowseWidget.h"
#include "host/data/ColumnInfo.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/market/EmbeddedMarket.h"
#include "host/toolkit/SearchTextLineEdit.h"
#include "view/CIndexBrowseView.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSignalBlocker>
#include <QTableView>
#include <QTemporaryDir>

#include <memory>

namespace ttbench {
namespace {

const QString kLarge = QStringLiteral("沪深A股");
const QString kSmall = QStringLiteral("沪深300");
constexpr int kLayouts = 20;
constexpr int kIndicators = 10;

// Points the user data folder (where the tables write their value files) at a folder of
// the scenario's own while it runs.
class UserDirScope {
public:
    explicit UserDirScope(const QString& dir) : m_old(qgetenv("TT_USER_DIR"))
    {
        qputenv("TT_USER_DIR", dir.toUtf8());
    }
    ~UserDirScope() { qputenv("TT_USER_DIR", m_old); }

private:
    QByteArray m_old;
};

std::unique_ptr<TC::CIndexBrowseView> newView()
{
    auto view = std::make_unique<TC::CIndexBrowseView>(nullptr, TC::BrowseType_Default);
    view->resize(1600, 900);
    view->setAttribute(Qt::WA_DontShowOnScreen);
    view->show();
    QCoreApplication::processEvents();
    return view;
}

// The first paint of what a switch left on screen: pending layouts, then the whole view.
void firstPaint(QWidget* widget, QImage& image)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QPainter painter(&image);
    widget->render(&painter);
}

double msSince(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

QList<ttservice::CInstrumentDetailPtr> sectorList(const QString& name)
{
    return TC::CSectorManager::instance()->getSectorStockList(name);
}

// --- sector switch ---------------------------------------------------------------------

void BM_ViewSwitch_Library(benchmark::State& state)
{
    auto view = newView();
    view->setSector(kLarge);
    if (view->getCurrentSector() != kLarge || view->mainBrowseWidget()->getStockListSize() == 0) {
        state.SkipWithError("the view shows no sector");
        return;
    }
    // each sector leaves its table's layout behind in the view, applied when it comes back
    view->setSector(kSmall);
    view->setSector(kLarge);
    QImage image(1600, 900, QImage::Format_ARGB32_Premultiplied);
    double toSmall = 0, toLarge = 0, cpuSmall = 0, cpuLarge = 0;
    int smallRows = 0, largeRows = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = threadCpuSeconds();
        view->setSector(kSmall);
        firstPaint(view.get(), image);
        const double a = msSince(clock);
        const double cpu1 = threadCpuSeconds();
        smallRows = view->mainBrowseWidget()->getStockListSize();
        clock.restart();
        const double cpu2 = threadCpuSeconds();
        view->setSector(kLarge);
        firstPaint(view.get(), image);
        const double b = msSince(clock);
        cpuLarge += (threadCpuSeconds() - cpu2) * 1e3;
        cpuSmall += (cpu1 - cpu0) * 1e3;
        largeRows = view->mainBrowseWidget()->getStockListSize();
        toSmall += a;
        toLarge += b;
        state.SetIterationTime((a + b) / 1e3);
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["to_small_ms"] = toSmall / n;
    state.counters["to_large_ms"] = toLarge / n;
    state.counters["to_small_cpu_ms"] = cpuSmall / n;
    state.counters["to_large_cpu_ms"] = cpuLarge / n;
    state.counters["small_rows"] = smallRows;
    state.counters["large_rows"] = largeRows;
}

// One sector of the baseline: its rows, its quotes read from the cache, and its header.
void baselineShow(BaselineTable& table, const QList<ttservice::CInstrumentDetailPtr>& list,
                  const QByteArray& header)
{
    auto* market = ttmarket::EmbeddedMarket::instance();
    std::vector<ttservice::CInstrumentDetailPtr> instruments(list.begin(), list.end());
    std::vector<quoter::QuoterAllDataPtr> quotes;
    quotes.reserve(instruments.size());
    for (const auto& d : instruments)
        quotes.push_back(market->lastQuote(d->market.toStdString(), d->code.toStdString()));
    table.load(instruments, quotes);
    if (!header.isEmpty())
        table.view()->horizontalHeader()->restoreState(header);
}

void BM_ViewSwitch_Baseline(benchmark::State& state)
{
    const auto large = sectorList(kLarge), small = sectorList(kSmall);
    BaselineTable table(baselineTitles(*g_world->widget));
    table.view()->setAttribute(Qt::WA_DontShowOnScreen);
    table.view()->show();
    // the layout kept per sector: the header's state as it was when the sector was left
    baselineShow(table, large, {});
    const QByteArray largeHeader = table.view()->horizontalHeader()->saveState();
    baselineShow(table, small, {});
    table.view()->sortByColumn(0, Qt::AscendingOrder);
    const QByteArray smallHeader = table.view()->horizontalHeader()->saveState();
    QImage image(1600, 900, QImage::Format_ARGB32_Premultiplied);
    double toSmall = 0, toLarge = 0, cpuSmall = 0, cpuLarge = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = threadCpuSeconds();
        baselineShow(table, small, smallHeader);
        firstPaint(table.view(), image);
        const double a = msSince(clock);
        const double cpu1 = threadCpuSeconds();
        clock.restart();
        baselineShow(table, large, largeHeader);
        firstPaint(table.view(), image);
        const double b = msSince(clock);
        cpuLarge += (threadCpuSeconds() - cpu1) * 1e3;
        cpuSmall += (cpu1 - cpu0) * 1e3;
        toSmall += a;
        toLarge += b;
        state.SetIterationTime((a + b) / 1e3);
    }
    const double n = double(state.iterations());
    state.counters["to_small_ms"] = toSmall / n;
    state.counters["to_large_ms"] = toLarge / n;
    state.counters["to_small_cpu_ms"] = cpuSmall / n;
    state.counters["to_large_cpu_ms"] = cpuLarge / n;
    state.counters["small_rows"] = small.size();
    state.counters["large_rows"] = large.size();
}

// --- search filter ---------------------------------------------------------------------

// what a user types into the search row, one keystroke at a time
const QStringList& keystrokes()
{
    static const QStringList keys{QStringLiteral("y"),    QStringLiteral("yh"),
                                  QStringLiteral("6"),    QStringLiteral("60"),
                                  QStringLiteral("600"),  QStringLiteral("ZGPA"),
                                  QStringLiteral("银行"), QStringLiteral("(*")};
    return keys;
}

void BM_ViewSearch_Library(benchmark::State& state)
{
    const auto list = sectorList(kLarge).mid(0, 5000);
    auto view = newView();
    XP::CSearchTextLineEdit* edit = view->searchEdit();
    if (!edit) {
        state.SkipWithError("the view has no search row");
        return;
    }
    int kept = 0;
    double ms = 0;
    for (auto _ : state) {
        for (const QString& k : keystrokes()) {
            state.PauseTiming();
            {
                // the text only: the delayed re-apply of the sector is not the filter
                const QSignalBlocker quiet(edit);
                edit->setText(k);
            }
            state.ResumeTiming();
            QElapsedTimer clock;
            clock.start();
            TC::CIndexBrowseView::InstrumentList filtered = list;
            view->filterStockList(filtered);
            ms += msSince(clock);
            kept += filtered.size();
        }
    }
    benchmark::DoNotOptimize(kept);
    state.counters["rows"] = list.size();
    state.counters["kept_per_key"] = double(kept) / state.iterations() / keystrokes().size();
    state.counters["keystroke_ms"] = ms / state.iterations() / keystrokes().size();

    // once the delay has run out the view shows its sector again through the filter: the
    // whole 沪深A股 switch with its first paint, once per keystroke's text
    view->setSector(kLarge);
    if (view->getCurrentSector() != kLarge)
        return;
    QImage image(1600, 900, QImage::Format_ARGB32_Premultiplied);
    double applyMs = 0;
    for (const QString& k : keystrokes()) {
        {
            const QSignalBlocker quiet(edit);
            edit->setText(k);
        }
        QElapsedTimer clock;
        clock.start();
        view->slotSearchDelayUse();
        firstPaint(view.get(), image);
        applyMs += msSince(clock);
        QCoreApplication::processEvents();
    }
    state.counters["apply_ms"] = applyMs / keystrokes().size();
}

void BM_ViewSearch_Baseline(benchmark::State& state)
{
    const auto list = sectorList(kLarge).mid(0, 5000);
    SearchBaseline search(list);
    int kept = 0;
    double ms = 0;
    for (auto _ : state) {
        for (const QString& k : keystrokes()) {
            QElapsedTimer clock;
            clock.start();
            kept += search.apply(k);
            ms += msSince(clock);
        }
    }
    benchmark::DoNotOptimize(kept);
    state.counters["rows"] = list.size();
    state.counters["kept_per_key"] = double(kept) / state.iterations() / keystrokes().size();
    state.counters["keystroke_ms"] = ms / state.iterations() / keystrokes().size();
}

// --- param, setParam and start-up ------------------------------------------------------

QString indicatorTitle(int i)
{
    return QStringLiteral("MA%1").arg(i + 1);
}

struct ParamWorld {
    QTemporaryDir savedDir;   // the value files of `saved`, read by every restore
    QTemporaryDir scratchDir; // the value files the save iterations write, emptied after each
    std::unique_ptr<TC::CIndexBrowseView> source;
    QString saved;
    int layouts = 0;
    int cachedValues = 0;
    // the same data for the baseline
    QStringList sectorKeys;
    QStringList sectorParams;
    QMap<QString, QMap<QString, double>> values; // key → title → value
};
ParamWorld* g_viewParam = nullptr;
void buildParamWorld();

// The view that saves, built on first use; null when the view shows no sector.
ParamWorld* viewParamWorld(benchmark::State& state)
{
    if (!g_viewParam)
        buildParamWorld();
    if (g_viewParam->saved.isEmpty()) {
        state.SkipWithError("the view shows no sector to save");
        return nullptr;
    }
    return g_viewParam;
}

void buildParamWorld()
{
    auto* p = g_viewParam = new ParamWorld;
    UserDirScope scope(p->savedDir.path());
    p->source = newView();
    TC::CIndexBrowseView& view = *p->source;
    view.setSector(kLarge);
    TC::CBrowseWidget* table = view.mainBrowseWidget();
    if (!table || view.getCurrentSector() != kLarge)
        return; // nothing to save: the scenarios say so
    for (int i = 0; i < kIndicators; ++i) {
        TC::ColumnInfo c;
        c.formulaName = QStringLiteral("MA");
        c.lineIndex = i;
        c.title = indicatorTitle(i);
        c.period = 86400000;
        table->addCustomIndex(c);
    }
    // 20 sectors visited: each leaves its table's layout behind in the view
    QStringList visits{kSmall};
    if (TC::CSectorDetail* industries =
            TC::CSectorManager::instance()->getSector(QStringLiteral("申万一级行业板块"))) {
        for (TC::CSectorDetail* child : industries->getChildren()) {
            if (visits.size() >= kLayouts - 1)
                break;
            if (!child->hasChildren())
                visits.append(child->getName());
        }
    }
    for (const QString& name : qAsConst(visits))
        view.setSector(name);
    view.setSector(kLarge);
    QCoreApplication::processEvents();
    // a cached value for every row of every indicator column, as a finished batch leaves
    auto& cache = table->customIndexValues()[kLarge];
    for (int i = 0; i < kIndicators; ++i) {
        auto& rows = cache[indicatorTitle(i)];
        int n = 0;
        for (const auto& d : sectorList(kLarge)) {
            const QString key = XP::nvStockKey(d->market, d->code);
            const double v = 10.0 + 0.0137 * ++n + i;
            rows.insert(key, v);
            p->values[key][indicatorTitle(i)] = v;
            ++p->cachedValues;
        }
    }
    p->saved = view.param(true);
    const auto stored = view.sectorParams();
    const auto kind = stored.find(TC::CIndexBrowseView::KindMain);
    if (kind != stored.end()) {
        for (const auto& entry : kind->second) {
            p->sectorKeys.append(entry.first);
            p->sectorParams.append(entry.second);
        }
    }
    p->layouts = p->sectorKeys.size();
}

void emptyFolder(const QString& path)
{
    QDir dir(path);
    dir.removeRecursively();
    QDir().mkpath(path);
}

void BM_ViewParamSave_Library(benchmark::State& state)
{
    ParamWorld* p = viewParamWorld(state);
    if (!p)
        return;
    UserDirScope scope(p->scratchDir.path());
    int length = 0;
    double cpu = 0;
    for (auto _ : state) {
        const double cpu0 = threadCpuSeconds();
        const QString s = p->source->param(true);
        cpu += threadCpuSeconds() - cpu0;
        length = s.size();
        state.PauseTiming();
        emptyFolder(p->scratchDir.path());
        state.ResumeTiming();
    }
    state.counters["layouts"] = p->layouts;
    state.counters["values"] = p->cachedValues;
    state.counters["chars"] = length;
    state.counters["cpu_ms"] = cpu * 1e3 / double(state.iterations());
}

void BM_ViewParamRestore_Library(benchmark::State& state)
{
    ParamWorld* p = viewParamWorld(state);
    if (!p)
        return;
    UserDirScope scope(p->savedDir.path());
    int restored = 0;
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto view = newView();
        state.ResumeTiming();
        const double cpu0 = threadCpuSeconds();
        view->setParam(p->saved, false);
        cpu += threadCpuSeconds() - cpu0;
        state.PauseTiming();
        restored = int(view->sectorParams().count(TC::CIndexBrowseView::KindMain)
                           ? view->sectorParams().at(TC::CIndexBrowseView::KindMain).size()
                           : 0);
        view.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["layouts"] = restored;
    state.counters["cpu_ms"] = cpu * 1e3 / double(state.iterations());
}

int cachedCells(TC::CBrowseWidget& table)
{
    int n = 0;
    const auto& cache = table.customIndexValues();
    const auto sector = cache.constFind(kLarge);
    if (sector == cache.constEnd())
        return 0;
    for (const auto& rows : *sector)
        n += rows.size();
    return n;
}

void BM_ViewStartup_Library(benchmark::State& state)
{
    ParamWorld* p = viewParamWorld(state);
    if (!p)
        return;
    UserDirScope scope(p->savedDir.path());
    QImage image(1600, 900, QImage::Format_ARGB32_Premultiplied);
    int values = 0, rows = 0;
    double cpu = 0;
    for (auto _ : state) {
        const double cpu0 = threadCpuSeconds();
        auto view = std::make_unique<TC::CIndexBrowseView>(nullptr, TC::BrowseType_Default);
        view->resize(1600, 900);
        view->setAttribute(Qt::WA_DontShowOnScreen);
        view->show();
        view->setParam(p->saved, false);
        firstPaint(view.get(), image);
        cpu += threadCpuSeconds() - cpu0;
        state.PauseTiming();
        values = cachedCells(*view->mainBrowseWidget());
        rows = view->mainBrowseWidget()->getStockListSize();
        view.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
    state.counters["cached_values"] = values;
    state.counters["cpu_ms"] = cpu * 1e3 / double(state.iterations());
}

QByteArray baselineSave(const ParamWorld& p)
{
    QJsonObject o;
    o.insert(QStringLiteral("currentSector"), kLarge);
    QJsonArray keys, params;
    for (int i = 0; i < p.sectorKeys.size(); ++i) {
        keys.append(p.sectorKeys[i]);
        params.append(p.sectorParams[i]);
    }
    o.insert(QStringLiteral("sectorKeys"), keys);
    o.insert(QStringLiteral("sectorParams"), params);
    QJsonObject values;
    for (auto k = p.values.cbegin(); k != p.values.cend(); ++k) {
        QJsonObject row;
        for (auto t = k->cbegin(); t != k->cend(); ++t)
            row.insert(t.key(), t.value());
        values.insert(k.key(), row);
    }
    o.insert(QStringLiteral("values"), values);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QString baselinePath(const ParamWorld& p)
{
    return p.savedDir.path() + QStringLiteral("/baseline-view.json");
}

bool baselineWrite(const ParamWorld& p)
{
    QFile f(baselinePath(p));
    return f.open(QIODevice::WriteOnly) && f.write(baselineSave(p)) >= 0;
}

// Reads the file back: the layouts by key and the values by row key and title.
int baselineRead(const ParamWorld& p, QMap<QString, QString>& layouts,
                 QMap<QString, QMap<QString, double>>& values)
{
    QFile f(baselinePath(p));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
    const QJsonArray keys = o.value(QStringLiteral("sectorKeys")).toArray();
    const QJsonArray params = o.value(QStringLiteral("sectorParams")).toArray();
    for (int i = 0; i < keys.size() && i < params.size(); ++i)
        layouts.insert(keys[i].toString(), params[i].toString());
    const QJsonObject v = o.value(QStringLiteral("values")).toObject();
    for (auto k = v.begin(); k != v.end(); ++k) {
        const QJsonObject row = k.value().toObject();
        auto& out = values[k.key()];
        for (auto t = row.begin(); t != row.end(); ++t)
            out.insert(t.key(), t.value().toDouble());
    }
    return layouts.size();
}

void BM_ViewParamSave_Baseline(benchmark::State& state)
{
    ParamWorld* p = viewParamWorld(state);
    if (!p)
        return;
    double cpu = 0;
    for (auto _ : state) {
        const double cpu0 = threadCpuSeconds();
        if (!baselineWrite(*p))
            state.SkipWithError("cannot write the baseline file");
        cpu += threadCpuSeconds() - cpu0;
    }
    state.counters["layouts"] = p->layouts;
    state.counters["values"] = p->cachedValues;
    state.counters["cpu_ms"] = cpu * 1e3 / double(state.iterations());
}

void BM_ViewParamRestore_Baseline(benchmark::State& state)
{
    ParamWorld* p = viewParamWorld(state);
    if (!p)
        return;
    if (!baselineWrite(*p)) {
        state.SkipWithError("cannot write the baseline file");
        return;
    }
    int restored = 0;
    double cpu = 0;
    for (auto _ : state) {
        const double cpu0 = threadCpuSeconds();
        QMap<QString, QString> layouts;
        QMap<QString, QMap<QString, double>> values;
        restored = baselineRead(*p, layouts, values);
        benchmark::DoNotOptimize(values);
        cpu += threadCpuSeconds() - cpu0;
    }
    state.counters["layouts"] = restored;
    state.counters["cpu_ms"] = cpu * 1e3 / double(state.iterations());
}

void BM_ViewStartup_Baseline(benchmark::State& state)
{
    ParamWorld* p = viewParamWorld(state);
    if (!p)
        return;
    if (!baselineWrite(*p)) {
        state.SkipWithError("cannot write the baseline file");
        return;
    }
    const auto list = sectorList(kLarge);
    QImage image(1600, 900, QImage::Format_ARGB32_Premultiplied);
    int rows = 0, values = 0;
    double cpu = 0;
    for (auto _ : state) {
        const double cpu0 = threadCpuSeconds();
        auto table = std::make_unique<BaselineTable>(baselineTitles(*g_world->widget));
        table->view()->setAttribute(Qt::WA_DontShowOnScreen);
        table->view()->show();
        QMap<QString, QString> layouts;
        QMap<QString, QMap<QString, double>> cached;
        baselineRead(*p, layouts, cached);
        QVector<int> columns;
        for (int i = 0; i < kIndicators; ++i)
            columns.append(table->addColumn(indicatorTitle(i)));
        baselineShow(*table, list, {});
        values = 0;
        for (const auto& d : list) {
            const auto row = cached.constFind(XP::nvStockKey(d->market, d->code));
            if (row == cached.constEnd())
                continue;
            for (int i = 0; i < kIndicators; ++i) {
                table->setValue(d->code, columns[i], row->value(indicatorTitle(i)));
                ++values;
            }
        }
        firstPaint(table->view(), image);
        cpu += threadCpuSeconds() - cpu0;
        state.PauseTiming();
        rows = table->model()->rowCount();
        table.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
    state.counters["cached_values"] = values;
    state.counters["cpu_ms"] = cpu * 1e3 / double(state.iterations());
}

} // namespace

void registerViewBenchmarks()
{
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("BM_ViewSwitch_Library", BM_ViewSwitch_Library)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_ViewSwitch_Baseline", BM_ViewSwitch_Baseline)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_ViewSearch_Library", BM_ViewSearch_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_ViewSearch_Baseline", BM_ViewSearch_Baseline)
        ->Unit(benchmark::kMillisecond);
    for (auto* b : {RegisterBenchmark("BM_ViewParamSave_Library", BM_ViewParamSave_Library),
                    RegisterBenchmark("BM_ViewParamSave_Baseline", BM_ViewParamSave_Baseline),
                    RegisterBenchmark("BM_ViewParamRestore_Library", BM_ViewParamRestore_Library),
                    RegisterBenchmark("BM_ViewParamRestore_Baseline", BM_ViewParamRestore_Baseline),
                    RegisterBenchmark("BM_ViewStartup_Library", BM_ViewStartup_Library),
                    RegisterBenchmark("BM_ViewStartup_Baseline", BM_ViewStartup_Baseline)})
        b->Unit(benchmark::kMillisecond);
}

void releaseViewWorld()
{
    delete g_viewParam;
    g_viewParam = nullptr;
}

} // namespace ttbench

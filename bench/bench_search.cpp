// The host's search and sector services beside naive Qt: filtering 5,000 instruments by
// code, name and pinyin initials per keystroke, and filling a user sector with the whole
// catalogue (up to 20,000 instruments) and thinning it by 5,000.

#include "bench/BenchCommon.h"

#include "host/data/Pinyin.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"


namespace ttbench {
namespace {

// what a user types into the search field, one keystroke at a time
const QStringList& keystrokes()
{
    static const QStringList keys{
        QStringLiteral("Y"),   QStringLiteral("YH"),   QStringLiteral("6"),    QStringLiteral("60"),
        QStringLiteral("600"), QStringLiteral("ZGPA"), QStringLiteral("银行"), QString()};
    return keys;
}

QList<ttservice::CInstrumentDetailPtr> searchUniverse()
{
    QList<ttservice::CInstrumentDetailPtr> list =
        TC::CSectorManager::instance()->getSectorStockList(QStringLiteral("沪深A股"));
    return list.mid(0, 5000);
}

// The browse view's filter: code or name contains the upper-cased text, or either
// matches it by pinyin initials (the name's precomputed in the catalogue).
int filterLibrary(const QList<ttservice::CInstrumentDetailPtr>& list, const QString& text)
{
    const QString upper = text.toUpper();
    if (upper.isEmpty())
        return list.size();
    const TC::CPinyinKey key(upper);
    int kept = 0;
    for (const auto& d : list)
        kept += d->code.contains(upper) || key.matches(d->code) || d->name.contains(upper)
                || key.matches(d->nameInitials);
    return kept;
}

void BM_SearchFilter_Library(benchmark::State& state)
{
    const auto list = searchUniverse();
    int kept = 0;
    for (auto _ : state)
        for (const QString& k : keystrokes())
            kept += filterLibrary(list, k);
    benchmark::DoNotOptimize(kept);
    state.counters["rows"] = list.size();
    state.counters["keystroke_ms"] = benchmark::Counter(
        double(keystrokes().size()) / 1000.0,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SearchFilter_Baseline(benchmark::State& state)
{
    const auto list = searchUniverse();
    SearchBaseline search(list);
    int kept = 0;
    for (auto _ : state)
        for (const QString& k : keystrokes())
            kept += search.apply(k);
    benchmark::DoNotOptimize(kept);
    state.counters["rows"] = list.size();
    state.counters["keystroke_ms"] = benchmark::Counter(
        double(keystrokes().size()) / 1000.0,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

QStringList fillKeys()
{
    QStringList keys;
    for (const auto& d : TC::CStockManager::instance()->allInstruments()) {
        keys.append(d->key);
        if (keys.size() == 20000)
            break;
    }
    return keys;
}

void BM_SectorFill_Library(benchmark::State& state)
{
    const QStringList keys = fillKeys();
    TC::CSectorManager* m = TC::CSectorManager::instance();
    const QString self = QStringLiteral("自选股");
    for (auto _ : state) {
        m->addStockListToSector(self, keys);
        m->removeStockListFromSector(self, keys.mid(0, 5000));
        m->cleanStockFromSector(self, false);
    }
    state.counters["members"] = keys.size();
}

// A list that checks for duplicates and removes by searching, as a plain QStringList does.
void BM_SectorFill_Baseline(benchmark::State& state)
{
    const QStringList keys = fillKeys();
    for (auto _ : state) {
        QStringList members;
        for (const QString& k : keys)
            if (!members.contains(k))
                members.append(k);
        for (const QString& k : keys.mid(0, 5000))
            members.removeAll(k);
        benchmark::DoNotOptimize(members);
    }
    state.counters["members"] = keys.size();
}

} // namespace

void registerSearchBenchmarks()
{
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("BM_SearchFilter_Library", BM_SearchFilter_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_SearchFilter_Baseline", BM_SearchFilter_Baseline)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_SectorFill_Library", BM_SectorFill_Library)
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_SectorFill_Baseline", BM_SectorFill_Baseline)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
}

} // namespace ttbench

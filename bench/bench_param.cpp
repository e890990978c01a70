// Saving and restoring a table of --rows rows with 10 indicator columns (a cached value for
// every cell) through its parameter string and value file, beside a baseline that builds the
// same lines by QString concatenation and reads them back with QString::split.

#include "bench/BenchCommon.h"

#include "browse/CBrowseWidget.h"
#include "host/data/ColumnInfo.h"
#include "host/data/StockKey.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <memory>

namespace ttbench {
namespace {

constexpr int kColumns = 10;
const QString kSector = QStringLiteral("沪深A股");

QString titleOf(int i)
{
    return QStringLiteral("MA%1").arg(i + 1);
}

// Points the user data folder at the scenario's own while it runs; the other scenarios
// keep theirs.
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

struct ParamWorld {
    QTemporaryDir userDir;
    std::unique_ptr<TC::CBrowseWidget> source;
    QString saved; // source's full save, restored by every restore iteration
};
ParamWorld* g_param = nullptr;

std::unique_ptr<TC::CBrowseWidget> filledTable()
{
    auto w = std::make_unique<TC::CBrowseWidget>();
    w->setSectorName(kSector);
    w->setStockList(g_world->list, false);
    return w;
}

ParamWorld& paramWorld()
{
    if (!g_param) {
        g_param = new ParamWorld;
        UserDirScope scope(g_param->userDir.path());
        g_param->source = filledTable();
        auto& values = g_param->source->customIndexValues()[kSector];
        for (int i = 0; i < kColumns; ++i) {
            TC::ColumnInfo c;
            c.formulaName = QStringLiteral("MA");
            c.lineIndex = i;
            c.title = titleOf(i);
            c.period = 86400000;
            g_param->source->addCustomIndex(c);
            auto& rows = values[c.title];
            int n = 0;
            for (const auto& d : g_world->instruments)
                rows.insert(XP::nvStockKey(d->market, d->code), 10.0 + 0.0137 * ++n + i);
        }
        g_param->saved = g_param->source->param(true);
    }
    return *g_param;
}

void removeSideFiles(const QString& param)
{
    for (const char* key : {"\"customIndexValueFileName\":\"", "\"UserDefinedFieldFileName\":\""}) {
        const int at = param.indexOf(QLatin1String(key));
        if (at < 0)
            continue;
        const int begin = at + int(qstrlen(key));
        QFile::remove(param.mid(begin, param.indexOf(QLatin1Char('"'), begin) - begin));
    }
}

void BM_ParamSave_Library(benchmark::State& state)
{
    ParamWorld& p = paramWorld();
    UserDirScope scope(p.userDir.path());
    for (auto _ : state) {
        const QString s = p.source->param(true);
        state.PauseTiming();
        removeSideFiles(s);
        state.ResumeTiming();
    }
    state.counters["values"] = double(kColumns) * g_world->instruments.size();
}

void BM_ParamRestore_Library(benchmark::State& state)
{
    ParamWorld& p = paramWorld();
    UserDirScope scope(p.userDir.path());
    for (auto _ : state) {
        state.PauseTiming();
        auto w = filledTable();
        state.ResumeTiming();
        w->setParam(p.saved, true);
        state.PauseTiming();
        w.reset();
        state.ResumeTiming();
    }
}

// The baseline writes the value lines by QString concatenation, the columns as lines of
// the same fields, and reads both back with QString::split.
QString baselineSave(const TC::CBrowseWidget::CustomIndexValues& cache,
                     const QList<TC::ColumnInfo>& columns, const QString& path)
{
    QString text;
    for (auto k = cache.cbegin(); k != cache.cend(); ++k) {
        for (auto t = k->cbegin(); t != k->cend(); ++t) {
            for (auto r = t->cbegin(); r != t->cend(); ++r) {
                if (!text.isEmpty())
                    text += "\n";
                text += k.key() + "," + t.key() + "," + r.key() + ","
                        + QString::number(r.value(), 'f', 4);
            }
        }
    }
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text.toUtf8());
    QString lines;
    for (const TC::ColumnInfo& c : columns) {
        if (!lines.isEmpty())
            lines += "\n";
        lines += c.formulaName + "," + QString::number(c.lineIndex) + ","
                 + QString::number(c.period) + "," + c.title;
    }
    return lines;
}

void BM_ParamSave_Baseline(benchmark::State& state)
{
    ParamWorld& p = paramWorld();
    const QString path = p.userDir.path() + QStringLiteral("/baseline.csv");
    for (auto _ : state)
        benchmark::DoNotOptimize(
            baselineSave(p.source->customIndexValues(), p.source->customIndexColumns(), path));
}

void BM_ParamRestore_Baseline(benchmark::State& state)
{
    ParamWorld& p = paramWorld();
    const QString path = p.userDir.path() + QStringLiteral("/baseline.csv");
    const QString lines =
        baselineSave(p.source->customIndexValues(), p.source->customIndexColumns(), path);
    for (auto _ : state) {
        TC::CBrowseWidget::CustomIndexValues cache;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            state.SkipWithError("no baseline file");
        const QString text = QString::fromUtf8(f.readAll());
        for (const QString& line : text.split("\n")) {
            const QStringList fields = line.split(",");
            if (fields.size() >= 4)
                cache[fields[0]][fields[1]][fields[2]] = fields[3].toDouble();
        }
        int columns = 0;
        for (const QString& line : lines.split("\n"))
            columns += line.split(",").size() >= 4 ? 1 : 0;
        benchmark::DoNotOptimize(columns);
        benchmark::DoNotOptimize(cache);
    }
}

} // namespace

void registerParamBenchmarks()
{
    using benchmark::RegisterBenchmark;
    for (auto* b : {RegisterBenchmark("BM_ParamSave_Library", BM_ParamSave_Library),
                    RegisterBenchmark("BM_ParamSave_Baseline", BM_ParamSave_Baseline),
                    RegisterBenchmark("BM_ParamRestore_Library", BM_ParamRestore_Library),
                    RegisterBenchmark("BM_ParamRestore_Baseline", BM_ParamRestore_Baseline)})
        b->Unit(benchmark::kMillisecond);
}

void releaseParamWorld()
{
    delete g_param;
    g_param = nullptr;
}

} // namespace ttbench

// The quote bus beside the in-process backend: 5,000 instruments at 10 snapshots a second
// through one local nats-server to a terminal's rows (publisher-to-row latency, GUI thread
// busy, lost last values), the same load through the embedded backend's push hub, and 1 to
// 20 headless terminal processes on one server (server and per-terminal CPU).
// Each scenario starts its own server on the loopback address and stops it; without an
// installed nats-server the bus scenarios skip themselves and say so.
//   TT_BENCH_BUS_INSTRUMENTS (5000), TT_BENCH_BUS_SECONDS (sustain seconds, at most 5),
//   TT_BENCH_BUS_TERMINALS ("1,5,20") tune the sizes.

#include "bench/BenchCommon.h"
#include "bench/BusLoad.h"

#include "host/data/UniverseData.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/PushHub.h"
#include "host/nats/FeedPublisher.h"
#include "host/nats/LocalNatsServer.h"
#include "host/nats/NatsBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

namespace ttbench {
namespace {

constexpr int kSnapshotsPerSecond = 10;

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

int busInstruments()
{
    return envInt("TT_BENCH_BUS_INSTRUMENTS", 5000);
}

double busSeconds()
{
    return envInt("TT_BENCH_BUS_SECONDS", std::min(g_sustainSeconds, 5));
}

// The GUI side of a terminal: deliveries queue under a lock and one queued call drains
// them into the rows, like the quote model's delivery queue.
class GuiFeed final : public QObject {
public:
    GuiFeed(int n, int64_t expected) : store(n, expected) {}

    void push(const QVector<QString>& codes, const std::vector<quoter::QuoterAllDataPtr>& quotes)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.push_back({codes, quotes});
        if (m_posted)
            return;
        m_posted = true;
        QMetaObject::invokeMethod(
            this, [this] { drain(); }, Qt::QueuedConnection);
    }

    RowStore store;

private:
    struct Batch {
        QVector<QString> codes;
        std::vector<quoter::QuoterAllDataPtr> quotes;
    };
    void drain()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_draining.swap(m_pending);
            m_posted = false;
        }
        for (const Batch& b : m_draining)
            store.write(b.codes, b.quotes);
        m_draining.clear();
    }

    std::mutex m_mutex;
    std::vector<Batch> m_pending, m_draining;
    bool m_posted = false;
};

int lostValues(const RowStore& store, int n, int64_t total)
{
    int lost = 0;
    for (int i = 0; i < n; ++i) {
        const int k = sentTo(i, n, total);
        if (k > 0 && store.lastOf(i) != busPrice(k))
            ++lost;
    }
    return lost;
}

// Runs the paced load on a thread while this (GUI) thread drains deliveries; stops once
// every row holds its last value or 10 s after the load ended. Reports the figures.
void runFeed(benchmark::State& state, GuiFeed& gui, int n,
             const std::function<void(int, const quoter::QuoterAllData&)>& send,
             const std::function<void()>& sliceDone, const std::function<void()>& afterLoad)
{
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::atomic<int64_t> sent{0};
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = threadCpuSeconds();
        double guiCpu = -1, loadSeconds = 0;
        std::thread load([&] {
            sent = paceLoad(n, kSnapshotsPerSecond, busSeconds(), send, sliceDone);
            if (afterLoad)
                afterLoad();
            done = true;
        });
        QEventLoop loop;
        QTimer poll;
        QElapsedTimer sinceDone;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!done)
                return;
            if (guiCpu < 0) {
                guiCpu = threadCpuSeconds() - cpu0;
                loadSeconds = wall.elapsed() / 1000.0;
                sinceDone.start();
            }
            if (lostValues(gui.store, n, sent) == 0 || sinceDone.elapsed() > 10000)
                loop.quit();
        });
        poll.start(5);
        loop.exec();
        load.join();
        state.SetIterationTime(wall.elapsed() / 1000.0);
        const double seconds = std::max(1e-3, loadSeconds);
        state.counters["p50_ms"] = gui.store.percentileMs(50);
        state.counters["p99_ms"] = gui.store.percentileMs(99);
        state.counters["gui_busy_pct"] = 100.0 * guiCpu / seconds;
        state.counters["lost_last_values"] = lostValues(gui.store, n, sent);
        state.counters["msgs_per_s"] = double(sent) / seconds;
        state.counters["instruments"] = n;
    }
}

struct Bus {
    ttnats::LocalNatsServer server;
    std::unique_ptr<ttnats::FeedPublisher> publisher;
    std::vector<std::string> markets, codes;
    QString error;

    bool start(int n)
    {
        if (!server.start()) {
            error = ttnats::LocalNatsServer::program().isEmpty()
                        ? QStringLiteral("nats-server not installed: bus scenario skipped")
                        : QStringLiteral("nats-server did not start: bus scenario skipped");
            return false;
        }
        ttnats::FeedPublisherOptions po;
        po.url = server.url();
        std::string e;
        publisher =
            ttnats::FeedPublisher::start(po, ttmarket::embeddedBackend(), busCatalogue(n), e);
        if (!publisher) {
            error = QString::fromStdString(e);
            return false;
        }
        for (int i = 0; i < n; ++i) {
            markets.push_back(busMarket(i));
            codes.push_back(busCode(i));
        }
        return true;
    }
    void send(int i, const quoter::QuoterAllData& q)
    {
        publisher->publish(markets[size_t(i)], codes[size_t(i)], q);
    }
};

void BM_BusFeed_Library(benchmark::State& state)
{
    const int n = busInstruments();
    Bus bus;
    if (!bus.start(n)) {
        state.SkipWithError(qPrintable(bus.error));
        return;
    }
    ttnats::NatsFeedOptions o;
    o.url = bus.server.url();
    std::string error;
    auto backend = ttnats::NatsBackend::connect(o, error);
    if (!backend) {
        state.SkipWithError(error.c_str());
        return;
    }
    GuiFeed gui(n, int64_t(n) * kSnapshotsPerSecond * int64_t(busSeconds() + 1));
    for (const char* m : {"SH", "SZ"}) {
        backend->subscribe(
            dorn::PushQuoteParam(m),
            [&gui](dorn::PushQuoteParam&, const QVector<QString>& codes, const QVector<QString>&,
                   const std::vector<quoter::QuoterAllDataPtr>& quotes) {
                gui.push(codes, quotes);
            },
            TC::IMarketBackend::ePushChanged);
    }
    runFeed(
        state, gui, n, [&](int i, const quoter::QuoterAllData& q) { bus.send(i, q); }, {},
        [&] { bus.publisher->flush(10000); });
    const ttnats::NatsFeedStats s = backend->stats();
    state.counters["client_dropped"] = double(s.clientDropped);
    state.counters["resnapshots"] = double(s.snapshots);
    backend.reset();
}

// The embedded backend's delivery path: the same snapshots, one batch per market and slice.
void BM_BusFeed_Baseline(benchmark::State& state)
{
    const int n = busInstruments();
    ttmarket::PushHub hub;
    GuiFeed gui(n, int64_t(n) * kSnapshotsPerSecond * int64_t(busSeconds() + 1));
    for (const char* m : {"SH", "SZ"}) {
        hub.subscribe(
            dorn::PushQuoteParam(m),
            [&gui](dorn::PushQuoteParam&, const QVector<QString>& codes, const QVector<QString>&,
                   const std::vector<quoter::QuoterAllDataPtr>& quotes) {
                gui.push(codes, quotes);
            },
            ttmarket::kModeChanged);
    }
    QVector<QString> codes[2], markets[2], qsCodes;
    std::vector<quoter::QuoterAllDataPtr> quotes[2];
    for (int i = 0; i < n; ++i)
        qsCodes.push_back(QString::fromStdString(busCode(i)));
    const QString qsMarket[2] = {QStringLiteral("SH"), QStringLiteral("SZ")};
    runFeed(
        state, gui, n,
        [&](int i, const quoter::QuoterAllData& q) {
            codes[i % 2].push_back(qsCodes[i]);
            markets[i % 2].push_back(qsMarket[i % 2]);
            quotes[i % 2].push_back(std::make_shared<quoter::QuoterAllData>(q));
        },
        [&] {
            for (int m = 0; m < 2; ++m) {
                hub.deliver(m ? "SZ" : "SH", ttmarket::kModeChanged, codes[m], markets[m],
                            quotes[m]);
                codes[m].clear();
                markets[m].clear();
                quotes[m].clear();
            }
        },
        {});
    hub.clear();
}

// CPU seconds a process spent so far, from /proc.
double processCpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // the fields after the command's closing parenthesis: utime and stime are 12th and 13th
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// The next line of a terminal process that starts with word (its log lines are skipped);
// empty after 30 s or when the process ended.
QByteArray protocolLine(QProcess& p, const char* word)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000) {
        while (p.canReadLine()) {
            const QByteArray line = p.readLine();
            if (line.startsWith(word))
                return line;
        }
        if (p.state() == QProcess::NotRunning)
            break;
        p.waitForReadyRead(1000);
    }
    return QByteArray();
}

// N headless terminal processes (backend and a row store each) on one server.
void BM_BusTerminals_Library(benchmark::State& state)
{
    const int terminals = int(state.range(0));
    const int n = busInstruments();
    Bus bus;
    if (!bus.start(n)) {
        state.SkipWithError(qPrintable(bus.error));
        return;
    }
    const QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/tt_bus_terminal");
    std::vector<std::unique_ptr<QProcess>> procs;
    auto stopAll = [&] {
        for (auto& p : procs) {
            p->closeWriteChannel();
            if (!p->waitForFinished(5000))
                p->kill(); // by its own id, through QProcess
            p->waitForFinished(2000);
        }
    };
    for (int t = 0; t < terminals; ++t) {
        auto p = std::make_unique<QProcess>();
        p->start(exe, {QStringLiteral("--url"), QString::fromStdString(bus.server.url()),
                       QStringLiteral("--instruments"), QString::number(n)});
        procs.push_back(std::move(p));
    }
    for (auto& p : procs) {
        if (!protocolLine(*p, "ready").startsWith("ready")) {
            const QByteArray why = "a terminal process did not start: " + p->readAllStandardError()
                                   + p->errorString().toUtf8();
            stopAll();
            state.SkipWithError(why.constData());
            return;
        }
    }
    for (auto _ : state) {
        for (auto& p : procs) { // written now: the load below keeps this thread busy
            p->write("go\n");
            p->waitForBytesWritten(1000);
        }
        const double server0 = processCpuSeconds(bus.server.pid());
        QElapsedTimer wall;
        wall.start();
        const int64_t sent =
            paceLoad(n, kSnapshotsPerSecond, busSeconds(),
                     [&](int i, const quoter::QuoterAllData& q) { bus.send(i, q); });
        bus.publisher->flush(10000);
        const double loadSeconds = wall.elapsed() / 1000.0;
        const double serverCpu = processCpuSeconds(bus.server.pid()) - server0;
        const QByteArray expect = "expect " + QByteArray::number(qlonglong(sent)) + "\n";
        for (auto& p : procs) {
            p->write(expect);
            p->waitForBytesWritten(1000);
        }
        int keepingUp = 0;
        double cpuSum = 0, p99Max = 0;
        for (auto& p : procs) {
            // "result lost=L cpu_s=C wall_s=W p99_ms=P"
            const QList<QByteArray> f = protocolLine(*p, "result").trimmed().split(' ');
            auto field = [&](const char* key) {
                for (const QByteArray& kv : f) {
                    if (kv.startsWith(QByteArray(key) + '='))
                        return kv.mid(int(qstrlen(key)) + 1).toDouble();
                }
                return -1.0;
            };
            if (field("lost") == 0)
                ++keepingUp;
            cpuSum += field("cpu_s");
            p99Max = std::max(p99Max, field("p99_ms"));
        }
        state.SetIterationTime(loadSeconds);
        state.counters["terminals"] = terminals;
        state.counters["keeping_up"] = keepingUp;
        state.counters["server_cpu_pct"] = 100.0 * serverCpu / loadSeconds;
        state.counters["terminal_cpu_pct"] = 100.0 * cpuSum / terminals / loadSeconds;
        state.counters["worst_p99_ms"] = p99Max;
        state.counters["msgs_per_s"] = double(sent) / loadSeconds;
    }
    stopAll();
}

} // namespace

void registerBusBenchmarks()
{
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("BM_BusFeed_Library", BM_BusFeed_Library)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    RegisterBenchmark("BM_BusFeed_Baseline", BM_BusFeed_Baseline)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    auto* terminals = RegisterBenchmark("BM_BusTerminals_Library", BM_BusTerminals_Library)
                          ->Iterations(1)
                          ->UseManualTime()
                          ->Unit(benchmark::kMillisecond);
    const QByteArray counts = qEnvironmentVariableIsSet("TT_BENCH_BUS_TERMINALS")
                                  ? qgetenv("TT_BENCH_BUS_TERMINALS")
                                  : QByteArray("1,5,20");
    for (const QByteArray& c : counts.split(',')) {
        if (c.toInt() > 0)
            terminals->Arg(c.toInt());
    }
}

} // namespace ttbench

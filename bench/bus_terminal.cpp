// tt_bus_terminal: one headless terminal for the bus benchmark: the nats backend and a row
// store, no widgets. Protocol on stdin/stdout with the benchmark:
//   prints "ready" once subscribed; "go" starts the measurement; "expect N" (the number of
//   snapshots published) makes it wait until it holds every last value (or 10 s), then it
//   prints "result lost=L cpu_s=C wall_s=W p99_ms=P writes=K" and exits.

#include "bench/BusLoad.h"

#include "host/nats/NatsBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ttnats::NatsFeedOptions o;
    int n = 5000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--url"))
            o.url = argv[++i];
        else if (!std::strcmp(argv[i], "--instruments"))
            n = std::max(1, std::atoi(argv[++i]));
    }
    std::string error;
    auto backend = ttnats::NatsBackend::connect(o, error);
    if (!backend) {
        std::printf("error %s\n", error.c_str());
        return 1;
    }
    std::mutex mutex;
    ttbench::RowStore store(n, int64_t(n) * 10 * 30);
    for (const char* m : {"SH", "SZ"}) {
        backend->subscribe(
            dorn::PushQuoteParam(m),
            [&](dorn::PushQuoteParam&, const QVector<QString>& codes, const QVector<QString>&,
                const std::vector<quoter::QuoterAllDataPtr>& quotes) {
                std::lock_guard<std::mutex> lock(mutex);
                store.write(codes, quotes);
            },
            TC::IMarketBackend::ePushChanged);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    std::string line;
    double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    while (std::getline(std::cin, line)) {
        if (line == "go") {
            cpu0 = cpuSeconds();
            wall.restart();
            continue;
        }
        if (line.rfind("expect ", 0) != 0)
            continue;
        const int64_t total = std::atoll(line.c_str() + 7);
        auto lost = [&] {
            std::lock_guard<std::mutex> lock(mutex);
            int missing = 0;
            for (int i = 0; i < n; ++i) {
                const int k = ttbench::sentTo(i, n, total);
                if (k > 0 && store.lastOf(i) != ttbench::busPrice(k))
                    ++missing;
            }
            return missing;
        };
        QElapsedTimer waiting;
        waiting.start();
        int missing = lost();
        while (missing > 0 && waiting.elapsed() < 10000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5)); // polling our own rows
            missing = lost();
        }
        const double wallSeconds = wall.elapsed() / 1000.0;
        const double cpu = cpuSeconds() - cpu0;
        std::lock_guard<std::mutex> lock(mutex);
        std::printf("result lost=%d cpu_s=%.3f wall_s=%.3f p99_ms=%.3f writes=%lld\n", missing, cpu,
                    wallSeconds, store.percentileMs(99), static_cast<long long>(store.writes()));
        std::fflush(stdout);
        break;
    }
    backend.reset();
    return 0;
}

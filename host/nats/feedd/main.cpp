// tt_feedd: the embedded market on the quote bus.
//   tt_feedd [--url nats://host:port] [--interval MS] [--seed N] [--seconds N]
//            [--file-storage] [--replicas N] [--bucket NAME]
// Runs the simulated market with the terminal's rules (the clock starts at 10:00 of the
// last trading day and follows the wall clock, every instrument trades), publishes every
// changed snapshot and serves the catalogue, bars and ticks until SIGINT or SIGTERM (or
// for N seconds), then prints a summary line.

#include "host/data/MorningClock.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/EmbeddedMarket.h"
#include "host/nats/FeedPublisher.h"
#include "host/nats/NatsBackend.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> g_stop{false};

void onSignal(int)
{
    g_stop = true;
}

int fail(const QString& message)
{
    std::fprintf(stderr, "tt_feedd: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    ttnats::FeedPublisherOptions options;
    int intervalMs = 1000;
    int seconds = 0;
    uint64_t seed = ttmarket::EmbeddedMarket::kDefaultSeed;
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        bool ok = true;
        if (arg == QLatin1String("--url")) {
            ok = ttnats::parseFeedUrl(value, options.url);
            ++i;
        } else if (arg == QLatin1String("--interval")) {
            intervalMs = value.toInt(&ok);
            ok = ok && intervalMs >= 10;
            ++i;
        } else if (arg == QLatin1String("--seed")) {
            seed = value.toULongLong(&ok);
            ok = ok && seed > 0;
            ++i;
        } else if (arg == QLatin1String("--seconds")) {
            seconds = value.toInt(&ok);
            ok = ok && seconds > 0;
            ++i;
        } else if (arg == QLatin1String("--bucket")) {
            options.bucket = value.toStdString();
            ok = ttnats::isSubjectToken(options.bucket);
            ++i;
        } else if (arg == QLatin1String("--replicas")) {
            options.replicas = value.toInt(&ok);
            ok = ok && options.replicas >= 1 && options.replicas <= 5;
            ++i;
        } else if (arg == QLatin1String("--file-storage")) {
            options.fileStorage = true;
        } else {
            return fail(QStringLiteral("unknown argument %1 (use --url nats://host:port, "
                                       "--interval MS, --seed N, --seconds N, --file-storage, "
                                       "--replicas N, --bucket NAME)")
                            .arg(arg));
        }
        if (!ok)
            return fail(QStringLiteral("bad value for %1").arg(arg));
    }

    ttmarket::installEmbeddedBackend();
    auto* stocks = TC::CStockManager::instance();
    const TC::CUniverseData* universe = stocks->universeData();
    if (!universe || stocks->allInstruments().empty())
        return fail(stocks->loadError().isEmpty() ? QStringLiteral("no instruments")
                                                  : stocks->loadError());
    const TC::MorningClock clock(std::min(100, intervalMs));

    auto* market = ttmarket::EmbeddedMarket::instance();
    market->setAlwaysOpen(true);
    market->reset(seed);

    std::string error;
    auto publisher =
        ttnats::FeedPublisher::start(options, ttmarket::embeddedBackend(), *universe, error);
    if (!publisher)
        return fail(QString::fromStdString(error));
    // the opening values go out before the feed starts, so the bucket is full at once
    {
        std::vector<quoter::QuoterAllDataPtr> quotes;
        for (const std::string& m : market->markets()) {
            std::vector<std::string> codes;
            for (const auto& d : stocks->allInstruments()) {
                if (d && d->market.toStdString() == m)
                    codes.push_back(d->code.toStdString());
            }
            market->lastQuotes(m, codes, quotes);
            for (size_t k = 0; k < codes.size(); ++k) {
                if (quotes[k])
                    publisher->publish(m, codes[k], *quotes[k]);
            }
        }
        publisher->flush(5000);
    }
    const int markets = publisher->attach();
    market->start(intervalMs);
    std::printf("tt_feedd: publishing %zu instruments of %d markets to %s every %d ms\n",
                stocks->allInstruments().size(), markets, options.url.c_str(), intervalMs);
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, [&]() {
        if (g_stop || (seconds > 0 && clock.elapsedMs() >= seconds * 1000LL))
            app.quit();
    });
    stopWatch.start(50);
    app.exec();
    market->stop();
    const ttnats::FeedPublisherStats s = publisher->stats();
    publisher.reset();
    std::printf("tt_feedd: summary: published=%llu republished=%llu requests=%llu "
                "bad-requests=%llu reconnects=%llu seconds=%.1f\n",
                static_cast<unsigned long long>(s.published),
                static_cast<unsigned long long>(s.republished),
                static_cast<unsigned long long>(s.requests),
                static_cast<unsigned long long>(s.badRequests),
                static_cast<unsigned long long>(s.reconnects), clock.elapsedMs() / 1000.0);
    return 0;
}

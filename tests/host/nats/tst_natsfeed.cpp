// The bus backend against a private nats-server, with the feed publisher in this process
// over the embedded market: snapshot then live, server restart, slow consumer, two
// terminals, bad input, refused connections and the history fetched over the bus.
#include "host/data/MarketBackend.h"
#include "host/data/StockManager.h"
#include "host/data/UniverseData.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/TestMarket.h"
#include "host/nats/BusCodec.h"
#include "host/nats/FeedPublisher.h"
#include "host/nats/LocalNatsServer.h"
#include "host/nats/NatsBackend.h"

#include <QtTest>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

using namespace ttnats;
using ttmarket::TestMarket;

namespace {

struct Code {
    const char* market;
    const char* code;
};
const Code kCodes[] = {
    {"SH", "600000"}, {"SH", "600001"}, {"SH", "600002"}, {"SZ", "000001"}, {"SZ", "000002"}};

double priceOf(int step)
{
    return 10.0 + step * 0.01;
}

// Records what reaches a push subscription: the last price per code, how often a price
// did not rise (a duplicate or an older value), and anything arriving after death.
struct Recorder {
    std::mutex mutex;
    std::map<QString, double> last;
    int regressions = 0;
    bool dead = false;
    int afterDeath = 0;

    TC::IMarketBackend::PushCallback callback()
    {
        return [this](dorn::PushQuoteParam&, const QVector<QString>& codes, const QVector<QString>&,
                      const std::vector<quoter::QuoterAllDataPtr>& q) {
            std::lock_guard<std::mutex> lock(mutex);
            if (dead)
                ++afterDeath;
            for (int i = 0; i < codes.size(); ++i) {
                auto it = last.find(codes[i]);
                if (it != last.end() && q[size_t(i)]->last <= it->second)
                    ++regressions;
                last[codes[i]] = q[size_t(i)]->last;
            }
        };
    }
    double lastOf(const char* code)
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = last.find(QString::fromLatin1(code));
        return it == last.end() ? 0.0 : it->second;
    }
    int regressionCount()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return regressions;
    }
};

} // namespace

class TestNatsFeed : public QObject {
    Q_OBJECT

private:
    // Publishes one step: every instrument at priceOf(step).
    void step(int n)
    {
        for (const Code& c : kCodes)
            m_pub->publish(c.market, c.code, TestMarket::quote(priceOf(n), 10.0));
    }
    std::shared_ptr<NatsBackend> connect(NatsFeedOptions o = NatsFeedOptions())
    {
        o.url = m_server.url();
        std::string error;
        auto backend = NatsBackend::connect(o, error);
        if (!backend)
            qWarning("connect: %s", error.c_str());
        return backend;
    }
    // The backend holds the publisher's last snapshot of every instrument.
    bool caughtUp(const NatsBackend& b, bool szToo = true)
    {
        for (const Code& c : kCodes) {
            if (!szToo && std::string(c.market) == "SZ")
                continue;
            if (b.sequence(c.market, c.code)
                != std::make_pair(m_pub->epoch(), m_pub->sequence(c.market, c.code)))
                return false;
        }
        return true;
    }

    LocalNatsServer m_server;
    std::unique_ptr<FeedPublisher> m_pub;
    int m_step = 0;

private Q_SLOTS:
    void initTestCase()
    {
        if (LocalNatsServer::program().isEmpty())
            QSKIP("nats-server is not installed");
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        std::vector<ttservice::CInstrumentDetailPtr> instruments;
        for (const Code& c : kCodes)
            instruments.push_back(TestMarket::stock(QString::fromLatin1(c.market),
                                                    QString::fromLatin1(c.code),
                                                    QStringLiteral("测试"), 10.0));
        TestMarket::install(instruments);
        QVERIFY2(m_server.start(), qPrintable(m_server.log()));
        std::string error;
        FeedPublisherOptions o;
        o.url = m_server.url();
        m_pub = FeedPublisher::start(o, ttmarket::embeddedBackend(),
                                     *TC::CStockManager::instance()->universeData(), error);
        QVERIFY2(m_pub, error.c_str());
        step(++m_step);
        QVERIFY(m_pub->flush(5000));
    }

    void cleanupTestCase()
    {
        m_pub.reset();
        m_server.stop();
        TestMarket::restore();
    }

    void snapshotThenLiveWithoutGapOrDuplicate()
    {
        for (int i = 0; i < 5; ++i)
            step(++m_step);
        QVERIFY(m_pub->flush(5000));
        // the publisher keeps going while the terminal reads its snapshot and subscribes
        const int first = m_step + 1, last = m_step + 200;
        std::thread feed([&] {
            for (int n = first; n <= last; ++n)
                step(n);
        });
        Recorder sh, sz;
        auto b = connect();
        if (!b)
            feed.join();
        QVERIFY(b);
        b->subscribe(dorn::PushQuoteParam("SH"), sh.callback(), TC::IMarketBackend::ePushChanged);
        // the cache is filled before the subscription delivers
        for (const Code& c : kCodes) {
            if (std::string(c.market) == "SH")
                QVERIFY(b->lastQuote(c.market, c.code) != nullptr);
        }
        b->subscribe(dorn::PushQuoteParam("SZ"), sz.callback(), TC::IMarketBackend::ePushChanged);
        feed.join();
        m_step = last;
        QVERIFY(m_pub->flush(5000));
        QTRY_VERIFY_WITH_TIMEOUT(caughtUp(*b), 10000);
        for (const Code& c : kCodes) {
            Recorder& r = std::string(c.market) == "SH" ? sh : sz;
            QTRY_COMPARE(r.lastOf(c.code), priceOf(last));
        }
        QCOMPARE(sh.regressionCount(), 0);
        QCOMPARE(sz.regressionCount(), 0);
        const NatsFeedStats s = b->stats();
        QCOMPARE(s.malformed + s.badVersion + s.unknownInstrument, uint64_t(0));
        QTRY_VERIFY(!b->isStale());
    }

    void serverRestartRecoversWithoutStaleOverwrite()
    {
        Recorder rec; // outlives the backend that calls it
        auto b = connect();
        QVERIFY(b);
        b->subscribe(dorn::PushQuoteParam("SH"), rec.callback(), TC::IMarketBackend::ePushChanged);
        step(++m_step);
        QVERIFY(m_pub->flush(5000));
        QTRY_VERIFY(caughtUp(*b, false) && !b->isStale());

        m_server.stop();
        QTRY_VERIFY(b->isStale());
        QVERIFY(b->lastQuote("SH", "600000") != nullptr); // the last values stay on show
        step(++m_step);                                   // sent while the server is down
        QVERIFY2(m_server.restart(), qPrintable(m_server.log()));
        QTRY_VERIFY_WITH_TIMEOUT(!b->isStale() && caughtUp(*b, false), 20000);
        step(++m_step);
        QVERIFY(m_pub->flush(5000));
        QTRY_VERIFY_WITH_TIMEOUT(caughtUp(*b, false), 10000);
        QTRY_COMPARE(rec.lastOf("600000"), priceOf(m_step));
        QVERIFY(b->stats().reconnects >= 1);

        // an older copy arriving late never replaces the newer value
        const auto held = b->sequence("SH", "600000");
        const uint64_t before = b->stats().notNewer;
        std::string frame;
        encodeSnapshot(held.first, held.second - 1, "SH", "600000", TestMarket::quote(1.0, 10.0),
                       frame);
        QVERIFY(m_pub->publishRaw("SH", "600000", frame));
        QVERIFY(m_pub->flush(5000));
        QTRY_VERIFY(b->stats().notNewer > before);
        QCOMPARE(b->lastQuote("SH", "600000")->last, priceOf(m_step));
        QCOMPARE(rec.regressionCount(), 0);
        step(++m_step); // the bucket holds a good value again
        QVERIFY(m_pub->flush(5000));
    }

    void slowConsumerReSnapshots()
    {
        std::mutex gateMutex;
        std::condition_variable gateOpened;
        bool open = false;
        auto openGate = [&] {
            {
                std::lock_guard<std::mutex> lock(gateMutex);
                open = true;
            }
            gateOpened.notify_all();
        };
        NatsFeedOptions o;
        o.pendingMsgLimit = 10;
        o.beforeMessage = [&] {
            std::unique_lock<std::mutex> lock(gateMutex);
            gateOpened.wait(lock, [&] { return open; });
        };
        auto b = connect(o);
        QVERIFY(b);
        struct Guard { // the stalled thread is let go however the test ends
            std::function<void()> f;
            ~Guard() { f(); }
        } guard{openGate};
        QVERIFY(b->trackMarket("SH"));
        for (int i = 0; i < 200; ++i) // 600 messages against a queue of 10
            step(++m_step);
        QVERIFY(m_pub->flush(5000));
        QTRY_VERIFY(b->stats().slowConsumer >= 1);
        // still stalled, the market is re-read from the bucket
        QTRY_VERIFY_WITH_TIMEOUT(caughtUp(*b, false), 10000);
        QVERIFY(b->stats().clientDropped > 0);
        openGate();
        // what was queued before the stall is older than the re-read values: all dropped
        QTRY_VERIFY(b->stats().notNewer > 0);
        step(++m_step);
        QVERIFY(m_pub->flush(5000));
        QTRY_VERIFY(caughtUp(*b, false));
        QCOMPARE(b->lastQuote("SH", "600002")->last, priceOf(m_step));
    }

    void valueMissedLiveIsReadFromTheBucket()
    {
        NatsFeedOptions o;
        o.settleMs = 600000;
        o.refreshMs = 200; // the periodic read is what finds it
        auto b = connect(o);
        QVERIFY(b && b->trackMarket("SH"));
        step(++m_step);
        QVERIFY(m_pub->flush(5000));
        QTRY_VERIFY(caughtUp(*b, false));
        const auto held = b->sequence("SH", "600001");
        std::string frame;
        encodeSnapshot(held.first, held.second + 1, "SH", "600001", TestMarket::quote(13.57, 10.0),
                       frame);
        QVERIFY(m_pub->publishRaw("SH", "600001", frame, true));
        QVERIFY(m_pub->flush(5000));
        QTRY_COMPARE(b->lastQuote("SH", "600001")->last, 13.57);
        QCOMPARE(b->sequence("SH", "600001").second, held.second + 1);
        step(++m_step); // the bucket holds the publisher's own value again
        QVERIFY(m_pub->flush(5000));
    }

    void twoTerminalsSeeTheSameLastValues()
    {
        auto one = connect();
        auto two = connect();
        QVERIFY(one && two);
        QVERIFY(one->trackMarket("SH") && one->trackMarket("SZ"));
        for (int i = 0; i < 20; ++i)
            step(++m_step);
        QVERIFY(two->trackMarket("SH") && two->trackMarket("SZ"));
        QVERIFY(m_pub->flush(5000));
        QTRY_VERIFY(caughtUp(*one) && caughtUp(*two));
        std::string a, b;
        for (const Code& c : kCodes) {
            const auto qa = one->lastQuote(c.market, c.code);
            const auto qb = two->lastQuote(c.market, c.code);
            QVERIFY(qa && qb);
            encodeSnapshot(0, 0, c.market, c.code, *qa, a);
            encodeSnapshot(0, 0, c.market, c.code, *qb, b);
            QVERIFY2(a == b, c.code);
            QCOMPARE(qa->last, priceOf(m_step));
        }
    }

    void destroyWhilePushing()
    {
        Recorder rec;
        auto b = connect();
        QVERIFY(b);
        b->subscribe(dorn::PushQuoteParam("SH"), rec.callback(), TC::IMarketBackend::ePushChanged);
        const int first = m_step + 1, last = m_step + 300;
        std::thread feed([&] {
            for (int n = first; n <= last; ++n)
                step(n);
        });
        QTRY_VERIFY(rec.lastOf("600000") > priceOf(first - 1)); // pushes are flowing
        b.reset();
        {
            std::lock_guard<std::mutex> lock(rec.mutex);
            rec.dead = true;
        }
        feed.join();
        m_step = last;
        QVERIFY(m_pub->flush(5000));
        std::lock_guard<std::mutex> lock(rec.mutex);
        QCOMPARE(rec.afterDeath, 0);
    }

    void badInputIsDroppedAndCounted_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("copies");
        QTest::newRow("truncated") << "truncated" << 1;
        QTest::newRow("not a frame") << "garbage" << 1;
        QTest::newRow("unknown version") << "version" << 1;
        QTest::newRow("unknown instrument") << "unknown" << 1;
        QTest::newRow("frame of another market") << "mismatch" << 1;
        QTest::newRow("older sequence") << "older" << 1;
        QTest::newRow("older publisher run") << "olderRun" << 1;
        // ten times the five-instrument step rate of the other cases, all of it bad
        QTest::newRow("flood") << "garbage" << 2000;
    }

    void badInputIsDroppedAndCounted()
    {
        QFETCH(QString, kind);
        QFETCH(int, copies);
        NatsFeedOptions o; // counted once, on the live stream: no re-read of the bucket meanwhile
        o.settleMs = o.refreshMs = 600000;
        auto b = connect(o);
        QVERIFY(b);
        step(++m_step);
        QVERIFY(m_pub->flush(5000));
        QVERIFY(b->trackMarket("SH"));
        QTRY_VERIFY(caughtUp(*b, false));
        const auto held = b->sequence("SH", "600000");
        const NatsFeedStats before = b->stats();

        std::string frame, code = "600000";
        const quoter::QuoterAllData bogus = TestMarket::quote(1.0, 10.0);
        encodeSnapshot(held.first, held.second + 1, "SH", "600000", bogus, frame);
        uint64_t NatsFeedStats::*counter = &NatsFeedStats::malformed;
        if (kind == QLatin1String("truncated")) {
            frame.resize(frame.size() - 3);
        } else if (kind == QLatin1String("garbage")) {
            frame = "not a quote at all";
        } else if (kind == QLatin1String("version")) {
            frame[2] = char(kWireVersion + 1);
            counter = &NatsFeedStats::badVersion;
        } else if (kind == QLatin1String("unknown")) {
            code = "999999";
            encodeSnapshot(held.first, 1, "SH", code, bogus, frame);
            counter = &NatsFeedStats::unknownInstrument;
        } else if (kind == QLatin1String("mismatch")) {
            encodeSnapshot(held.first, held.second + 1, "SZ", "600000", bogus, frame);
            counter = &NatsFeedStats::unknownInstrument;
        } else if (kind == QLatin1String("older")) {
            encodeSnapshot(held.first, held.second - 1, "SH", "600000", bogus, frame);
            counter = &NatsFeedStats::notNewer;
        } else if (kind == QLatin1String("olderRun")) {
            encodeSnapshot(held.first - 1, held.second + 1000, "SH", "600000", bogus, frame);
            counter = &NatsFeedStats::notNewer;
        }
        for (int i = 0; i < copies; ++i)
            QVERIFY(m_pub->publishRaw("SH", code, frame));
        QVERIFY(m_pub->flush(5000));
        QTRY_COMPARE(b->stats().*counter, before.*counter + uint64_t(copies));
        QCOMPARE(b->sequence("SH", "600000"), held);
        QCOMPARE(b->lastQuote("SH", "600000")->last, priceOf(m_step));
        QCOMPARE(b->stats().applied, before.applied);
        step(++m_step); // a good last value in the bucket for the next case
        QVERIFY(m_pub->flush(5000));
    }

    void refusedServerMissingAndEmptyBucket()
    {
        std::string error;
        NatsFeedOptions refused;
        refused.url = "nats://127.0.0.1:" + std::to_string(LocalNatsServer::freePort());
        refused.connectTimeoutMs = 500;
        QVERIFY(!NatsBackend::connect(refused, error));
        QVERIFY(!error.empty());

        NatsFeedOptions noPublisher;
        noPublisher.url = m_server.url();
        noPublisher.requestSubject = "ttfeed.nobody";
        noPublisher.requestTimeoutMs = 300;
        error.clear();
        QVERIFY(!NatsBackend::connect(noPublisher, error));
        QVERIFY2(error.find("catalogue") != std::string::npos, error.c_str());

        NatsFeedOptions noBucket;
        noBucket.bucket = "MISSING";
        auto b = connect(noBucket);
        QVERIFY(b);
        QVERIFY(b->trackMarket("SH"));
        QVERIFY(b->lastQuote("SH", "600000") == nullptr);
        QTRY_VERIFY(b->stats().snapshotFailures >= 2); // retried, never a crash
        QVERIFY(b->isStale());

        // an empty bucket is a current feed with nothing in it yet
        FeedPublisherOptions ep;
        ep.url = m_server.url();
        ep.bucket = "EMPTY";
        ep.quotePrefix = "empty";
        ep.requestSubject = "ttfeed.empty";
        auto emptyPub = FeedPublisher::start(ep, ttmarket::embeddedBackend(),
                                             *TC::CStockManager::instance()->universeData(), error);
        QVERIFY2(emptyPub, error.c_str());
        NatsFeedOptions eb;
        eb.bucket = ep.bucket;
        eb.quotePrefix = ep.quotePrefix;
        eb.requestSubject = ep.requestSubject;
        auto e = connect(eb);
        QVERIFY(e && e->trackMarket("SH"));
        QVERIFY(e->lastQuote("SH", "600000") == nullptr);
        QTRY_VERIFY(!e->isStale());
        QVERIFY(emptyPub->publish("SH", "600000", TestMarket::quote(11.11, 10.0)));
        QVERIFY(emptyPub->flush(5000));
        QTRY_VERIFY(e->lastQuote("SH", "600000") && e->lastQuote("SH", "600000")->last == 11.11);
    }

    void historyCatalogueAndFeedOverTheBus()
    {
        auto b = connect();
        QVERIFY(b);
        const auto embedded = ttmarket::embeddedBackend();
        TestMarket::tick(60000); // a minute of trading for the minute bars and ticks
        const auto daily = b->dailyBars("SH", "600000");
        QVERIFY(!daily.empty());
        QCOMPARE(daily.size(), embedded->dailyBars("SH", "600000").size());
        QCOMPARE(daily.back().close, embedded->dailyBars("SH", "600000").back().close);
        QCOMPARE(b->minuteBars("SH", "600000").size(), embedded->minuteBars("SH", "600000").size());
        const auto ticks = b->ticks("SZ", "000001");
        QVERIFY(!ticks.empty());
        QCOMPARE(ticks.back()->last, embedded->ticks("SZ", "000001").back()->last);
        const uint64_t failures = b->stats().requestFailures;
        QVERIFY(b->dailyBars("SH", "999999").empty());
        QVERIFY(b->ticks("XX", "1").empty());
        QVERIFY(b->minuteBarsOfDay("SH", "600003", 0).empty());
        QCOMPARE(b->stats().requestFailures, failures); // what the catalogue lacks is not asked
        TC::CFormulaSeries ma;
        QVERIFY(b->evaluateFormula(QStringLiteral("MA"), {}, daily, ma));
        QCOMPARE(ma.values.at(0).size(), daily.size());

        // the publisher on the embedded feed: a simulation step reaches the terminal
        QVERIFY(m_pub->attach() == 2);
        QVERIFY(b->trackMarket("SZ"));
        TestMarket::setQuote(QStringLiteral("SZ"), QStringLiteral("000002"),
                             TestMarket::quote(12.34, 10.0));
        TestMarket::firePush(QStringLiteral("SZ"));
        QVERIFY(m_pub->flush(5000));
        QTRY_COMPARE(b->lastQuote("SZ", "000002")->last, 12.34);

        // installed as the host's backend, the catalogue comes from the publisher
        TC::setMarketBackend(b);
        QCOMPARE(TC::CStockManager::instance()->allInstruments().size(), size_t(5));
        QCOMPARE(dorn::getQuoter(std::string("SZ"), std::string("000002"))->last, 12.34);
        ttmarket::installEmbeddedBackend();
    }
};

QTEST_GUILESS_MAIN(TestNatsFeed)
#include "tst_natsfeed.moc"

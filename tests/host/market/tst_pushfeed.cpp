// Push subscriptions: delivery, the guarantees of unrequest, and the feed thread.
#include "host/data/FormulaManager.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/PushHub.h"
#include "host/market/TestMarket.h"

#include <QtTest/QtTest>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

using ttmarket::TestMarket;

namespace {

using Codes = QVector<QString>;
using Quotes = std::vector<quoter::QuoterAllDataPtr>;

struct Recorder {
    std::mutex mutex;
    int calls = 0;
    std::vector<Codes> codes;
    std::vector<Codes> markets;
    std::vector<Quotes> quotes;
    std::vector<bool> queued;
    std::vector<std::thread::id> threads;

    TC::CFormulaManager::PushCallback callback()
    {
        return [this](dorn::PushQuoteParam& p, const Codes& c, const Codes& m, const Quotes& q) {
            std::lock_guard<std::mutex> lock(mutex);
            ++calls;
            codes.push_back(c);
            markets.push_back(m);
            quotes.push_back(q);
            queued.push_back(p.queued);
            threads.push_back(std::this_thread::get_id());
        };
    }
    int count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
};

TC::CFormulaManager* fm()
{
    return TC::CFormulaManager::instance();
}

} // namespace

class TestPushFeed : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        TestMarket::install({TestMarket::stock(QStringLiteral("SH"), QStringLiteral("600000"),
                                               QStringLiteral("浦发银行"), 10.0),
                             TestMarket::stock(QStringLiteral("SH"), QStringLiteral("600036"),
                                               QStringLiteral("招商银行"), 30.0),
                             TestMarket::stock(QStringLiteral("SZ"), QStringLiteral("000001"),
                                               QStringLiteral("平安银行"), 12.0)},
                            3);
        // the install itself leaves every instrument pending; start from a quiet market
        TestMarket::fireAll();
    }

    void cleanup()
    {
        TestMarket::stopFeed();
        ttmarket::EmbeddedMarket::instance()->setAlwaysOpen(false);
        ttmarket::EmbeddedMarket::instance()->pushHub().clear();
    }

    void cleanupTestCase() { TestMarket::restore(); }

    void deliversChangedCodes()
    {
        Recorder sh, sz;
        const int a = fm()->requestPushQuoter(dorn::PushQuoteParam("SH"), sh.callback());
        const int b = fm()->requestPushQuoter(dorn::PushQuoteParam("SZ"), sz.callback());
        QVERIFY(a > 0 && b > 0 && a != b);
        QCOMPARE(TestMarket::firePush(QStringLiteral("SH")), 0); // nothing changed

        quoter::QuoterAllData q = TestMarket::quote(10.3, 10.0, 5000);
        QVERIFY(TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"), q));
        QCOMPARE(TestMarket::firePush(QStringLiteral("SH")), 1);
        QCOMPARE(sh.calls, 1);
        QCOMPARE(sz.calls, 0);
        QCOMPARE(sh.codes[0], Codes{QStringLiteral("600000")});
        QCOMPARE(sh.markets[0], Codes{QStringLiteral("SH")});
        QCOMPARE(sh.quotes[0].size(), size_t(1));
        QCOMPARE(sh.quotes[0][0]->last, 10.3);
        QCOMPARE(sh.quotes[0][0]->volume, int64_t(5000));
        QCOMPARE(sh.threads[0], std::this_thread::get_id());
        // delivered once: the next push has nothing new
        QCOMPARE(TestMarket::firePush(QStringLiteral("SH")), 0);

        // a simulation step pushes every market that traded, codes parallel to quotes
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 1));
        int steps = 0;
        while ((sh.calls < 3 || sz.calls < 2) && steps++ < 100)
            TestMarket::tick(1000);
        QVERIFY(sh.calls >= 3 && sz.calls >= 2);
        for (size_t i = 0; i < sh.codes.size(); ++i) {
            QCOMPARE(static_cast<size_t>(sh.codes[i].size()), sh.quotes[i].size());
            QCOMPARE(sh.markets[i].size(), sh.codes[i].size());
            for (const QString& m : sh.markets[i])
                QCOMPARE(m, QStringLiteral("SH"));
        }
        fm()->unrequestPushQuoter(a, dorn::PushQuoteParam("SH"));
        fm()->unrequestPushQuoter(b, dorn::PushQuoteParam("SZ"));
        QCOMPARE(fm()->pushSubscriptionCount(), 0);
    }

    void deliveryModes()
    {
        Recorder changed, all;
        fm()->requestPushQuoter(dorn::PushQuoteParam("SH"), changed.callback(),
                                TC::CFormulaManager::ePushChanged);
        fm()->requestPushQuoter(dorn::PushQuoteParam("SH"), all.callback(),
                                TC::CFormulaManager::ePushAll);
        TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600036"),
                             TestMarket::quote(30.5, 30.0));
        QCOMPARE(TestMarket::firePush(QStringLiteral("SH")), 2);
        QCOMPARE(changed.codes[0], Codes{QStringLiteral("600036")});
        QCOMPARE(all.codes[0], (Codes{QStringLiteral("600000"), QStringLiteral("600036")}));
        QCOMPARE(all.quotes[0].size(), size_t(2));
        QCOMPARE(all.quotes[0][1]->last, 30.5);
    }

    void queuedFlagForOptionOne()
    {
        Recorder plain, queued;
        dorn::PushQuoteParam p("SZ");
        // subscribed the way the whole-quote model does it: third argument 1
        fm()->requestPushQuoter(p, plain.callback(), 1);
        p.option = 1;
        fm()->requestPushQuoter(p, queued.callback(), 1);
        TestMarket::setQuote(QStringLiteral("SZ"), QStringLiteral("000001"),
                             TestMarket::quote(12.1, 12.0));
        TestMarket::firePush(QStringLiteral("SZ"));
        QCOMPARE(plain.queued, std::vector<bool>{false});
        QCOMPARE(queued.queued, std::vector<bool>{true});
        // mode 1 is the changed instruments only
        QCOMPARE(queued.codes[0], Codes{QStringLiteral("000001")});
    }

    void noDeliveryAfterUnrequest()
    {
        Recorder r;
        const int id = fm()->requestPushQuoter(dorn::PushQuoteParam("SH"), r.callback());
        TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"),
                             TestMarket::quote(10.1, 10.0));
        QCOMPARE(TestMarket::firePush(QStringLiteral("SH")), 1);
        fm()->unrequestPushQuoter(id, dorn::PushQuoteParam("SH"));
        TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"),
                             TestMarket::quote(10.2, 10.0));
        QCOMPARE(TestMarket::firePush(QStringLiteral("SH")), 0);
        for (int i = 0; i < 30; ++i)
            TestMarket::tick(1000);
        QCOMPARE(r.calls, 1);
        // unknown and repeated ids are harmless
        fm()->unrequestPushQuoter(id, dorn::PushQuoteParam("SH"));
        fm()->unrequestPushQuoter(-1, dorn::PushQuoteParam("SH"));
        fm()->unrequestPushQuoter(987654, dorn::PushQuoteParam());
    }

    void unrequestInsideCallback()
    {
        int calls = 0;
        int id = 0;
        auto holder = std::make_shared<int>(7);
        std::weak_ptr<int> watch = holder;
        id = fm()->requestPushQuoter(
            dorn::PushQuoteParam("SH"), [&calls, &id, holder](dorn::PushQuoteParam& p, const Codes&,
                                                              const Codes&, const Quotes&) {
                ++calls;
                // returns at once: waiting here for ourselves would never end
                TC::CFormulaManager::instance()->unrequestPushQuoter(id, p);
                QCOMPARE(*holder, 7); // still alive while we run
            });
        holder.reset();
        TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"),
                             TestMarket::quote(10.1, 10.0));
        QCOMPARE(TestMarket::firePush(QStringLiteral("SH")), 1);
        QCOMPARE(calls, 1);
        // the delivery that ran it is over, so what it held is gone
        QVERIFY(watch.expired());
        TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"),
                             TestMarket::quote(10.2, 10.0));
        QCOMPARE(TestMarket::firePush(QStringLiteral("SH")), 0);
        QCOMPARE(calls, 1);
    }

    void unrequestOtherInsideCallback()
    {
        // the first subscriber cancels the second during the same delivery: the second
        // must not start
        Recorder second;
        int secondId = 0;
        int firstCalls = 0;
        const int firstId = fm()->requestPushQuoter(
            dorn::PushQuoteParam("SH"),
            [&](dorn::PushQuoteParam& p, const Codes&, const Codes&, const Quotes&) {
                ++firstCalls;
                TC::CFormulaManager::instance()->unrequestPushQuoter(secondId, p);
            });
        secondId = fm()->requestPushQuoter(dorn::PushQuoteParam("SH"), second.callback());
        QVERIFY(secondId > firstId); // deliveries go in id order
        TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"),
                             TestMarket::quote(10.1, 10.0));
        QCOMPARE(TestMarket::firePush(QStringLiteral("SH")), 1);
        QCOMPARE(firstCalls, 1);
        QCOMPARE(second.calls, 0);
    }

    void badRequests()
    {
        Recorder r;
        QCOMPARE(fm()->requestPushQuoter(dorn::PushQuoteParam(""), r.callback()), -1);
        QCOMPARE(fm()->requestPushQuoter(dorn::PushQuoteParam("SH"),
                                         TC::CFormulaManager::PushCallback()),
                 -1);
        // a market nobody lists is accepted and simply never delivers
        const int id = fm()->requestPushQuoter(dorn::PushQuoteParam("NOWHERE"), r.callback());
        QVERIFY(id > 0);
        QCOMPARE(TestMarket::firePush(QStringLiteral("NOWHERE")), 0);
        TestMarket::tick(1000);
        QCOMPARE(r.calls, 0);
        // a throwing callback does not take the feed down
        fm()->requestPushQuoter(dorn::PushQuoteParam("SH"),
                                [](dorn::PushQuoteParam&, const Codes&, const Codes&,
                                   const Quotes&) { throw std::runtime_error("client bug"); });
        Recorder after;
        fm()->requestPushQuoter(dorn::PushQuoteParam("SH"), after.callback());
        TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"),
                             TestMarket::quote(10.1, 10.0));
        QCOMPARE(TestMarket::firePush(QStringLiteral("SH")), 2);
        QCOMPARE(after.calls, 1);
    }

    void feedThreadDelivers()
    {
        Recorder r;
        fm()->requestPushQuoter(dorn::PushQuoteParam("SH"), r.callback());
        ttmarket::EmbeddedMarket::instance()->setAlwaysOpen(true);
        TestMarket::startFeed(10);
        QVERIFY(ttmarket::EmbeddedMarket::instance()->isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(r.count() >= 3, 10000);
        TestMarket::stopFeed();
        QVERIFY(!ttmarket::EmbeddedMarket::instance()->isRunning());
        const int stopped = r.count();
        {
            std::lock_guard<std::mutex> lock(r.mutex);
            for (std::thread::id t : r.threads)
                QVERIFY(t != std::this_thread::get_id());
        }
        // stopped means stopped: pending changes wait for an explicit push
        TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"),
                             TestMarket::quote(10.1, 10.0));
        QCOMPARE(r.count(), stopped);
        QCOMPARE(TestMarket::firePush(QStringLiteral("SH")), 1);
    }

    void unrequestWaitsForRunningCallback()
    {
        std::mutex mutex;
        std::condition_variable cv;
        bool entered = false, release = false;
        auto holder = std::make_shared<int>(1);
        std::weak_ptr<int> watch = holder;
        std::atomic<int> blockedCalls{0};
        int blockingId = fm()->requestPushQuoter(
            dorn::PushQuoteParam("SH"),
            [&, holder](dorn::PushQuoteParam&, const Codes&, const Codes&, const Quotes&) {
                ++blockedCalls;
                std::unique_lock<std::mutex> lock(mutex);
                entered = true;
                cv.notify_all();
                cv.wait(lock, [&] { return release; });
            });
        holder.reset();
        Recorder other;
        fm()->requestPushQuoter(dorn::PushQuoteParam("SZ"), other.callback());

        ttmarket::EmbeddedMarket::instance()->setAlwaysOpen(true);
        TestMarket::startFeed(10);
        {
            std::unique_lock<std::mutex> lock(mutex);
            QVERIFY(cv.wait_for(lock, std::chrono::seconds(10), [&] { return entered; }));
        }
        // the feed thread is inside the callback now; unrequest from here must wait for it
        auto done = std::async(std::launch::async, [&] {
            TC::CFormulaManager::instance()->unrequestPushQuoter(blockingId,
                                                                 dorn::PushQuoteParam("SH"));
        });
        QVERIFY(done.wait_for(std::chrono::milliseconds(50)) == std::future_status::timeout);
        {
            std::lock_guard<std::mutex> lock(mutex);
            release = true;
        }
        cv.notify_all();
        QVERIFY(done.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
        // returned: what the callback held may be freed, and it was
        QVERIFY(watch.expired());
        const int callsAtReturn = blockedCalls;
        QCOMPARE(callsAtReturn, 1);
        // let the feed run on: the other market keeps coming, the cancelled one never again
        const int otherBefore = other.count();
        QTRY_VERIFY_WITH_TIMEOUT(other.count() >= otherBefore + 3, 10000);
        QCOMPARE(blockedCalls.load(), callsAtReturn);
    }

    void stopFromInsideCallback()
    {
        std::atomic<int> calls{0};
        fm()->requestPushQuoter(dorn::PushQuoteParam("SH"), [&](dorn::PushQuoteParam&, const Codes&,
                                                                const Codes&, const Quotes&) {
            ++calls;
            ttmarket::EmbeddedMarket::instance()->stop(); // must not wait for itself
        });
        ttmarket::EmbeddedMarket::instance()->setAlwaysOpen(true);
        TestMarket::startFeed(10);
        QTRY_VERIFY_WITH_TIMEOUT(calls.load() >= 1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!ttmarket::EmbeddedMarket::instance()->isRunning(), 10000);
        TestMarket::stopFeed(); // joins the finished thread
        QCOMPARE(calls.load(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPushFeed)
#include "tst_pushfeed.moc"

// The whole-market quote model: cache read on a pool thread, subscriptions per market,
// the delivery queue and its drain, and the life of clients and of the model itself.
#include "quoterbrowser/CWholeQuoteModel.h"

#include "host/data/FormulaManager.h"
#include "host/market/TestMarket.h"

#include <QtTest>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

using namespace TC;
using ttmarket::TestMarket;

namespace {

struct Delivery {
    std::string market;
    QVector<QString> codes;
    QVector<QString> markets;
    size_t quotes = 0;
    bool nullQuote = false;
    bool last = false;
    bool onGuiThread = false;
};

// Records every call; an optional hook runs inside the call.
class RecordingClient final : public IWholeQuoteClient {
public:
    void formulaPushQuoteBack(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                              const QVector<QString>& markets,
                              const std::vector<quoter::QuoterAllDataPtr>& quotes,
                              bool last) override
    {
        Delivery d;
        d.market = param.market;
        d.codes = codes;
        d.markets = markets;
        d.quotes = quotes.size();
        for (const auto& q : quotes)
            d.nullQuote = d.nullQuote || !q;
        d.last = last;
        d.onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        {
            std::lock_guard<std::mutex> lock(mutex);
            calls.push_back(d);
        }
        if (hook)
            hook();
    }
    size_t count() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return calls.size();
    }
    std::vector<Delivery> snapshot() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }

    std::function<void()> hook;

private:
    mutable std::mutex mutex;
    std::vector<Delivery> calls;
};

QVector<QString> toQ(const std::vector<std::string>& codes)
{
    QVector<QString> out;
    for (const auto& c : codes)
        out.append(QString::fromStdString(c));
    return out;
}

// A delivery as the host makes it, for driving onPushQuote directly.
void pushDirect(CWholeQuoteModel& model, const std::string& market, const QString& code,
                bool queued)
{
    dorn::PushQuoteParam param(market);
    param.queued = queued;
    auto q = std::make_shared<quoter::QuoterAllData>(TestMarket::quote(10.0, 9.9));
    model.onPushQuote(param, {code}, {QString::fromStdString(market)}, {q});
}

// Lets a pool thread's posted result reach the model, and models handed to this thread
// for destruction go.
void drainPool()
{
    QThreadPool::globalInstance()->waitForDone(10000);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TstWholeQuoteModel : public QObject {
    Q_OBJECT
    QTemporaryDir m_userDir;
    int m_baseSubscriptions = 0;
    const CWholeQuoteModel::CodeMap m_twoMarkets{{"SH", {"600000", "600001"}}, {"SZ", {"000001"}}};

    // Requests both markets and waits for the cache read and both subscriptions.
    void subscribeBoth(CWholeQuoteModel& model, RecordingClient* client = nullptr)
    {
        if (client)
            model.setBrowseClient(client);
        QSignalSpy history(&model, &CWholeQuoteModel::sigHistoryCallBack);
        model.requestWholeQuote(m_twoMarkets);
        QVERIFY(history.wait(5000));
        QTRY_COMPARE_WITH_TIMEOUT(model.subscriptionCount(), 2, 5000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_userDir.isValid());
        qputenv("TT_USER_DIR", m_userDir.path().toUtf8());
    }

    void init()
    {
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        TestMarket::install({TestMarket::stock("SH", "600000", "浦发银行", 10.0),
                             TestMarket::stock("SH", "600001", "邯郸钢铁", 5.0),
                             TestMarket::stock("SZ", "000001", "平安银行", 12.0)});
        m_baseSubscriptions = CFormulaManager::instance()->pushSubscriptionCount();
    }

    void cleanup()
    {
        TestMarket::restore();
        drainPool();
    }

    void requestReadsCacheThenSubscribesPerMarket()
    {
        auto model = CWholeQuoteModel::create();
        QSignalSpy history(model.get(), &CWholeQuoteModel::sigHistoryCallBack);
        model->requestWholeQuote(m_twoMarkets);
        QCOMPARE(model->subscriptionCount(), 0); // nothing before the read ends
        QVERIFY(history.wait(5000));
        QCOMPARE(history.count(), 1);

        std::map<std::string, QVector<QString>> codes;
        CWholeQuoteModel::QuoteMap quotes;
        model->cacheResult(codes, quotes);
        QCOMPARE(codes.size(), size_t(2));
        QCOMPARE(codes["SH"], toQ({"600000", "600001"}));
        QCOMPARE(codes["SZ"], toQ({"000001"}));
        QCOMPARE(quotes["SH"].size(), size_t(2));
        QVERIFY(quotes["SH"][0] && quotes["SH"][1] && quotes["SZ"][0]);

        QTRY_COMPARE_WITH_TIMEOUT(model->subscriptionCount(), 2, 5000);
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), m_baseSubscriptions + 2);

        model->unrequestAll();
        QCOMPARE(model->subscriptionCount(), 0); // the cancelled ids are forgotten
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), m_baseSubscriptions);
    }

    // Subscriptions ask for the instruments changed since the last batch, not whole markets.
    void pushesCarryOnlyChangedInstruments()
    {
        auto model = CWholeQuoteModel::create();
        RecordingClient client;
        subscribeBoth(*model, &client);
        TestMarket::firePush("SH"); // whatever the fixture left pending
        model->flushQueued();
        const size_t before = client.count();

        QVERIFY(TestMarket::setQuote("SH", "600001", TestMarket::quote(5.2, 5.0)));
        QCOMPARE(TestMarket::firePush("SH"), 1);
        model->flushQueued();
        const auto calls = client.snapshot();
        QCOMPARE(calls.size(), before + 1);
        QCOMPARE(calls.back().market, std::string("SH"));
        QCOMPARE(calls.back().codes, toQ({"600001"}));
    }

    void queuedPushesFlushInOrderWithLastOnFinal()
    {
        auto model = CWholeQuoteModel::create();
        RecordingClient client;
        std::vector<std::pair<bool, size_t>> callbackCalls; // (last, quotes)
        model->setBrowseClient(&client);
        model->setDataCallback([&](dorn::PushQuoteParam&, const QVector<QString>&,
                                   const QVector<QString>&,
                                   const std::vector<quoter::QuoterAllDataPtr>& quotes,
                                   bool last) { callbackCalls.emplace_back(last, quotes.size()); });
        subscribeBoth(*model);

        QVERIFY(TestMarket::setQuote("SH", "600000", TestMarket::quote(10.3, 10.0)));
        QVERIFY(TestMarket::firePush("SH") >= 1);
        QVERIFY(TestMarket::setQuote("SZ", "000001", TestMarket::quote(12.1, 12.0)));
        QVERIFY(TestMarket::firePush("SZ") >= 1);
        QVERIFY(TestMarket::setQuote("SH", "600001", TestMarket::quote(5.1, 5.0)));
        QVERIFY(TestMarket::firePush("SH") >= 1);
        // queued: no client is called from the push
        QCOMPARE(client.count(), size_t(0));
        QCOMPARE(model->queuedCount(), 3);

        model->flushQueued();
        const auto calls = client.snapshot();
        QCOMPARE(calls.size(), size_t(3));
        QCOMPARE(calls[0].market, std::string("SH"));
        QCOMPARE(calls[1].market, std::string("SZ"));
        QCOMPARE(calls[2].market, std::string("SH"));
        for (size_t i = 0; i < calls.size(); ++i) {
            QCOMPARE(calls[i].last, i + 1 == calls.size());
            QVERIFY(calls[i].onGuiThread);
            QCOMPARE(size_t(calls[i].codes.size()), calls[i].quotes); // parallel lists
            QCOMPARE(calls[i].markets.size(), calls[i].codes.size());
        }
        QVERIFY(calls[0].codes.contains(QStringLiteral("600000")));
        QCOMPARE(callbackCalls.size(), size_t(3));
        QCOMPARE(callbackCalls[0].first, false);
        QCOMPARE(callbackCalls[2].first, true);
        QCOMPARE(model->queuedCount(), 0);

        // a second drain with nothing queued calls nobody
        model->flushQueued();
        QCOMPARE(client.count(), size_t(3));
        QCOMPARE(callbackCalls.size(), size_t(3));
    }

    void emptyMarketMapAnnouncesAndSubscribesNothing()
    {
        auto model = CWholeQuoteModel::create();
        QSignalSpy history(model.get(), &CWholeQuoteModel::sigHistoryCallBack);
        model->requestWholeQuote({});
        QVERIFY(history.wait(5000));
        QCOMPARE(model->subscriptionCount(), 0);
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), m_baseSubscriptions);
        QVERIFY(model->codeMap().empty());
    }

    void newRequestDropsQueuedDeliveries()
    {
        auto model = CWholeQuoteModel::create();
        RecordingClient client;
        subscribeBoth(*model, &client);
        QSignalSpy history(model.get(), &CWholeQuoteModel::sigHistoryCallBack);
        QVERIFY(TestMarket::setQuote("SH", "600000", TestMarket::quote(10.3, 10.0)));
        QVERIFY(TestMarket::firePush("SH") >= 1);
        QCOMPARE(model->queuedCount(), 1);
        model->requestWholeQuote({{"SZ", {"000001"}}});
        QCOMPARE(model->queuedCount(), 0);
        QCOMPARE(model->subscriptionCount(), 0);
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), m_baseSubscriptions);
        QVERIFY(history.wait(5000));
        QTRY_COMPARE_WITH_TIMEOUT(model->subscriptionCount(), 1, 5000);
        model->flushQueued();
        QCOMPARE(client.count(), size_t(0));
    }

    // Two requests in a row: whichever order the reads end in, only the current one is
    // laid and announced, and the current request's markets end up subscribed once.
    void supersededReadLaysAndAnnouncesNothing_data()
    {
        QTest::addColumn<bool>("olderEndsLast");
        QTest::newRow("older read ends last") << true;
        QTest::newRow("older read ends first") << false;
    }
    void supersededReadLaysAndAnnouncesNothing()
    {
        QFETCH(bool, olderEndsLast);
        // both reads must be able to wait at their gates at once
        QThreadPool* pool = QThreadPool::globalInstance();
        const int threads = pool->maxThreadCount();
        pool->setMaxThreadCount(std::max(2, threads));
        auto restorePool = qScopeGuard([=]() { pool->setMaxThreadCount(threads); });
        auto model = CWholeQuoteModel::create();
        // The reads wait at a gate the test opens, so their order is the test's choice.
        auto gates = std::make_shared<std::map<std::string, std::promise<void>>>();
        std::shared_future<void> olderGate = (*gates)["SH"].get_future().share();
        std::shared_future<void> newerGate = (*gates)["SZ"].get_future().share();
        auto readsEnded = std::make_shared<std::atomic<int>>(0);
        model->setCacheReader(
            [readsEnded, olderGate, newerGate](const std::vector<dorn::PushQuoteParam>& params,
                                               const CWholeQuoteModel::CodeMap& codes,
                                               CWholeQuoteModel::QuoteMap& out) {
                (codes.count("SH") ? olderGate : newerGate).wait();
                CFormulaManager::instance()->subPushQuoterFromCache(params, codes, out);
                ++*readsEnded;
            });
        QSignalSpy history(model.get(), &CWholeQuoteModel::sigHistoryCallBack);
        QSignalSpy finished(model.get(), &CWholeQuoteModel::sigSubWholeQuoteFinish);
        std::vector<std::map<std::string, QVector<QString>>> seen;
        connect(model.get(), &CWholeQuoteModel::sigHistoryCallBack, this,
                [&]() { seen.push_back(model->codeMap()); });
        model->requestWholeQuote({{"SH", {"600000", "600001"}}});
        model->requestWholeQuote({{"SZ", {"000001"}}});

        (*gates)[olderEndsLast ? "SZ" : "SH"].set_value();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
        QCOMPARE(history.count(), olderEndsLast ? 1 : 0);
        QCOMPARE(model->subscriptionCount(), 1); // the first read to end subscribes
        (*gates)[olderEndsLast ? "SH" : "SZ"].set_value();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 5000);
        drainPool();
        QCOMPARE(readsEnded->load(), 2);

        QCOMPARE(history.count(), 1);
        QCOMPARE(seen.size(), size_t(1));
        QCOMPARE(seen[0].size(), size_t(1));
        QCOMPARE(seen[0].at("SZ"), toQ({"000001"}));
        const auto codes = model->codeMap();
        QCOMPARE(codes.size(), size_t(1));
        QCOMPARE(codes.at("SZ"), toQ({"000001"}));
        QCOMPARE(model->subscriptionCount(), 1);
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), m_baseSubscriptions + 1);
    }

    void unrequestAllBeforeReadEndsSubscribesNothing()
    {
        auto model = CWholeQuoteModel::create();
        model->requestWholeQuote(m_twoMarkets);
        model->unrequestAll();
        drainPool();
        QCOMPARE(model->subscriptionCount(), 0);
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), m_baseSubscriptions);

        subscribeBoth(*model); // a later request works normally again
    }

    // A host thread pushing while a drain runs must not wait for the drain's clients.
    void flushDeliversOutsideTheQueueLock()
    {
        auto model = CWholeQuoteModel::create();
        RecordingClient client;
        bool pushedDuringFlush = false;
        bool hookRan = false;
        client.hook = [&]() {
            if (hookRan)
                return;
            hookRan = true;
            auto pushed =
                std::async(std::launch::async, [&]() { pushDirect(*model, "SH", "600000", true); });
            pushedDuringFlush =
                pushed.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        };
        model->setBrowseClient(&client);
        pushDirect(*model, "SH", "600000", true);
        pushDirect(*model, "SZ", "000001", true);
        model->flushQueued();
        QVERIFY(hookRan);
        QVERIFY2(pushedDuringFlush, "a push waited for the drain's clients");
        QCOMPARE(client.count(), size_t(2));
        QCOMPARE(model->queuedCount(), 1); // the push made during the drain waits for the next
        model->flushQueued();
        const auto calls = client.snapshot();
        QCOMPARE(calls.size(), size_t(3));
        QVERIFY(calls[2].last);
    }

    void directDeliveryReachesEveryClientWithLast()
    {
        auto model = CWholeQuoteModel::create();
        RecordingClient browse, quoter;
        int callbacks = 0;
        model->setBrowseClient(&browse);
        model->setQuoterClient(&quoter);
        model->setDataCallback([&](dorn::PushQuoteParam&, const QVector<QString>&,
                                   const QVector<QString>&,
                                   const std::vector<quoter::QuoterAllDataPtr>&,
                                   bool last) { callbacks += last ? 1 : 100; });
        pushDirect(*model, "SH", "600000", false);
        QCOMPARE(model->queuedCount(), 0);
        QCOMPARE(browse.count(), size_t(1));
        QCOMPARE(quoter.count(), size_t(1));
        QCOMPARE(callbacks, 1);
        QVERIFY(browse.snapshot()[0].last);
    }

    void unregisteredClientIsNeverCalled_data()
    {
        QTest::addColumn<bool>("quoterClient");
        QTest::newRow("browse client") << false;
        QTest::newRow("quoter client") << true;
    }
    void unregisteredClientIsNeverCalled()
    {
        QFETCH(bool, quoterClient);
        auto model = CWholeQuoteModel::create();
        RecordingClient client;
        auto set = [&](IWholeQuoteClient* c) {
            if (quoterClient)
                model->setQuoterClient(c);
            else
                model->setBrowseClient(c);
        };
        set(&client);
        pushDirect(*model, "SH", "600000", true);
        pushDirect(*model, "SH", "600000", false);
        const size_t before = client.count();
        QCOMPARE(before, size_t(1)); // the direct one
        set(nullptr);
        model->flushQueued();
        pushDirect(*model, "SH", "600000", false);
        QCOMPARE(client.count(), before);
    }

    // Unregistering while a host thread is inside the client waits for that call to end.
    void unregisterWaitsForDeliveryInFlight()
    {
        auto model = CWholeQuoteModel::create();
        RecordingClient client;
        std::promise<void> entered;
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<bool> inside{false};
        std::atomic<bool> firstCall{true};
        client.hook = [&]() {
            if (!firstCall.exchange(false))
                return;
            inside = true;
            entered.set_value();
            released.wait();
            inside = false;
        };
        model->setBrowseClient(&client);
        std::thread pusher([&]() { pushDirect(*model, "SH", "600000", false); });
        entered.get_future().wait();

        std::atomic<bool> insideWhenUnregistered{true};
        std::thread unregister([&]() {
            model->setBrowseClient(nullptr);
            insideWhenUnregistered = inside.load();
        });
        release.set_value();
        unregister.join();
        pusher.join();
        QVERIFY2(!insideWhenUnregistered, "setBrowseClient(nullptr) returned while the client ran");
        pushDirect(*model, "SH", "600000", false);
        QCOMPARE(client.count(), size_t(1));
    }

    // A host thread holding the last reference frees the model on the model's thread.
    void lastReleaseOffThreadDestroysOnTheModelsThread()
    {
        auto model = CWholeQuoteModel::create();
        QThread* const gui = QThread::currentThread();
        bool destroyed = false;
        bool destroyedOnGui = false;
        connect(
            model.get(), &QObject::destroyed, this,
            [&]() {
                destroyed = true;
                destroyedOnGui = QThread::currentThread() == gui;
            },
            Qt::DirectConnection);
        std::thread host([held = std::move(model)]() mutable { held.reset(); });
        host.join();
        QVERIFY(!destroyed); // handed over, not freed on the host thread
        QTRY_VERIFY_WITH_TIMEOUT(destroyed, 5000);
        QVERIFY(destroyedOnGui);
    }

    // Bare models are made, subscribed and dropped while the feed thread pushes. Every
    // other model is handed to a host-like thread that pushes into it and lets it go, as a
    // push callback does when the owner drops the model mid-call. Every model must die on
    // the GUI thread with its subscriptions cancelled.
    void modelsDroppedWhileTheFeedPushes()
    {
        QThread* const gui = QThread::currentThread();
        std::atomic<int> destroyed{0};
        std::atomic<int> destroyedOffGui{0};
        std::mutex handoffMutex;
        std::vector<CWholeQuoteModelPtr> handoff;
        std::atomic<int> releasedByHost{0};
        std::atomic<bool> stop{false};
        std::thread host([&]() {
            std::vector<CWholeQuoteModelPtr> held;
            while (!stop) {
                {
                    std::lock_guard<std::mutex> lock(handoffMutex);
                    held.swap(handoff);
                }
                for (CWholeQuoteModelPtr& model : held) {
                    pushDirect(*model, "SH", "600000", true);
                    model.reset();
                    ++releasedByHost;
                }
                held.clear();
                std::this_thread::yield();
            }
        });
        TestMarket::startFeed(1);

        std::vector<CWholeQuoteModelPtr> live;
        constexpr int kCycles = 300;
        constexpr size_t kLive = 6;
        int made = 0;
        int handed = 0;
        QElapsedTimer budget;
        budget.start();
        for (; made < kCycles && budget.elapsed() < 30000; ++made) {
            auto model = CWholeQuoteModel::create();
            connect(
                model.get(), &QObject::destroyed, this,
                [&, gui]() {
                    ++destroyed;
                    if (QThread::currentThread() != gui)
                        ++destroyedOffGui;
                },
                Qt::DirectConnection);
            model->requestWholeQuote(m_twoMarkets);
            live.push_back(std::move(model));
            if (made % 3 == 0)
                live.front()->flushQueued();
            if (live.size() > kLive) { // dropped at whatever stage it reached
                if (made % 2 == 0) {
                    std::lock_guard<std::mutex> lock(handoffMutex);
                    handoff.push_back(std::move(live.front()));
                    ++handed;
                }
                live.erase(live.begin());
            }
            QCoreApplication::processEvents();
        }
        live.clear();
        QTRY_COMPARE_WITH_TIMEOUT(releasedByHost.load(), handed, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(destroyed.load(), made, 10000);
        stop = true;
        host.join();
        TestMarket::stopFeed();
        drainPool();
        QCOMPARE(made, kCycles);
        QVERIFY(handed > kCycles / 3);
        QCOMPARE(destroyedOffGui.load(), 0);
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), m_baseSubscriptions);
    }

    // Nobody drains: the queue keeps the latest quote per instrument, and a later drain
    // hands those latest quotes over.
    void undrainedQueueCoalescesPerInstrument()
    {
        auto model = CWholeQuoteModel::create();
        std::map<QString, double> lastSeen;
        int deliveries = 0;
        model->setDataCallback([&](dorn::PushQuoteParam&, const QVector<QString>& codes,
                                   const QVector<QString>&,
                                   const std::vector<quoter::QuoterAllDataPtr>& quotes, bool) {
            ++deliveries;
            for (int i = 0; i < codes.size(); ++i)
                lastSeen[codes[i]] = quotes[size_t(i)]->last;
        });
        const QVector<QString> codes{QStringLiteral("600000"), QStringLiteral("600001")};
        const QVector<QString> markets{QStringLiteral("SH"), QStringLiteral("SH")};
        auto quoteAt = [](double last) {
            return std::make_shared<quoter::QuoterAllData>(TestMarket::quote(last, 10.0));
        };
        constexpr int kPushes = 100000; // far more than any drain interval collects
        for (int i = 0; i < kPushes; ++i) {
            dorn::PushQuoteParam param("SH");
            param.queued = true;
            model->onPushQuote(param, codes, markets, {quoteAt(10.0 + i * 1e-4), quoteAt(5.0)});
            QVERIFY(model->queuedQuoteCount() <= 1 << 16); // the model's bound
        }
        QVERIFY(model->queuedCount() < kPushes);
        dorn::PushQuoteParam param("SZ");
        param.queued = true;
        model->onPushQuote(param, {QStringLiteral("000001")}, {QStringLiteral("SZ")},
                           {quoteAt(12.5)});
        model->flushQueued();
        QVERIFY(deliveries < kPushes);
        QCOMPARE(lastSeen.size(), size_t(3));
        QCOMPARE(lastSeen[QStringLiteral("600000")], 10.0 + (kPushes - 1) * 1e-4);
        QCOMPARE(lastSeen[QStringLiteral("600001")], 5.0);
        QCOMPARE(lastSeen[QStringLiteral("000001")], 12.5);
        QCOMPARE(model->queuedQuoteCount(), 0);
    }

    // The model goes while its cache read runs and host threads push: nothing crashes and
    // no client hears from it afterwards.
    void destroyWhileReadAndPushInFlight()
    {
        RecordingClient client;
        std::atomic<bool> gone{false};
        std::atomic<int> lateCalls{0};
        client.hook = [&]() {
            if (gone)
                ++lateCalls;
        };
        auto model = CWholeQuoteModel::create();
        subscribeBoth(*model, &client);

        TestMarket::startFeed(1); // queued pushes from the feed thread
        boost::weak_ptr<CWholeQuoteModel> weak = model;
        std::atomic<bool> stop{false};
        std::atomic<int> directPushes{0};
        std::thread pusher([&]() { // direct pushes, holding the model as the host does
            while (!stop) {
                if (auto m = weak.lock()) {
                    pushDirect(*m, "SZ", "000001", false);
                    ++directPushes;
                } else {
                    std::this_thread::yield();
                }
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(directPushes.load() > 0, 5000);
        model->requestWholeQuote(m_twoMarkets); // a read in flight again
        model->setBrowseClient(nullptr);        // what an owner does before letting go
        gone = true;
        model.reset();
        QTRY_VERIFY_WITH_TIMEOUT(weak.expired(), 5000);
        stop = true;
        pusher.join();
        TestMarket::stopFeed();
        drainPool();
        QCOMPARE(lateCalls.load(), 0);
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), m_baseSubscriptions);
    }
};

QTEST_GUILESS_MAIN(TstWholeQuoteModel)
#include "tst_wholequotemodel.moc"

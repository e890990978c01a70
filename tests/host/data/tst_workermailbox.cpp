// The worker mailbox: posts run on the receiver's thread, stale and closed posts are
// dropped, and posted work dies with its receiver.
#include "host/data/CWorkerMailbox.h"

#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace TC;

class TstWorkerMailbox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void runsPostsOnTheReceiversThread()
    {
        QObject receiver;
        auto box = CWorkerMailbox::create(&receiver);
        std::atomic<bool> ranOnGui{false};
        std::atomic<int> runs{0};
        bool posted = false;
        std::thread worker([&]() {
            posted = box->post([&]() {
                ranOnGui = QThread::currentThread() == receiver.thread();
                ++runs;
            });
        });
        worker.join();
        QVERIFY(posted);
        QCOMPARE(runs.load(), 0); // not before the receiver's event loop runs it
        QTRY_COMPARE_WITH_TIMEOUT(runs.load(), 1, 5000);
        QVERIFY(ranOnGui);
    }

    void dropsStaleAndClosedPosts()
    {
        QObject receiver;
        auto box = CWorkerMailbox::create(&receiver);
        int runs = 0;
        const quint64 old = box->nextGeneration();
        QVERIFY(box->postIfCurrent(old, [&]() { runs += 1; }));
        const quint64 current = box->nextGeneration(); // a newer request makes the first stale
        QVERIFY(!box->isCurrent(old));
        QVERIFY(box->postIfCurrent(current, [&]() { runs += 10; }));
        QCoreApplication::sendPostedEvents(&receiver);
        QCOMPARE(runs, 10);

        box->close();
        QVERIFY(box->isClosed());
        QVERIFY(!box->post([&]() { runs += 100; }));
        QCoreApplication::sendPostedEvents(&receiver);
        QCOMPARE(runs, 10);
    }

    // Posted work already queued dies with its receiver.
    void postsDieWithTheReceiver()
    {
        auto receiver = std::make_unique<QObject>();
        auto box = CWorkerMailbox::create(receiver.get());
        bool ran = false;
        QVERIFY(box->post([&]() { ran = true; }));
        box->close();
        receiver.reset();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(!ran);
    }
};

QTEST_GUILESS_MAIN(TstWorkerMailbox)
#include "tst_workermailbox.moc"

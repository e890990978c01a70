// The multi-stock window service: its sector, and the recalculations it records and
// announces, also when asked from several threads at once.
#include "host/data/MultiStockManager.h"

#include <QtTest>

#include <thread>
#include <vector>

using namespace TC;

class TstMultiStockManager : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        CMultiStockManager::instance()->setSector(QString());
        CMultiStockManager::instance()->clearRecalculations();
    }

    void sectorChangesAreAnnouncedOnce()
    {
        auto* m = CMultiStockManager::instance();
        QSignalSpy changed(m, &CMultiStockManager::sigSectorChanged);
        m->setSector(QStringLiteral("自选股"));
        m->setSector(QStringLiteral("自选股"));
        QCOMPARE(m->getSector(), QStringLiteral("自选股"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toString(), QStringLiteral("自选股"));
    }

    void recalculationsAreRecordedAndAnnounced()
    {
        auto* m = CMultiStockManager::instance();
        QSignalSpy recalculated(m, &CMultiStockManager::sigRecalculated);
        m->setSector(QStringLiteral("条件板块"));
        m->recalculate({QStringLiteral("600000.SH"), QStringLiteral("000001.SZ")}, true);
        m->setSector(QStringLiteral("别的板块"));
        m->recalculate({}, false);

        const auto records = m->recalculations();
        QCOMPARE(int(records.size()), 2);
        QCOMPARE(records[0].sector, QStringLiteral("条件板块"));
        QCOMPARE(records[0].keys,
                 (QStringList{QStringLiteral("600000.SH"), QStringLiteral("000001.SZ")}));
        QVERIFY(records[0].reset);
        QCOMPARE(records[1].sector, QStringLiteral("别的板块"));
        QVERIFY(records[1].keys.isEmpty());
        QVERIFY(!records[1].reset);
        QCOMPARE(recalculated.count(), 2);
        QCOMPARE(recalculated[0][0].toStringList(), records[0].keys);
        QCOMPARE(recalculated[0][1].toBool(), true);

        m->clearRecalculations();
        QVERIFY(m->recalculations().empty());
    }

    void recalculationsFromManyThreadsAreAllKept()
    {
        auto* m = CMultiStockManager::instance();
        constexpr int kThreads = 4;
        constexpr int kEach = 200;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([m, t] {
                for (int i = 0; i < kEach; ++i)
                    m->recalculate({QString::number(t)}, false);
            });
        }
        for (std::thread& t : threads)
            t.join();
        const auto records = m->recalculations();
        QCOMPARE(int(records.size()), kThreads * kEach);
        std::vector<int> perThread(kThreads, 0);
        for (const auto& r : records)
            ++perThread[size_t(r.keys.front().toInt())];
        for (int n : perThread)
            QCOMPARE(n, kEach);
    }
};

QTEST_MAIN(TstMultiStockManager)
#include "tst_multistockmanager.moc"

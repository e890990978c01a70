// The smart keyboard: finding instruments, choosing with the keys, and the guarded
// selection callback.
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/widgets/CSmartKeyboardDialog.h"

#include <QKeyEvent>
#include <QtTest>

using namespace TC;

class TestSmartKeyboard : public QObject {
    Q_OBJECT

private:
    CSmartKeyboardDialog* k = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        ttmarket::installEmbeddedBackend();
        QVERIFY(CStockManager::instance()->ensureLoaded());
        k = CSmartKeyboardDialog::instance();
    }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("first"); // key of the best entry, empty for none
        const auto row = [](const char* tag, const char* text, const char* first) {
            QTest::newRow(tag) << QString(text) << QString(first);
        };
        row("code", "600519", "600519.SH");
        row("pinyin initials", "GZMT", "600519.SH");
        row("name", "贵州茅台", "600519.SH");
        row("regex characters", ".*", "");
        row("emoji", "\U0001F600", "");
        row("blank", " ", "");
    }

    void search()
    {
        QFETCH(QString, text);
        QFETCH(QString, first);
        const QList<CStockInfo> found = CSmartKeyboardDialog::search(text);
        if (first.isEmpty()) {
            QVERIFY(found.isEmpty());
            return;
        }
        QVERIFY(!found.isEmpty());
        QCOMPARE(found.first().key, first);
    }

    void rankingAndLimit()
    {
        // code prefixes first, then codes that merely contain the text, then names
        const QString text = QStringLiteral("51");
        const QList<CStockInfo> found = CSmartKeyboardDialog::search(text, 100000);
        QSet<int> ranks;
        int last = 0;
        for (const CStockInfo& i : found) {
            const int rank = i.code.startsWith(text) ? 0 : i.code.contains(text) ? 2 : 3;
            QVERIFY2(rank >= last, qPrintable(i.code));
            last = rank;
            ranks.insert(rank);
        }
        QVERIFY(ranks.contains(0) && ranks.contains(2));
        QCOMPARE(CSmartKeyboardDialog::search(text, 7).size(), 7);
    }

    void keysChooseAndCallbackRuns()
    {
        QObject owner;
        QList<CStockInfo> picked;
        k->setSelectCallback(&owner, [&](const CStockInfo& i, ESmartKeyType t) {
            QCOMPARE(t, eSmartKeyStock);
            picked.append(i);
        });
        QKeyEvent six(QEvent::KeyPress, Qt::Key_6, Qt::NoModifier, QStringLiteral("6"));
        k->setKeyEvent(&six, nullptr);
        QCOMPARE(k->searchText(), QStringLiteral("6"));
        k->setSearchText(QStringLiteral("60051"));
        k->show();
        QVERIFY(k->candidates().size() >= 2);
        QCOMPARE(k->currentIndex(), 0);
        QTest::keyClick(k, Qt::Key_Down);
        QCOMPARE(k->currentIndex(), 1);
        QTest::keyClick(k, Qt::Key_Up);
        QTest::keyClick(k, Qt::Key_Up); // wraps to the last
        QCOMPARE(k->currentIndex(), k->candidates().size() - 1);
        QTest::keyClick(k, Qt::Key_Down);
        QTest::keyClick(k, Qt::Key_Return);
        QCOMPARE(picked.size(), 1);
        QCOMPARE(picked.first().key, k->candidates().first().key);
        QVERIFY(!k->isVisible());
        k->show();
        QTest::keyClick(k, Qt::Key_Escape);
        QVERIFY(!k->isVisible());
        QCOMPARE(picked.size(), 1);
        k->clearSelectCallback(&owner);
    }

    void callbackGuard()
    {
        int calls = 0;
        auto* owner = new QObject;
        QObject other;
        k->setSelectCallback(owner, [&](const CStockInfo&, ESmartKeyType) { ++calls; });
        k->clearSelectCallback(&other); // not its binding
        QVERIFY(k->isBoundTo(owner));
        k->setSearchText(QStringLiteral("600519"));
        QVERIFY(k->chooseCurrent());
        QCOMPARE(calls, 1);
        // an owner gone without clearing is never called back
        delete owner;
        QVERIFY(k->chooseCurrent());
        QCOMPARE(calls, 1);
        QVERIFY(!k->isBoundTo(owner));
        // clearing by the owner itself
        k->setSelectCallback(&other, [&](const CStockInfo&, ESmartKeyType) { ++calls; });
        k->clearSelectCallback(&other);
        QVERIFY(!k->isBoundTo(&other));
        QVERIFY(k->chooseCurrent());
        QCOMPARE(calls, 1);
        k->setSearchText(QStringLiteral("没有这种"));
        QVERIFY(!k->chooseCurrent());
    }
};

QTEST_MAIN(TestSmartKeyboard)
#include "tst_smartkeyboard.moc"

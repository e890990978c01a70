// Views created and destroyed over and over leave the process's bookkeeping where it was.
#include "view/CIndexBrowseView.h"

#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/TestMarket.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

using namespace TC;
using ttmarket::TestMarket;

class TestViewLifetime : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TT_USER_DIR", m_dir.path().toUtf8());
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        ttmarket::installEmbeddedBackend();
        QVERIFY(CStockManager::instance()->ensureLoaded());
    }
    void cleanupTestCase() { TestMarket::restore(); }

    // Each view fills a quote table and the position table, which both ask for a late
    // statistics refresh; no event loop runs meanwhile, as in a batch of restores.
    void repeatedViewsLeaveNothingBehind()
    {
        constexpr int kViews = 200;
        auto* dispatcher = QAbstractEventDispatcher::instance();
        auto cycle = [] {
            CIndexBrowseView view(nullptr, BrowseType_Default);
            view.setSector(QStringLiteral("上证A股"));
            view.setSector(QStringLiteral("股票持仓"));
        };
        cycle(); // first use fills process-wide caches
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const int timers = dispatcher->children().size();
        const int appChildren = qApp->children().size();
        const int windows = QApplication::topLevelWidgets().size();
        for (int i = 0; i < kViews; ++i)
            cycle();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(dispatcher->children().size(), timers);
        QCOMPARE(qApp->children().size(), appChildren);
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);
    }
};

QTEST_MAIN(TestViewLifetime)
#include "tst_viewlifetime.moc"

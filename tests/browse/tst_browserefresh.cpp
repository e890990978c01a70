// Keeping indicator columns current: the auto-refresh decision in and out of trading
// hours, the refresh commands of the header and row menus, and the refresh settings
// dialog. Time is the host clock set by the test; the one-second timer is driven by
// calling its slot.
#include "browse/CBrowseWidget.h"

#include "BrowseTestMarket.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/ColumnInfo.h"
#include "host/data/Config.h"
#include "host/data/StockManager.h"
#include "host/data/UserConfig.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/MessageBox.h"
#include "host/widgets/CSetAutoRefreshDialog.h"
#include "host/widgets/CSimGetCheckSelectDialog.h"

#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSpinBox>

using namespace TC;
using namespace browsetest;
using ttmarket::TestMarket;

namespace {

// An auto-refreshing column in stock hours, every tick.
ColumnInfo autoColumn()
{
    ColumnInfo c = maColumn(QStringLiteral("MA5"), 0);
    c.autoRefresh = true;
    c.refreshInStockHours = true;
    c.refreshInterval = 1;
    return c;
}

QAction* headerAction(CBrowseWidget& w, const QString& text)
{
    for (QAction* a : w.headerMenu()->actions()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

// Adds MA5 and MA10 columns; returns their ids.
std::pair<int, int> addMa5Ma10(CBrowseWidget& w)
{
    ColumnInfo ma5 = maColumn(QStringLiteral("MA5"), 0);
    ColumnInfo ma10 = maColumn(QStringLiteral("MA10"), 1);
    const int id5 = w.addCustomIndex(ma5);
    return {id5, w.addCustomIndex(ma10)};
}

} // namespace

class TstBrowseRefresh : public QObject {
    Q_OBJECT
    CBrowseWidget::InstrumentList m_list;

private Q_SLOTS:
    void initTestCase()
    {
        const Instruments instruments =
            stocks(QStringLiteral("SH"), {"600000", "600004", "600009", "600010"}, 10.0);
        installMarket(instruments);
        m_list = detailsOf(instruments);
    }

    void cleanupTestCase()
    {
        QVERIFY(indicatorWorkersDone());
        TestMarket::restore();
    }

    void cleanup() { QVERIFY(indicatorWorkersDone()); }

    // With no rows a queued column's batch is empty and the column stays queued, so the
    // queue shows what the tick decided.
    void autoRefreshDecision_data()
    {
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("stockHours");
        QTest::addColumn<bool>("futuresHours");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("whenHidden");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<bool>("queued");
        QTest::addColumn<int>("counted");

        // clang-format off
        QTest::newRow("in hours") << 10 << 0 << true << true << false << 1 << false << "" << 1 << true << 1;
        QTest::newRow("08:56, the 35-minute lead") << 8 << 56 << true << true << false << 1 << false << "" << 1 << true << 1;
        QTest::newRow("08:50, before the lead") << 8 << 50 << true << true << false << 1 << false << "" << 1 << false << 0;
        QTest::newRow("12:00, the lunch break") << 12 << 0 << true << true << false << 1 << false << "" << 1 << false << 0;
        QTest::newRow("16:30, stock hours only") << 16 << 30 << true << true << false << 1 << false << "" << 1 << false << 0;
        QTest::newRow("21:30, futures hours after 16:00") << 21 << 30 << true << false << true << 1 << false << "" << 1 << true << 1;
        QTest::newRow("21:30, stock hours only") << 21 << 30 << true << true << false << 1 << false << "" << 1 << false << 1;
        QTest::newRow("10:00, futures hours before 16:00 do not count") << 10 << 0 << true << false << true << 1 << false << "" << 1 << false << 1;
        QTest::newRow("interval 0 never") << 10 << 0 << true << true << false << 0 << false << "" << 3 << false << 3;
        QTest::newRow("interval 3, two ticks") << 10 << 0 << true << true << false << 3 << false << "" << 2 << false << 2;
        QTest::newRow("interval 3, three ticks") << 10 << 0 << true << true << false << 3 << false << "" << 3 << true << 3;
        QTest::newRow("hidden without refresh-when-hidden") << 10 << 0 << false << true << false << 1 << false << "" << 1 << false << 0;
        QTest::newRow("hidden with refresh-when-hidden") << 10 << 0 << false << true << false << 1 << true << "" << 1 << true << 1;
        QTest::newRow("start time later") << 10 << 0 << true << true << false << 1 << false << "10:30" << 1 << false << 1;
        QTest::newRow("start time passed") << 10 << 0 << true << true << false << 1 << false << "09:45" << 1 << true << 1;
        QTest::newRow("unreadable start time") << 10 << 0 << true << true << false << 1 << false << "xx" << 1 << true << 1;
        // clang-format on
    }
    void autoRefreshDecision()
    {
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(bool, visible);
        QFETCH(bool, stockHours);
        QFETCH(bool, futuresHours);
        QFETCH(int, interval);
        QFETCH(bool, whenHidden);
        QFETCH(QString, start);
        QFETCH(int, ticks);
        QFETCH(bool, queued);
        QFETCH(int, counted);

        TestMarket::setClock(TestMarket::at(2024, 6, 5, hour, minute)); // a Wednesday
        CBrowseWidget w;
        if (visible)
            w.show();
        ColumnInfo c = autoColumn();
        c.refreshInStockHours = stockHours;
        c.refreshInFuturesHours = futuresHours;
        c.refreshInterval = interval;
        c.refreshWhenHidden = whenHidden;
        c.refreshStartTime = start;
        w.addCustomIndex(c);
        const int before = w.autoRefreshTicks();
        for (int i = 0; i < ticks; ++i)
            w.slotAutoRefreshIndex();
        QCOMPARE(w.autoRefreshTicks() - before, counted);
        QCOMPARE(w.requestQueue().size(), queued ? 1 : 0);
        // a queued column is not queued twice
        w.slotAutoRefreshIndex();
        QVERIFY(w.requestQueue().size() <= 1);
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
    }

    void autoRefreshRunsTheBatch()
    {
        CBrowseWidget w;
        w.show();
        w.setStockList(m_list, false);
        QSignalSpy done(&w, &CBrowseWidget::sigIndicatorBatchDone);
        ColumnInfo c = autoColumn();
        const int id = w.addCustomIndex(c);
        w.slotAutoRefreshIndex();
        QVERIFY(w.isIndicatorBatchRunning());
        QCOMPARE(finished(done, 1), QList<int>{id});
        QVERIFY(w.requestQueue().isEmpty());
        QVERIFY(w.isRefreshFinish());
    }

    void refreshCurrentColumn()
    {
        CBrowseWidget w;
        w.setStockList(m_list, false);
        QSignalSpy done(&w, &CBrowseWidget::sigIndicatorBatchDone);
        const auto [id5, id10] = addMa5Ma10(w);
        QVERIFY(w.prepareHeaderMenu(id5));
        QAction* refresh = headerAction(w, QStringLiteral("刷新当前列"));
        w.setCurrentColumn(id5);
        refresh->trigger();
        QVERIFY(w.isIndicatorBatchRunning());
        QCOMPARE(w.requestQueue().size(), 1);
        refresh->trigger(); // on the running head it does nothing
        QCOMPARE(w.requestQueue().size(), 1);
        w.setCurrentColumn(id10); // another column waits behind it
        refresh->trigger();
        QCOMPARE(w.requestQueue().size(), 2);
        QCOMPARE(finished(done, 2), (QList<int>{id5, id10}));
    }

    void restartCurrentFormula()
    {
        CBrowseWidget w;
        w.setStockList(m_list, false);
        QSignalSpy done(&w, &CBrowseWidget::sigIndicatorBatchDone);
        ColumnInfo ma5 = maColumn(QStringLiteral("MA5"), 0);
        ColumnInfo ma10 = maColumn(QStringLiteral("MA10"), 1);
        const int id5 = w.addCustomIndex(ma5);
        const int id10 = w.addCustomIndex(ma10);
        w.pushBackRequestTask(ma10);
        w.pushBackRequestTask(ma5);
        w.nextReQuestTask();
        QAction* restart = headerAction(w, QStringLiteral("刷新当前模型"));
        // an idle column goes to the tail with refreshAll, once
        w.setCurrentColumn(id5);
        restart->trigger();
        QCOMPARE(w.requestQueue().size(), 2);
        QCOMPARE(w.requestQueue().last().title, QStringLiteral("MA5"));
        QVERIFY(w.requestQueue().last().refreshAll);
        // the running column restarts from the front
        w.setCurrentColumn(id10);
        restart->trigger();
        QCOMPARE(w.requestQueue().size(), 2);
        QCOMPARE(w.requestQueue().first().title, QStringLiteral("MA10"));
        QVERIFY(w.requestQueue().first().refreshAll);
        QVERIFY(w.isIndicatorBatchRunning());
        // once restarted with refreshAll, it is left alone
        restart->trigger();
        QCOMPARE(w.requestQueue().size(), 2);
        QCOMPARE(finished(done, 2), (QList<int>{id10, id5}));
    }

    void autoRefreshToggle()
    {
        CBrowseWidget w;
        ColumnInfo ma5 = maColumn(QStringLiteral("MA5"), 0);
        const int id = w.addCustomIndex(ma5);
        w.setCurrentColumn(id);
        for (bool on : {true, false}) {
            QVERIFY(w.prepareHeaderMenu(id));
            QAction* toggle = headerAction(w, QStringLiteral("自动刷新"));
            QCOMPARE(toggle->isChecked(), !on);
            toggle->trigger();
            QCOMPARE(listed(w, id)->autoRefresh, on);
            QCOMPARE(w.customIndexColumns().first().autoRefresh, on);
        }
    }

    void refreshAllCustomIndices()
    {
        CBrowseWidget w;
        w.setStockList(m_list, false);
        w.addPublicMenuAction();
        QSignalSpy done(&w, &CBrowseWidget::sigIndicatorBatchDone);
        const auto [id5, id10] = addMa5Ma10(w);
        w.getMenuAction(QStringLiteral("刷新全部自定义指标"))->trigger();
        QCOMPARE(w.requestQueue().size(), 2);
        for (const ColumnInfo& q : w.requestQueue())
            QVERIFY(q.refreshAll);
        QVERIFY(w.isIndicatorBatchRunning());
        QCOMPARE(finished(done, 2), (QList<int>{id5, id10}));
    }

    void removeCustomIndexByDialog_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("确定 removes the ticked column") << true;
        QTest::newRow("取消 removes nothing") << false;
    }
    void removeCustomIndexByDialog()
    {
        QFETCH(bool, accept);
        CBrowseWidget w;
        w.addPublicMenuAction();
        const int id5 = addMa5Ma10(w).first;
        QStringList offered;
        QString title;
        QTimer::singleShot(0, [&] {
            auto* dialog =
                qobject_cast<CSimGetCheckSelectDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            offered = dialog->items();
            title = dialog->windowTitle();
            dialog->setChecked(QStringLiteral("MA5"), true);
            accept ? dialog->accept() : dialog->reject();
        });
        w.getMenuAction(QStringLiteral("删除自定义指标"))->trigger();
        QCOMPARE(title, QStringLiteral("删除自定义指标"));
        QCOMPARE(offered, (QStringList{QStringLiteral("MA5"), QStringLiteral("MA10")}));
        QCOMPARE(w.isCustomIndexExist(QStringLiteral("MA5")), !accept);
        QCOMPARE(listed(w, id5) != nullptr, !accept);
        QVERIFY(w.isCustomIndexExist(QStringLiteral("MA10")));
        QVERIFY(!w.findChild<CSimGetCheckSelectDialog*>()); // deleted after use
    }

    void removeCustomIndexWhenNone()
    {
        CBrowseWidget w;
        QString shown;
        XP::CMessageBox::setAnswerHook([&](const QString& title, const QString& text, int) {
            shown = title + QLatin1Char('|') + text;
            return int(XP::CMessageBox::Ok);
        });
        w.slotDelSelectCustomIndex();
        XP::CMessageBox::clearAnswerHook();
        QCOMPARE(shown, QStringLiteral("提示|自定义指标为空"));
    }

    // The widget goes while one of its modal dialogs runs.
    void dialogOutlivedByNothing_data()
    {
        QTest::addColumn<bool>("settings"); // else the check list
        QTest::newRow("check list") << false;
        QTest::newRow("refresh settings") << true;
    }
    void dialogOutlivedByNothing()
    {
        QFETCH(bool, settings);
        auto* w = new CBrowseWidget;
        ColumnInfo ma5 = maColumn(QStringLiteral("MA5"), 0);
        w->setCurrentColumn(w->addCustomIndex(ma5));
        QPointer<CBrowseWidget> guard(w);
        QTimer::singleShot(0, [w] { delete w; });
        if (settings)
            w->slotSetAutoRefreshTimeParam();
        else
            w->removeSelectCustomIndex();
        QVERIFY(!guard);
    }

    void indexCommandsSendTableEvents()
    {
        CBrowseWidget w;
        QList<int> commands;
        XP::CEventSink::setHandler([&](QObject*, int id, int, int b, const QString&, void* p) {
            if (id == 3264 && p == &w)
                commands.append(b);
            return true;
        });
        w.slotEditIndex();
        w.slotExportIndex();
        w.addPublicMenuAction();
        w.getMenuAction(QStringLiteral("选择自定义指标"))->trigger();
        XP::CEventSink::clearHandler();
        QCOMPARE(commands, (QList<int>{0, 1, 3}));
    }

    // The dialog shows the column's settings, or those the user saved for its title, and
    // writes what was edited back only when accepted.
    void settingsDialogRoundTrip_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("isPrivate");
        QTest::addColumn<QString>("savedFor");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("hidden");
        const QString pub = QStringLiteral("刷新设置 - 公共指标 - (MA5)");
        // clang-format off
        QTest::newRow("accepted, public")        << true  << 0 << "" << pub << 7 << "09:40" << false;
        QTest::newRow("rejected, private")       << false << 1 << "" << "刷新设置 - 私有指标 - (MA5)" << 7 << "09:40" << false;
        QTest::newRow("saved for the title")     << false << 0 << "MA5" << pub << 45 << "13:05" << true;
        QTest::newRow("saved for another title") << false << 0 << "MA10" << pub << 7 << "09:40" << false;
        // clang-format on
    }
    void settingsDialogRoundTrip()
    {
        QFETCH(bool, accept);
        QFETCH(int, isPrivate);
        QFETCH(QString, savedFor);
        QFETCH(QString, title);
        QFETCH(int, interval);
        QFETCH(QString, start);
        QFETCH(bool, hidden);
        if (!savedFor.isEmpty()) {
            CAutoRefreshParam saved;
            saved.interval = 45;
            saved.startTime = QStringLiteral("13:05");
            saved.whenHidden = true;
            getUserConfig()->setAutoRefreshParam(savedFor, saved);
        }
        getUserConfig()->setPromptRunResult(true);
        CBrowseWidget w;
        ColumnInfo ma5 = maColumn(QStringLiteral("MA5"), 0);
        ma5.isPrivate = isPrivate;
        ma5.refreshInterval = 7;
        ma5.refreshStartTime = QStringLiteral("09:40");
        ma5.refreshInStockHours = true;
        const int id = w.addCustomIndex(ma5);
        w.setCurrentColumn(id);
        QVERIFY(w.prepareHeaderMenu(id));
        QString shownTitle;
        CAutoRefreshParam shown;
        bool shownPrompt = false;
        QTimer::singleShot(0, [&] {
            CSetAutoRefreshDialog* dialog = w.autoRefreshDialog();
            QVERIFY(dialog && dialog->isVisible());
            shownTitle = dialog->windowTitle();
            shown.interval = dialog->intervalBox()->value();
            shown.startTime = dialog->startTimeEdit()->text();
            shown.whenHidden = dialog->getUIParams().whenHidden;
            shownPrompt = dialog->promptBox()->isChecked();
            dialog->autoRefreshBox()->setChecked(true);
            dialog->startTimeEdit()->setText(QStringLiteral("10:15"));
            dialog->futuresHoursBox()->setChecked(true);
            dialog->intervalBox()->setValue(30);
            dialog->whenHiddenBox()->setChecked(true);
            accept ? dialog->accept() : dialog->reject();
        });
        headerAction(w, QStringLiteral("刷新设置"))->trigger();
        getUserConfig()->setPromptRunResult(false);
        if (!savedFor.isEmpty())
            QVERIFY(getUserConfig()->removeAutoRefreshParam(savedFor));
        QCOMPARE(shownTitle, title);
        QCOMPARE(shown.interval, interval);
        QCOMPARE(shown.startTime, start);
        QCOMPARE(shown.whenHidden, hidden);
        // the host's prompt setting, unless saved settings (prompt off) replace it
        QCOMPARE(shownPrompt, savedFor != QLatin1String("MA5"));
        const ColumnInfo* kept = listed(w, id);
        for (const ColumnInfo* c : {kept, &w.customIndexColumns().first()}) {
            QCOMPARE(c->autoRefresh, accept);
            QCOMPARE(c->refreshStartTime,
                     accept ? QStringLiteral("10:15") : QStringLiteral("09:40"));
            QCOMPARE(c->refreshInFuturesHours, accept);
            QCOMPARE(c->refreshInStockHours, true);
            QCOMPARE(c->refreshInterval, accept ? 30 : 7);
            QCOMPARE(c->refreshWhenHidden, accept);
        }
    }
};

QTEST_MAIN(TstBrowseRefresh)
#include "tst_browserefresh.moc"

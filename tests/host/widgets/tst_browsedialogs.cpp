// The host dialogs of the browse table's data commands: the interval refresh's progress
// dialog and the option-list dialog of user-defined fields.
#include "host/toolkit/ToolkitEvents.h"
#include "host/widgets/CBrowserFetchDataProgressDialog.h"
#include "host/widgets/COptionTextListDialog.h"

#include <QtTest>

using namespace TC;

class TstBrowseDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void progressText_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("progress");
        QTest::addColumn<QString>("text");
        QTest::newRow("start") << 3 << 0 << "正在刷新当前行情...[0%]";
        QTest::newRow("a third, truncated") << 3 << 1 << "正在刷新当前行情...[33%]";
        QTest::newRow("two thirds, truncated") << 3 << 2 << "正在刷新当前行情...[66%]";
        QTest::newRow("done") << 3 << 3 << "正在刷新当前行情...[100%]";
    }
    void progressText()
    {
        QFETCH(int, maximum);
        QFETCH(int, progress);
        QFETCH(QString, text);
        CBrowserFetchDataProgressDialog dialog;
        QCOMPARE(dialog.title(), QStringLiteral("刷新数据"));
        QCOMPARE(dialog.size(), QSize(300, 150));
        dialog.setMaximum(maximum);
        dialog.setProgress(progress);
        QCOMPARE(dialog.text(), text);
    }

    void progressCancelAndClose()
    {
        CBrowserFetchDataProgressDialog dialog;
        QSignalSpy cancelled(&dialog, &CBrowserFetchDataProgressDialog::sigCancel);
        QSignalSpy rejected(&dialog, &QDialog::rejected);
        dialog.show();
        dialog.handleEvent(XP::EV_BUTTON_CLICKED, 1, 0, QStringLiteral("取消"), nullptr);
        QCOMPARE(cancelled.count(), 1);
        QCOMPARE(rejected.count(), 1);
        dialog.show();
        dialog.handleEvent(XP::EV_BUTTON_CLICKED, -1, 0, QString(), nullptr); // the close button
        QCOMPARE(rejected.count(), 2);
        QCOMPARE(cancelled.count(), 1);
    }

    void optionListFields()
    {
        COptionTextListDialog dialog(QStringLiteral("添加自定义字段"));
        dialog.setSectorName(QStringLiteral("自选"));
        dialog.setFields({{QStringLiteral("目标价"), QStringLiteral("10")}});
        QVERIFY(!dialog.addField(QStringLiteral("目标价"), QStringLiteral("1"))); // shown already
        QVERIFY(!dialog.addField(QStringLiteral("a:b"), QStringLiteral("1")));
        QVERIFY(!dialog.addField(QStringLiteral("止损价"), QStringLiteral("x")));
        QVERIFY(!dialog.lastError().isEmpty());
        QVERIFY(dialog.addField(QStringLiteral(" 止损价 "), QStringLiteral("8.5")));
        QVERIFY(dialog.lastError().isEmpty());
        QCOMPARE(dialog.addedFields(), (QList<COptionTextListDialog::Field>{
                                           {QStringLiteral("止损价"), QStringLiteral("8.5")}}));
        QCOMPARE(dialog.fields().size(), 2);
    }
};

QTEST_MAIN(TstBrowseDialogs)
#include "tst_browsedialogs.moc"

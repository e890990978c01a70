#include "host/toolkit/AutoExpandToolBar.h"
#include "host/toolkit/Menu.h"
#include "host/toolkit/MessageBox.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/SimpleTextWidget.h"
#include "host/toolkit/SplitButtonContainer.h"
#include "host/toolkit/StyleSheetCenter.h"
#include "host/toolkit/UiResource.h"
#include "host/toolkit/WidgetList.h"

#include <QtGui/QColor>
#include <QtTest/QtTest>
#include <QtWidgets/QSplitter>

using namespace XP;

class tst_Controls : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void widgetListStretchesOneWidget()
    {
        CWidgetList list(nullptr, Qt::Vertical, 0);
        list.setMargins(0, 0, 0, 0);
        auto* top = new QWidget;
        top->setFixedHeight(24);
        auto* body = new QWidget;
        list.addWidget(top);
        list.addWidget(body, true);
        list.resize(200, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(top->height(), 24);
        QCOMPARE(body->height(), 276);
        QCOMPARE(list.count(), 2);
        list.clear();
        QCOMPARE(list.count(), 0);
    }

    void toolBarHidesWhatDoesNotFit()
    {
        CAutoExpandToolBar bar(nullptr, QStringLiteral("ic_img_btn_group_left_tab"));
        QList<CPushButton*> buttons;
        for (int i = 0; i < 6; ++i) {
            auto* b = new CPushButton(i, QStringLiteral("按钮%1").arg(i));
            b->setFixedWidth(60);
            bar.addWidget(b);
            buttons << b;
        }
        bar.resize(800, 24);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QVERIFY(bar.overflowWidgets().isEmpty());
        bar.resize(200, 24);
        QTRY_VERIFY(!bar.overflowWidgets().isEmpty());
        for (QWidget* w : bar.overflowWidgets())
            QVERIFY(w->isHidden());
        QVERIFY(!buttons.first()->isHidden());
        QVERIFY(buttons.last()->isHidden());
        bar.resize(800, 24);
        QTRY_VERIFY(bar.overflowWidgets().isEmpty());
        QVERIFY(!buttons.last()->isHidden());
    }

    void splitContainerOpensAndCloses()
    {
        CSplitButtonContainer box(nullptr, Qt::Vertical);
        auto* top = new QWidget;
        auto* bottom = new QWidget;
        box.setWidgets(top, bottom);
        box.setSplitColorKey(QStringLiteral("ic_clr_mainwindow_split_background"));
        box.resize(300, 600);
        box.closeSplit();
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QVERIFY(!bottom->isVisible());
        QVERIFY(!box.isSplitOpen());
        box.openSplit();
        QVERIFY(bottom->isVisible());
        QVERIFY(box.splitter()->handle(1)->isVisible());
        box.setSecondLength(200);
        QTRY_COMPARE(box.splitter()->sizes().value(1), 200);
    }

    void messageBoxHookAnswers()
    {
        QStringList seen;
        CMessageBox::setAnswerHook([&seen](const QString& title, const QString& text, int) {
            seen << title << text;
            return int(CMessageBox::Yes);
        });
        QCOMPARE(
            CMessageBox::question(nullptr, QStringLiteral("提示"), QStringLiteral("确定删除?")),
            int(CMessageBox::Yes));
        QCOMPARE(seen, (QStringList{QStringLiteral("提示"), QStringLiteral("确定删除?")}));
        QCOMPARE(CMessageBox::lastText(), QStringLiteral("确定删除?"));
        CMessageBox::clearAnswerHook();
    }

    void styleSheetsFollowTheme()
    {
        CUiResource& r = CUiResource::instance();
        QVERIFY(r.loadTheme(QStringLiteral("dark")));
        const QString dark = CStyleSheetCenter::getStyle(CStyleSheetCenter::StyleBrowseView);
        QVERIFY(dark.contains(
            r.getColor(QStringLiteral("ic_clr_menu_background"))->name(QColor::HexArgb)));
        QVERIFY(r.loadTheme(QStringLiteral("light")));
        const QString light = CStyleSheetCenter::getStyle(CStyleSheetCenter::StyleBrowseView);
        QVERIFY(dark != light);
        QVERIFY(!CStyleSheetCenter::getStyle(12345).isEmpty());
        CMenu menu(QStringLiteral("加入自选板块"));
        QVERIFY(menu.styleSheet().contains(
            r.getColor(QStringLiteral("ic_clr_menu_background"))->name(QColor::HexArgb)));
        QVERIFY(r.loadTheme(QStringLiteral("dark")));
    }

    void simpleTextPaintsInItsColour()
    {
        CSimpleTextWidget text(nullptr, QStringLiteral("██████"));
        text.setTextColorKey(QStringLiteral("ic_clr_browse_rise"));
        text.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        text.resize(text.sizeHint());
        QImage image(text.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        text.render(&image);
        const QColor rise = *CUiResource::instance().getColor(QStringLiteral("ic_clr_browse_rise"));
        bool found = false;
        for (int x = 0; x < image.width() && !found; ++x)
            found = image.pixelColor(x, image.height() / 2) == rise;
        QVERIFY(found);
    }

    void pushButtonStylesFromKeys()
    {
        CPushButton b(10, QStringLiteral("名称"));
        b.setBackgroundColorKeys(QStringLiteral("ic_clr_quoterbrowser_header_bg_normal"),
                                 QStringLiteral("ic_clr_quoterbrowser_header_bg_hover"),
                                 QStringLiteral("ic_clr_quoterbrowser_header_bg_selected"),
                                 QStringLiteral("ic_clr_quoterbrowser_bg"));
        b.setTextColorKeys(QStringLiteral("ic_clr_quoterbrowser_header_text"),
                           QStringLiteral("ic_clr_quoterbrowser_header_text"),
                           QStringLiteral("ic_clr_quoterbrowser_header_text"),
                           QStringLiteral("ic_clr_quoterbrowser_header_text"));
        CUiResource& r = CUiResource::instance();
        const QString normal = r.getColor(QStringLiteral("ic_clr_quoterbrowser_header_bg_normal"))
                                   ->name(QColor::HexArgb);
        QVERIFY(b.styleSheet().contains(normal));
        QVERIFY(r.loadTheme(QStringLiteral("light")));
        const QString lightNormal =
            r.getColor(QStringLiteral("ic_clr_quoterbrowser_header_bg_normal"))
                ->name(QColor::HexArgb);
        QVERIFY(b.styleSheet().contains(lightNormal));
        QVERIFY(r.loadTheme(QStringLiteral("dark")));
    }
};

QTEST_MAIN(tst_Controls)
#include "tst_controls.moc"

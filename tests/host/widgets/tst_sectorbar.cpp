// The sector bar: combined buttons, their drop-downs and the events they hand up.
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/Menu.h"
#include "host/widgets/CPushButtonTabControl.h"

#include <QAction>
#include <QMenu>
#include <QtTest>

using namespace TC;

namespace {
struct Event {
    int id, a;
    QString text;
};

class Panel final : public XP::CBaseWidget {
public:
    QList<Event> events;
    bool handleEvent(int id, int a, int, const QString& text, void*) override
    {
        events.append({id, a, text});
        return true;
    }
};
} // namespace

class TestSectorBar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buttonsAndItems()
    {
        Panel panel;
        auto* bar = new CPushButtonTabControl(&panel);
        CCombinPushButton* multi = bar->addButton(QStringLiteral("多股查看"));
        multi->addItem(QStringLiteral("2 x 2"), 0);
        multi->addItem(QStringLiteral("3 x 3"), 1, nullptr, true);
        CCombinPushButton* boards = bar->addButton(QStringLiteral("A股分类"));
        boards->setCurText(QStringLiteral("上证A股"));
        boards->addItem(QStringLiteral("上证A股"));
        QMenu* group = boards->addGroup(QStringLiteral("深市"));
        boards->addItem(QStringLiteral("深证A股"), -1,
                        boards->addGroup(QStringLiteral("主板"), group));
        CCombinPushButton* leaf = bar->addButton(QStringLiteral("沪深A股"));

        QCOMPARE(bar->count(), 3);
        QCOMPARE(multi->id(), 30);
        QCOMPARE(leaf->id(), 32);
        QCOMPARE(bar->buttonByRootText(QStringLiteral("A股分类")), boards);
        QVERIFY(!bar->buttonByRootText(QStringLiteral("不存在")));
        QCOMPARE(bar->buttonById(31), boards);
        QStringList texts;
        for (QAction* a : boards->items())
            texts << a->text();
        QCOMPARE(texts, (QStringList{"上证A股", "深证A股"}));
        QVERIFY(multi->items().at(1)->isChecked());
        QVERIFY(!leaf->hasItems());

        // a nested item becomes the current text and is announced with the button's id
        QVERIFY(boards->chooseItem(QStringLiteral("深证A股")));
        QCOMPARE(boards->curText(), QStringLiteral("深证A股"));
        QCOMPARE(bar->currentButton(), boards);
        // a command item leaves the text alone and navigates
        QVERIFY(multi->chooseItem(QStringLiteral("3 x 3")));
        QCOMPARE(multi->shownText(), QStringLiteral("多股查看"));
        QVERIFY(!multi->chooseItem(QStringLiteral("9 x 9")));
        leaf->click();
        QCOMPARE(bar->currentButton(), leaf);
        QCOMPARE(panel.events.size(), 3);
        QCOMPARE(panel.events.at(0).id, 5);
        QCOMPARE(panel.events.at(0).a, 31);
        QCOMPARE(panel.events.at(0).text, QStringLiteral("深证A股"));
        QCOMPARE(panel.events.at(1).id, 3081);
        QCOMPARE(panel.events.at(1).a, 1);
        QCOMPARE(panel.events.at(2).a, 32);
        QCOMPARE(panel.events.at(2).text, QStringLiteral("沪深A股"));

        // rebuilding a drop-down drops its groups too
        boards->clearMenu();
        QVERIFY(!boards->hasItems());
        QVERIFY(boards->menu()->findChildren<QMenu*>().isEmpty());
        boards->addItem(QStringLiteral("科创板"));
        QCOMPARE(boards->items().size(), 1);
        bar->clear();
        QCOMPARE(bar->count(), 0);
        QVERIFY(!bar->currentButton());
    }

    // Buttons keep their text's width; a bar too narrow for them scrolls instead of
    // squeezing, and the current button is brought into view.
    void widthsAndScrolling()
    {
        Panel panel;
        auto* bar = new CPushButtonTabControl(&panel);
        for (int i = 0; i < 22; ++i)
            bar->addButton(QStringLiteral("板块%1").arg(i));
        CCombinPushButton* shortOne = bar->buttons().at(0);
        CCombinPushButton* longOne = bar->buttons().at(1);
        longOne->setCurText(QStringLiteral("上海证券交易所科创板成份股"));
        const QFontMetrics fm(shortOne->font());
        QCOMPARE(longOne->sizeHint().width() - shortOne->sizeHint().width(),
                 fm.horizontalAdvance(longOne->shownText())
                     - fm.horizontalAdvance(shortOne->shownText()));
        QVERIFY(shortOne->sizeHint().width() > fm.horizontalAdvance(shortOne->shownText()));

        // wide enough: nothing scrolls, every button has its full width
        panel.resize(bar->sizeHint().width() + 10, 30);
        bar->resize(panel.width(), 24);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QVERIFY(!bar->isOverflowing());
        for (CCombinPushButton* b : bar->buttons())
            QCOMPARE(b->width(), b->sizeHint().width());

        // narrow: still full widths, scrolled with the arrows or the wheel
        bar->resize(300, 24);
        QVERIFY(bar->isOverflowing());
        for (CCombinPushButton* b : bar->buttons())
            QCOMPARE(b->width(), b->sizeHint().width());
        QCOMPARE(bar->scrollOffset(), 0);
        const auto shown = [bar](CCombinPushButton* b) {
            const QRect r = b->geometry();
            return r.left() >= 0 && r.right() < b->parentWidget()->width();
        };
        QVERIFY(!shown(bar->buttons().last()));
        bar->scrollRight();
        const int oneStep = bar->scrollOffset();
        QVERIFY(oneStep > 0);
        QWheelEvent wheel(QPointF(10, 10), QPointF(bar->mapToGlobal(QPoint(10, 10))), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &wheel);
        QVERIFY(bar->scrollOffset() > oneStep);
        bar->scrollLeft();
        bar->scrollLeft();
        QCOMPARE(bar->scrollOffset(), 0);

        // the current button, set or clicked, comes into view in full
        CCombinPushButton* last = bar->buttons().last();
        bar->setCurrentButton(last);
        QVERIFY(shown(last));
        shortOne->click();
        QCOMPARE(bar->scrollOffset(), 0);
        QVERIFY(shown(shortOne));

        // a longer current text re-lays the strip out
        const int before = bar->buttons().at(2)->x();
        const int oldWidth = shortOne->width();
        shortOne->setCurText(QStringLiteral("沪深300成份股与中证500成份股"));
        QTRY_COMPARE(shortOne->width(), shortOne->sizeHint().width());
        QCOMPARE(bar->buttons().at(2)->x(), before + shortOne->width() - oldWidth);
    }
};

QTEST_MAIN(TestSectorBar)
#include "tst_sectorbar.moc"

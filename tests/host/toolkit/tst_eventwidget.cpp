#include "host/toolkit/CheckBox.h"
#include "host/toolkit/ComboBox.h"
#include "host/toolkit/CommonDialog.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/PushButtonGroup.h"
#include "host/toolkit/RadioButtonGroup.h"
#include "host/toolkit/SearchTextLineEdit.h"
#include "host/toolkit/StyleSheetCenter.h"

#include <QtTest/QtTest>
#include <QtWidgets/QRadioButton>

using namespace XP;

namespace {

struct Received {
    QObject* sender;
    int id, a, b;
    QString text;
    void* p;
};

// Records every event the sink gets; answers with `answer`.
struct SinkRecorder {
    QList<Received> events;
    bool answer = false;
    SinkRecorder()
    {
        CEventSink::setHandler([this](QObject* s, int id, int a, int b, const QString& t, void* p) {
            events.append(Received{s, id, a, b, t, p});
            return answer;
        });
    }
    ~SinkRecorder() { CEventSink::clearHandler(); }
};

// Consumes the ids in `consume`, records every event it sees.
class Node : public CBaseWidget {
public:
    explicit Node(QWidget* parent, QSet<int> consume = {}) : CBaseWidget(parent), m_consume(consume)
    {
    }
    bool handleEvent(int id, int a, int b, const QString& text, void* p) override
    {
        seen.append(id);
        if (m_consume.contains(id))
            return true;
        return CBaseWidget::handleEvent(id, a, b, text, p);
    }
    QList<int> seen;
    int themeCalls = 0;
    void themeChanged() override { ++themeCalls; }

private:
    QSet<int> m_consume;
};

// Deletes another handler when told of a theme change.
class Killer : public CUiResourceChangeHandler {
public:
    CUiResourceChangeHandler* victim = nullptr;
    void themeChanged() override
    {
        delete victim;
        victim = nullptr;
    }
};

class Counter : public CUiResourceChangeHandler {
public:
    int* calls;
    explicit Counter(int* c) : calls(c) {}
    void themeChanged() override { ++*calls; }
};

} // namespace

class tst_EventWidget : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void routesToFirstConsumingAncestor()
    {
        SinkRecorder sink;
        Node root(nullptr, {47});
        Node* mid = new Node(&root, {47});
        Node* leaf = new Node(mid);
        QVERIFY(leaf->deliverEvent(47, 1, 2, QStringLiteral("k")));
        QCOMPARE(mid->seen, QList<int>{47});
        QVERIFY(root.seen.isEmpty());
        QVERIFY(sink.events.isEmpty());
    }

    void skipsSenderItself()
    {
        SinkRecorder sink;
        Node root(nullptr, {5});
        Node* leaf = new Node(&root, {5});
        QVERIFY(leaf->deliverEvent(5));
        QVERIFY(leaf->seen.isEmpty());
        QCOMPARE(root.seen, QList<int>{5});
    }

    void unconsumedReachesSink()
    {
        SinkRecorder sink;
        sink.answer = true;
        Node root(nullptr);
        Node* leaf = new Node(&root);
        int payload = 7;
        QVERIFY(leaf->deliverEvent(3083, 4, 0, QStringLiteral("SH600000"), &payload));
        QCOMPARE(root.seen, QList<int>{3083});
        QCOMPARE(sink.events.size(), 1);
        QCOMPARE(sink.events[0].sender, static_cast<QObject*>(leaf));
        QCOMPARE(sink.events[0].id, 3083);
        QCOMPARE(sink.events[0].a, 4);
        QCOMPARE(sink.events[0].text, QStringLiteral("SH600000"));
        QCOMPARE(sink.events[0].p, static_cast<void*>(&payload));
        sink.answer = false;
        QVERIFY(!leaf->deliverEvent(3083));
    }

    void noSinkHandlerGivesFalse()
    {
        CEventSink::clearHandler();
        Node root(nullptr);
        Node* leaf = new Node(&root);
        QVERIFY(!leaf->deliverEvent(1));
    }

    void plainQWidgetInChainIsSkipped()
    {
        SinkRecorder sink;
        Node root(nullptr, {49});
        auto* plain = new QWidget(&root);
        Node* leaf = new Node(plain);
        QVERIFY(leaf->deliverEvent(49));
        QCOMPARE(root.seen, QList<int>{49});
    }

    void themeChangedReachesLiveHandlers()
    {
        const int before = CUiResourceChangeHandler::liveCount();
        {
            Node a(nullptr), b(nullptr);
            QCOMPARE(CUiResourceChangeHandler::liveCount(), before + 2);
            CUiResourceChangeHandler::notifyAll();
            QCOMPARE(a.themeCalls, 1);
            QCOMPARE(b.themeCalls, 1);
        }
        QCOMPARE(CUiResourceChangeHandler::liveCount(), before);
    }

    void handlerDeletedDuringNotifyIsSkipped()
    {
        int calls = 0;
        Killer killer; // created first, so told first
        killer.victim = new Counter(&calls);
        CUiResourceChangeHandler::notifyAll();
        QCOMPARE(calls, 0);
        QVERIFY(!killer.victim);
    }

    void pushButtonSendsFive()
    {
        SinkRecorder sink;
        Node root(nullptr);
        auto* b = new CPushButton(12, QStringLiteral("涨跌幅"), &root);
        b->click();
        QCOMPARE(root.seen, QList<int>{5});
        QCOMPARE(sink.events.size(), 1);
        QCOMPARE(sink.events[0].a, 12);
        QCOMPARE(sink.events[0].text, QStringLiteral("涨跌幅"));
    }

    void buttonGroupChecksAndPassesOn()
    {
        SinkRecorder sink;
        Node root(nullptr, {5});
        auto* group = new CPushButtonGroup(&root);
        group->setCheckable(true);
        group->addButton(1, QStringLiteral("可转债"), 80, 22);
        group->addButton(2, QStringLiteral("未上市新债"), 80, 22);
        group->setChecked(1);
        QCOMPARE(group->checkedId(), 1);
        group->button(2)->click();
        QCOMPARE(group->checkedId(), 2);
        QVERIFY(!group->button(1)->isChecked());
        QCOMPARE(root.seen, QList<int>{5});
    }

    void checkBoxSendsSixtySeven()
    {
        SinkRecorder sink;
        Node root(nullptr);
        auto* box = new CCheckBox(0, QStringLiteral("是否统计"), &root);
        box->setChecked(true);
        box->setChecked(false);
        QCOMPARE(sink.events.size(), 2);
        QCOMPARE(sink.events[0].id, 67);
        QCOMPARE(sink.events[0].a, 0);
        QCOMPARE(sink.events[0].b, 1);
        QCOMPARE(sink.events[1].b, 0);
    }

    void comboSendsSeventyOne()
    {
        SinkRecorder sink;
        Node root(nullptr);
        auto* combo = new CComboBox(9, &root);
        combo->addItems({QStringLiteral("a"), QStringLiteral("b")}); // first item becomes current
        combo->setCurrentIndex(1);
        QVERIFY(!sink.events.isEmpty());
        const Received& last = sink.events.last();
        QCOMPARE(last.id, 71);
        QCOMPARE(last.a, 9);
        QCOMPARE(last.b, 1);
        QCOMPARE(last.text, QStringLiteral("b"));
    }

    void radioGroupSendsNinetyFour()
    {
        SinkRecorder sink;
        Node root(nullptr);
        auto* group = new CRadioButtonGroup(&root);
        group->addButton(1, QStringLiteral("求和"));
        group->addButton(2, QStringLiteral("求平均值"));
        group->setChecked(1);
        group->setChecked(2);
        QCOMPARE(group->checkedId(), 2);
        QCOMPARE(sink.events.size(), 2);
        QCOMPARE(sink.events[1].id, 94);
        QCOMPARE(sink.events[1].a, 2);
        QCOMPARE(sink.events[1].text, QStringLiteral("求平均值"));
    }

    void searchEditSendsOneSixtyThree()
    {
        SinkRecorder sink;
        Node root(nullptr);
        auto* edit = new CSearchTextLineEdit(&root);
        QSignalSpy spy(edit, &CSearchTextLineEdit::sigTextChanged);
        edit->setText(QStringLiteral("60"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(sink.events.size(), 1);
        QCOMPARE(sink.events[0].id, 163);
        QCOMPARE(sink.events[0].text, QStringLiteral("60"));
    }

    void dialogCloseButtonRejects()
    {
        SinkRecorder sink;
        CCommonDialog dialog(nullptr, QStringLiteral("统计设置"));
        QSignalSpy rejected(&dialog, &QDialog::rejected);
        dialog.show();
        auto buttons = dialog.findChildren<CPushButton*>();
        QCOMPARE(buttons.size(), 1);
        buttons[0]->click();
        QCOMPARE(rejected.count(), 1);
        QVERIFY(sink.events.isEmpty());
    }

    void keyCharOrNum_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("expected");
        QTest::newRow("A") << int(Qt::Key_A) << true;
        QTest::newRow("Z") << int(Qt::Key_Z) << true;
        QTest::newRow("0") << int(Qt::Key_0) << true;
        QTest::newRow("9") << int(Qt::Key_9) << true;
        QTest::newRow("space") << int(Qt::Key_Space) << false;
        QTest::newRow("return") << int(Qt::Key_Return) << false;
        QTest::newRow("F1") << int(Qt::Key_F1) << false;
    }

    void keyCharOrNum()
    {
        QFETCH(int, key);
        QFETCH(bool, expected);
        QCOMPARE(isKeyCharOrNum(key), expected);
    }
};

QTEST_MAIN(tst_EventWidget)
#include "tst_eventwidget.moc"

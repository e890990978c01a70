// The host's thin scroll bar: slider geometry, mouse and wheel, and event 17 upward.
#include "host/widgets/CIndexScrollBar.h"

#include <QtTest>

using namespace TC;

namespace {

// Keeps every event its children deliver.
class Owner final : public XP::CBaseWidget {
public:
    struct Event {
        int id, a;
    };
    std::vector<Event> events;
    bool handleEvent(int id, int a, int b, const QString& text, void* p) override
    {
        events.push_back({id, a});
        return true;
    }
};

// A drag step with the left button held (QTest's mouseMove only moves the cursor).
void dragTo(QWidget* w, const QPoint& pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
}

} // namespace

class TstIndexScrollBar : public QObject {
    Q_OBJECT
    Owner* m_owner = nullptr;
    CIndexScrollBar* m_bar = nullptr;

private Q_SLOTS:
    void init()
    {
        m_owner = new Owner;
        m_owner->resize(50, 300);
        m_bar = new CIndexScrollBar(Qt::Vertical, m_owner);
        m_bar->setGeometry(40, 0, 6, 200);
        m_bar->setRange(0, 300);
        m_bar->setPageStep(100);
        m_bar->setSingleStep(50);
        m_owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_owner));
    }
    void cleanup()
    {
        delete m_owner;
        m_owner = nullptr;
    }

    void valueChangesReachTheOwnerAsEvent17()
    {
        m_bar->setValue(120);
        m_bar->setValue(120);  // no change, no event
        m_bar->setValue(1000); // clamped to the maximum
        QCOMPARE(m_owner->events.size(), size_t(2));
        QCOMPARE(m_owner->events[0].id, 17);
        QCOMPARE(m_owner->events[0].a, 120);
        QCOMPARE(m_owner->events[1].a, 300);
    }

    void sliderLengthAndPlaceFollowTheRange_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::addColumn<QRect>("slider");
        // page 100 of a 400 document in 200 pixels: 50 pixels
        QTest::newRow("top") << 300 << 0 << QRect(0, 0, 6, 50);
        QTest::newRow("middle") << 300 << 150 << QRect(0, 75, 6, 50);
        QTest::newRow("end") << 300 << 300 << QRect(0, 150, 6, 50);
        // a long list keeps a grabbable slider
        QTest::newRow("long list") << 100000 << 100000 << QRect(0, 184, 6, 16);
        QTest::newRow("nothing to scroll") << 0 << 0 << QRect(0, 0, 6, 200);
    }
    void sliderLengthAndPlaceFollowTheRange()
    {
        QFETCH(int, maximum);
        QFETCH(int, value);
        QFETCH(QRect, slider);
        m_bar->setMaximum(maximum);
        m_bar->setValue(value);
        QCOMPARE(m_bar->sliderRect(), slider);
    }

    void grooveClicksPageAndDragsFollowTheMouse()
    {
        QTest::mouseClick(m_bar, Qt::LeftButton, Qt::NoModifier, QPoint(3, 150));
        QCOMPARE(m_bar->value(), 100); // one page towards the press
        QTest::mouseClick(m_bar, Qt::LeftButton, Qt::NoModifier, QPoint(3, 2));
        QCOMPARE(m_bar->value(), 0);

        // grab the slider in its middle and pull it to the bottom
        QTest::mousePress(m_bar, Qt::LeftButton, Qt::NoModifier, QPoint(3, 25));
        dragTo(m_bar, QPoint(3, 100));
        QCOMPARE(m_bar->value(), 150);
        dragTo(m_bar, QPoint(3, 400));
        QCOMPARE(m_bar->value(), 300);
        QTest::mouseRelease(m_bar, Qt::LeftButton, Qt::NoModifier, QPoint(3, 400));
        QVERIFY(!m_bar->isSliderDown());
        QCOMPARE(m_owner->events.back().a, 300);
    }

    void wheelScrollsTowardsTheTurnAtMostAPage_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("down") << 0 << -120 << 100 << true; // 3 lines of 50, capped at a page
        QTest::newRow("up") << 300 << 120 << 200 << true;
        QTest::newRow("up at the top") << 0 << 120 << 0 << false;
        QTest::newRow("down at the end") << 300 << -120 << 300 << false;
    }
    void wheelScrollsTowardsTheTurnAtMostAPage()
    {
        QFETCH(int, start);
        QFETCH(int, delta);
        QFETCH(int, value);
        QFETCH(bool, accepted);
        m_bar->setValue(start);
        QWheelEvent wheel(QPointF(3, 50), QPointF(m_bar->mapToGlobal(QPoint(3, 50))), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_bar, &wheel);
        QCOMPARE(m_bar->value(), value);
        QCOMPARE(wheel.isAccepted(), accepted);
    }
};

QTEST_MAIN(TstIndexScrollBar)
#include "tst_indexscrollbar.moc"

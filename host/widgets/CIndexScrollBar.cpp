#include "host/widgets/CIndexScrollBar.h"

#include "host/toolkit/UiResource.h"

#include <QtGui/QColor>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>

#include <algorithm>

namespace TC {

namespace {
constexpr int kMinSlider = 16; // keeps the slider grabbable on long lists

QColor colorOf(const char* key, const QColor& fallback)
{
    const QColor* c = XP::CUiResource::instance().getColor(QLatin1String(key));
    return c ? *c : fallback;
}
} // namespace

CIndexScrollBar::CIndexScrollBar(Qt::Orientation orientation, QWidget* parent)
    : XP::CEventWidgetT<QAbstractSlider>(parent)
{
    setOrientation(orientation);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    connect(this, &QAbstractSlider::valueChanged, this,
            [this](int value) { deliverEvent(Event_ValueChanged, value, 0); });
}

CIndexScrollBar::~CIndexScrollBar() = default;

QSize CIndexScrollBar::sizeHint() const
{
    return orientation() == Qt::Vertical ? QSize(6, 100) : QSize(100, 6);
}

void CIndexScrollBar::themeChanged()
{
    update();
}

int CIndexScrollBar::grooveLength() const
{
    return orientation() == Qt::Vertical ? height() : width();
}

int CIndexScrollBar::sliderLength() const
{
    const int groove = grooveLength();
    const qint64 range = qint64(maximum()) - minimum();
    const qint64 total = range + pageStep();
    if (total <= 0)
        return groove;
    const qint64 len = qint64(groove) * pageStep() / total;
    return int(std::min<qint64>(groove, std::max<qint64>(std::min(kMinSlider, groove), len)));
}

QRect CIndexScrollBar::sliderRect() const
{
    const int groove = grooveLength();
    const int len = sliderLength();
    const qint64 range = qint64(maximum()) - minimum();
    const int pos =
        range > 0 ? int(qint64(groove - len) * (qint64(sliderPosition()) - minimum()) / range) : 0;
    return orientation() == Qt::Vertical ? QRect(0, pos, width(), len)
                                         : QRect(pos, 0, len, height());
}

int CIndexScrollBar::along(const QPoint& p) const
{
    return orientation() == Qt::Vertical ? p.y() : p.x();
}

void CIndexScrollBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), colorOf("ic_clr_scrollbar_background", QColor(15, 15, 15)));
    if (maximum() <= minimum())
        return;
    const char* key = m_nDragOffset >= 0 ? "ic_clr_scrollbar_press"
                      : m_bHover         ? "ic_clr_scrollbar_hover"
                                         : "ic_clr_scrollbar_normal";
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(colorOf(key, QColor(60, 60, 60)));
    const QRect slider = sliderRect();
    const qreal radius = std::min(slider.width(), slider.height()) / 2.0;
    p.drawRoundedRect(QRectF(slider), radius, radius);
}

void CIndexScrollBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || maximum() <= minimum()) {
        event->ignore();
        return;
    }
    const QRect slider = sliderRect();
    const int at = along(event->pos());
    const int start = orientation() == Qt::Vertical ? slider.top() : slider.left();
    if (slider.contains(event->pos())) {
        m_nDragOffset = at - start;
        setSliderDown(true);
    } else {
        // the groove pages towards the press
        triggerAction(at < start ? SliderPageStepSub : SliderPageStepAdd);
    }
    update();
    event->accept();
}

void CIndexScrollBar::mouseMoveEvent(QMouseEvent* event)
{
    const bool hover = sliderRect().contains(event->pos());
    if (hover != m_bHover) {
        m_bHover = hover;
        update();
    }
    if (m_nDragOffset < 0)
        return;
    const int span = grooveLength() - sliderLength();
    const qint64 range = qint64(maximum()) - minimum();
    if (span <= 0 || range <= 0)
        return;
    const int pos = std::max(0, std::min(span, along(event->pos()) - m_nDragOffset));
    setSliderPosition(int(minimum() + (qint64(pos) * range + span / 2) / span));
}

void CIndexScrollBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_nDragOffset >= 0) {
        m_nDragOffset = -1;
        setSliderDown(false);
        update();
    }
    event->accept();
}

void CIndexScrollBar::wheelEvent(QWheelEvent* event)
{
    // a turn away from the user scrolls down, as in every scroll bar, at most a page
    const QPoint angle = event->angleDelta();
    const int delta = orientation() == Qt::Vertical || angle.x() == 0 ? angle.y() : angle.x();
    m_dWheelRest += -delta / 120.0 * QApplication::wheelScrollLines() * singleStep();
    const int steps =
        int(std::max<double>(-pageStep(), std::min<double>(pageStep(), m_dWheelRest)));
    m_dWheelRest -= steps;
    const int before = value();
    setValue(value() + steps);
    if (value() == before)
        m_dWheelRest = 0.0;
    event->setAccepted(value() != before);
}

void CIndexScrollBar::leaveEvent(QEvent*)
{
    if (m_bHover) {
        m_bHover = false;
        update();
    }
}

} // namespace TC

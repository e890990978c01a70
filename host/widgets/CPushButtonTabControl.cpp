#include "host/widgets/CPushButtonTabControl.h"

#include "host/toolkit/Menu.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/UiResource.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <functional>

namespace TC {

namespace {
QColor colorOf(const char* key, const QColor& fallback)
{
    const QColor* c = XP::CUiResource::instance().getColor(QString::fromLatin1(key));
    return c ? *c : fallback;
}

constexpr int kBarHeight = 24;
constexpr int kSpacing = 1;
constexpr int kScrollerWidth = 16;
} // namespace

CCombinPushButton::CCombinPushButton(int id, const QString& rootText, QWidget* parent)
    : XP::CBaseWidget(parent), m_nId(id), m_qsRoot(rootText)
{
    setFixedHeight(kBarHeight);
    setCursor(Qt::PointingHandCursor);
    measureText();
}

CCombinPushButton::~CCombinPushButton() = default;

void CCombinPushButton::setCurText(const QString& text)
{
    if (text == m_qsCur)
        return;
    m_qsCur = text;
    measureText();
    updateGeometry();
    update();
}

void CCombinPushButton::measureText()
{
    m_nTextWidth = fontMetrics().horizontalAdvance(shownText());
}

void CCombinPushButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        measureText();
        updateGeometry();
    }
    XP::CBaseWidget::changeEvent(event);
}

void CCombinPushButton::setImageKey(const QString& key)
{
    m_qsImageKey = key;
    update();
}

void CCombinPushButton::setActive(bool on)
{
    m_bActive = on;
    update();
}

XP::CMenu* CCombinPushButton::menu()
{
    if (!m_pMenu) {
        m_pMenu = new XP::CMenu(m_qsRoot, this);
        connect(m_pMenu, &QMenu::triggered, this, &CCombinPushButton::onItem);
    }
    return m_pMenu;
}

bool CCombinPushButton::hasItems() const
{
    return m_pMenu && !m_pMenu->actions().isEmpty();
}

void CCombinPushButton::clearMenu()
{
    if (!m_pMenu)
        return;
    // groups are children of the menu: clear() leaves them, so delete them with it
    const QList<QMenu*> groups =
        m_pMenu->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
    m_pMenu->clear();
    qDeleteAll(groups);
    updateGeometry();
    update();
}

QAction* CCombinPushButton::addItem(const QString& text, int itemId, QMenu* group, bool marked)
{
    QMenu* into = group ? group : menu();
    QAction* action = into->addAction(text);
    action->setData(itemId);
    if (marked) {
        action->setCheckable(true);
        action->setChecked(true);
    }
    updateGeometry(); // the first item adds the drop-down arrow
    update();
    return action;
}

QMenu* CCombinPushButton::addGroup(const QString& name, QMenu* group)
{
    QMenu* into = group ? group : menu();
    auto* sub = new XP::CMenu(name, into);
    into->addMenu(sub);
    updateGeometry();
    update();
    return sub; // triggered() of a submenu reaches the top menu
}

QList<QAction*> CCombinPushButton::items() const
{
    QList<QAction*> out;
    std::function<void(const QMenu*)> walk = [&](const QMenu* m) {
        for (QAction* a : m->actions()) {
            if (a->menu())
                walk(a->menu());
            else if (!a->isSeparator())
                out.append(a);
        }
    };
    if (m_pMenu)
        walk(m_pMenu);
    return out;
}

bool CCombinPushButton::chooseItem(const QString& text)
{
    for (QAction* a : items())
        if (a->text() == text) {
            onItem(a);
            return true;
        }
    return false;
}

void CCombinPushButton::click()
{
    deliverEvent(XP::EV_BUTTON_CLICKED, m_nId, 0, shownText());
}

void CCombinPushButton::onItem(QAction* action)
{
    if (!action)
        return;
    const int itemId = action->data().isValid() ? action->data().toInt() : -1;
    const QString text = action->text();
    if (itemId >= 0) {
        deliverEvent(eEvNavigate, itemId, 0, text);
        return;
    }
    setCurText(text);
    deliverEvent(XP::EV_BUTTON_CLICKED, m_nId, 0, text);
}

int CCombinPushButton::arrowWidth() const
{
    return hasItems() ? 14 : 0;
}

QSize CCombinPushButton::sizeHint() const
{
    return {m_nTextWidth + 20 + arrowWidth(), kBarHeight};
}

void CCombinPushButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_bActive ? colorOf("tc_clr_sector_bar_active_bg", QColor(0x33, 0x3a, 0x4a))
                                 : colorOf("tc_clr_sector_bar_bg", QColor(0x1e, 0x22, 0x2c)));
    p.setPen(m_bActive ? colorOf("tc_clr_sector_bar_active_txt", QColor(0xff, 0xc0, 0x40))
                       : colorOf("tc_clr_sector_bar_txt", QColor(0xd0, 0xd0, 0xd0)));
    const QRect textRect = rect().adjusted(0, 0, -arrowWidth(), 0);
    p.drawText(textRect, Qt::AlignCenter, shownText());
    if (arrowWidth() > 0) {
        const int x = width() - arrowWidth() / 2 - 3, y = height() / 2 - 1;
        QPainterPath arrow;
        arrow.moveTo(x, y);
        arrow.lineTo(x + 6, y);
        arrow.lineTo(x + 3, y + 3);
        arrow.closeSubpath();
        p.fillPath(arrow, p.pen().color());
    }
}

void CCombinPushButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        XP::CBaseWidget::mousePressEvent(event);
        return;
    }
    // the arrow (or a button whose own text means nothing) opens the drop-down
    if (hasItems() && (event->pos().x() >= width() - arrowWidth() || m_qsCur.isEmpty()))
        m_pMenu->popup(mapToGlobal(QPoint(0, height())));
    else
        click();
}

CPushButtonTabControl::CPushButtonTabControl(QWidget* parent)
    : XP::CBaseWidget(parent), m_pViewport(new QWidget(this)), m_pLeft(new QToolButton(this)),
      m_pRight(new QToolButton(this))
{
    setFixedHeight(kBarHeight);
    setAutoFillBackground(true);
    themeChanged();
    // buttons report width changes to their parent; the viewport has no layout to take them
    m_pViewport->installEventFilter(this);
    const auto setUp = [this](QToolButton* b, Qt::ArrowType arrow) {
        b->setArrowType(arrow);
        b->setAutoRaise(true);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->hide();
    };
    setUp(m_pLeft, Qt::LeftArrow);
    setUp(m_pRight, Qt::RightArrow);
    connect(m_pLeft, &QToolButton::clicked, this, &CPushButtonTabControl::scrollLeft);
    connect(m_pRight, &QToolButton::clicked, this, &CPushButtonTabControl::scrollRight);
}

CPushButtonTabControl::~CPushButtonTabControl() = default;

void CPushButtonTabControl::clear()
{
    qDeleteAll(m_buttons);
    m_buttons.clear();
    m_nOffset = 0;
    relayout();
}

CCombinPushButton* CPushButtonTabControl::addButton(const QString& rootText,
                                                    const QString& imageKey)
{
    auto* b = new CCombinPushButton(kFirstId + m_buttons.size(), rootText, m_pViewport);
    b->setImageKey(imageKey);
    b->show();
    m_buttons.append(b);
    relayout();
    return b;
}

CCombinPushButton* CPushButtonTabControl::buttonById(int id) const
{
    for (CCombinPushButton* b : m_buttons)
        if (b->id() == id)
            return b;
    return nullptr;
}

CCombinPushButton* CPushButtonTabControl::buttonByRootText(const QString& rootText) const
{
    for (CCombinPushButton* b : m_buttons)
        if (b->rootText() == rootText)
            return b;
    return nullptr;
}

void CPushButtonTabControl::setCurrentButton(CCombinPushButton* button)
{
    for (CCombinPushButton* b : m_buttons)
        b->setActive(b == button);
    ensureVisible(button);
}

CCombinPushButton* CPushButtonTabControl::currentButton() const
{
    for (CCombinPushButton* b : m_buttons)
        if (b->isActive())
            return b;
    return nullptr;
}

bool CPushButtonTabControl::handleEvent(int id, int a, int b, const QString& text, void* p)
{
    if (id == XP::EV_BUTTON_CLICKED)
        if (CCombinPushButton* button = buttonById(a))
            setCurrentButton(button);
    return XP::CBaseWidget::handleEvent(id, a, b, text, p);
}

void CPushButtonTabControl::themeChanged()
{
    // the bar shows through the gaps and behind the scroll arrows
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colorOf("tc_clr_sector_bar_bg", QColor(0x1e, 0x22, 0x2c)));
    pal.setColor(QPalette::Button, pal.color(QPalette::Window));
    pal.setColor(QPalette::ButtonText, colorOf("tc_clr_sector_bar_txt", QColor(0xd0, 0xd0, 0xd0)));
    setPalette(pal);
    XP::CBaseWidget::themeChanged();
}

int CPushButtonTabControl::stripWidth() const
{
    int w = 0;
    for (const CCombinPushButton* b : m_buttons)
        w += b->sizeHint().width() + kSpacing;
    return std::max(0, w - kSpacing);
}

int CPushButtonTabControl::viewportWidth() const
{
    return isOverflowing() ? std::max(0, width() - 2 * kScrollerWidth) : width();
}

bool CPushButtonTabControl::isOverflowing() const
{
    return stripWidth() > width();
}

QSize CPushButtonTabControl::sizeHint() const
{
    return {stripWidth(), kBarHeight};
}

QSize CPushButtonTabControl::minimumSizeHint() const
{
    // never the strip's width: a narrow window scrolls the bar instead
    return {2 * kScrollerWidth, kBarHeight};
}

void CPushButtonTabControl::setOffset(int offset)
{
    const int most = std::max(0, stripWidth() - viewportWidth());
    offset = std::clamp(offset, 0, most);
    if (offset == m_nOffset)
        return;
    m_nOffset = offset;
    relayout();
}

void CPushButtonTabControl::ensureVisible(CCombinPushButton* button)
{
    if (!button || !isOverflowing())
        return;
    int x = 0;
    for (const CCombinPushButton* b : m_buttons) {
        const int w = b->sizeHint().width();
        if (b == button) {
            if (x < m_nOffset)
                setOffset(x);
            else if (x + w > m_nOffset + viewportWidth())
                setOffset(x + w - viewportWidth());
            return;
        }
        x += w + kSpacing;
    }
}

void CPushButtonTabControl::scrollLeft()
{
    // the last button starting left of the shown part
    int x = 0, target = 0;
    for (const CCombinPushButton* b : m_buttons) {
        if (x >= m_nOffset)
            break;
        target = x;
        x += b->sizeHint().width() + kSpacing;
    }
    setOffset(target);
}

void CPushButtonTabControl::scrollRight()
{
    // the first button ending right of the shown part
    const int edge = m_nOffset + viewportWidth();
    int x = 0;
    for (const CCombinPushButton* b : m_buttons) {
        x += b->sizeHint().width();
        if (x > edge) {
            setOffset(x - viewportWidth());
            return;
        }
        x += kSpacing;
    }
}

void CPushButtonTabControl::relayout()
{
    const bool over = isOverflowing();
    const int h = height();
    const int vw = viewportWidth();
    m_pViewport->setGeometry(0, 0, vw, h);
    m_nOffset = std::clamp(m_nOffset, 0, std::max(0, stripWidth() - vw));
    int x = -m_nOffset;
    for (CCombinPushButton* b : m_buttons) {
        const int w = b->sizeHint().width();
        b->setGeometry(x, 0, w, h);
        x += w + kSpacing;
    }
    m_pLeft->setVisible(over);
    m_pRight->setVisible(over);
    if (over) {
        m_pLeft->setGeometry(vw, 0, kScrollerWidth, h);
        m_pRight->setGeometry(vw + kScrollerWidth, 0, kScrollerWidth, h);
        m_pLeft->setEnabled(m_nOffset > 0);
        m_pRight->setEnabled(m_nOffset + vw < stripWidth());
    }
}

bool CPushButtonTabControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pViewport && event->type() == QEvent::LayoutRequest) {
        relayout();
        updateGeometry();
    }
    return XP::CBaseWidget::eventFilter(watched, event);
}

void CPushButtonTabControl::resizeEvent(QResizeEvent* event)
{
    XP::CBaseWidget::resizeEvent(event);
    relayout();
    ensureVisible(currentButton());
}

void CPushButtonTabControl::showEvent(QShowEvent* event)
{
    XP::CBaseWidget::showEvent(event);
    // widths may have changed while hidden, when no layout requests are posted
    relayout();
    ensureVisible(currentButton());
}

void CPushButtonTabControl::wheelEvent(QWheelEvent* event)
{
    if (!isOverflowing()) {
        event->ignore();
        return;
    }
    const QPoint d = event->angleDelta();
    const int delta = d.y() != 0 ? d.y() : d.x();
    if (delta < 0)
        scrollRight();
    else if (delta > 0)
        scrollLeft();
    event->accept();
}

} // namespace TC

#include "host/widgets/CPushButtonTabControl.h"

#include "host/toolkit/Menu.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/UiResource.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace TC {

namespace {
QColor colorOf(const char* key, const QColor& fallback)
{
    const QColor* c = XP::CUiResource::instance().getColor(QString::fromLatin1(key));
    return c ? *c : fallback;
}
} // namespace

CCombinPushButton::CCombinPushButton(int id, const QString& rootText, QWidget* parent)
    : XP::CBaseWidget(parent), m_nId(id), m_qsRoot(rootText)
{
    setFixedHeight(24);
    setCursor(Qt::PointingHandCursor);
}

CCombinPushButton::~CCombinPushButton() = default;

void CCombinPushButton::setCurText(const QString& text)
{
    m_qsCur = text;
    updateGeometry();
    update();
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
    update();
    return action;
}

QMenu* CCombinPushButton::addGroup(const QString& name, QMenu* group)
{
    QMenu* into = group ? group : menu();
    auto* sub = new XP::CMenu(name, into);
    into->addMenu(sub);
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
    return {fontMetrics().horizontalAdvance(shownText()) + 20 + arrowWidth(), 24};
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
    : XP::CBaseWidget(parent), m_pLayout(new QHBoxLayout(this))
{
    m_pLayout->setContentsMargins(0, 0, 0, 0);
    m_pLayout->setSpacing(1);
    m_pLayout->addStretch();
    setFixedHeight(24);
}

CPushButtonTabControl::~CPushButtonTabControl() = default;

void CPushButtonTabControl::clear()
{
    qDeleteAll(m_buttons);
    m_buttons.clear();
}

CCombinPushButton* CPushButtonTabControl::addButton(const QString& rootText,
                                                    const QString& imageKey)
{
    auto* b = new CCombinPushButton(kFirstId + m_buttons.size(), rootText, this);
    b->setImageKey(imageKey);
    m_pLayout->insertWidget(m_buttons.size(), b);
    m_buttons.append(b);
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

} // namespace TC

#include "host/toolkit/PushButtonGroup.h"

#include "host/toolkit/PushButton.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/WidgetBackground.h"

#include <QtWidgets/QBoxLayout>

namespace XP {

CPushButtonGroup::CPushButtonGroup(QWidget* parent, Qt::Orientation orientation)
    : CBaseWidget(parent) {
    m_pLayout = new QBoxLayout(
        orientation == Qt::Horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom, this);
    m_pLayout->setContentsMargins(0, 0, 0, 0);
    m_pLayout->setSpacing(0);
}

CPushButtonGroup::~CPushButtonGroup() = default;

CPushButton* CPushButtonGroup::addButton(int id, const QString& text, int width, int height) {
    if (m_buttons.contains(id))
        removeButton(id);
    auto* b = new CPushButton(id, text, this);
    b->setCheckable(m_bCheckable);
    if (width > 0)
        b->setFixedWidth(width);
    if (height > 0)
        b->setFixedHeight(height);
    if (!m_qsButtonImageKey.isEmpty())
        b->setImageKey(m_qsButtonImageKey);
    if (!m_qsTextKeys[0].isEmpty())
        b->setTextColorKeys(m_qsTextKeys[0], m_qsTextKeys[1], m_qsTextKeys[2], m_qsTextKeys[3]);
    if (!m_qsFontKey.isEmpty())
        b->setFontKey(m_qsFontKey);
    m_pLayout->addWidget(b);
    m_buttons.insert(id, b);
    m_order.append(id);
    return b;
}

void CPushButtonGroup::addSpacing(int size) {
    m_pLayout->addSpacing(size);
}
void CPushButtonGroup::addStretch() {
    m_pLayout->addStretch(1);
}
CPushButton* CPushButtonGroup::button(int id) const {
    return m_buttons.value(id, nullptr);
}
QList<int> CPushButtonGroup::buttonIds() const {
    return m_order;
}

void CPushButtonGroup::removeButton(int id) {
    CPushButton* b = m_buttons.take(id);
    m_order.removeAll(id);
    delete b;
}

void CPushButtonGroup::clear() {
    while (QLayoutItem* item = m_pLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_buttons.clear();
    m_order.clear();
}

void CPushButtonGroup::setCheckable(bool on) {
    m_bCheckable = on;
    for (CPushButton* b : qAsConst(m_buttons))
        b->setCheckable(on);
}

void CPushButtonGroup::setChecked(int id) {
    for (auto it = m_buttons.begin(); it != m_buttons.end(); ++it) {
        if (it.key() == id)
            it.value()->setChecked(true);
        else if (m_bExclusive)
            it.value()->setChecked(false);
    }
}

int CPushButtonGroup::checkedId() const {
    for (int id : m_order)
        if (m_buttons.value(id)->isChecked())
            return id;
    return -1;
}

void CPushButtonGroup::setImageKey(const QString& key) {
    m_qsImageKey = key;
    update();
}

void CPushButtonGroup::setButtonImageKey(const QString& key) {
    m_qsButtonImageKey = key;
    for (CPushButton* b : qAsConst(m_buttons))
        b->setImageKey(key);
}

void CPushButtonGroup::setBackgroundColorKey(const QString& key) {
    m_qsBackKey = key;
    update();
}

void CPushButtonGroup::setButtonTextColorKeys(const QString& normal, const QString& hover,
                                              const QString& press, const QString& disable) {
    m_qsTextKeys[0] = normal;
    m_qsTextKeys[1] = hover;
    m_qsTextKeys[2] = press;
    m_qsTextKeys[3] = disable;
    for (CPushButton* b : qAsConst(m_buttons))
        b->setTextColorKeys(normal, hover, press, disable);
}

void CPushButtonGroup::setButtonFontKey(const QString& key) {
    m_qsFontKey = key;
    for (CPushButton* b : qAsConst(m_buttons))
        b->setFontKey(key);
}

bool CPushButtonGroup::handleEvent(int id, int a, int b, const QString& text, void* p) {
    if (id == EV_BUTTON_CLICKED && m_bCheckable && m_buttons.contains(a))
        setChecked(a);
    return CBaseWidget::handleEvent(id, a, b, text, p);
}

void CPushButtonGroup::themeChanged() {
    update();
}

void CPushButtonGroup::paintEvent(QPaintEvent* event) {
    paintWidgetBackground(this, event, m_qsBackKey, m_qsImageKey);
}

} // namespace XP

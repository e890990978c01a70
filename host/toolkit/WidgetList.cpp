#include "host/toolkit/WidgetList.h"

#include "host/toolkit/WidgetBackground.h"

#include <QtWidgets/QBoxLayout>

namespace XP {

CWidgetList::CWidgetList(QWidget* parent, Qt::Orientation orientation, int spacing)
    : CBaseWidget(parent), m_eOrientation(orientation) {
    m_pLayout = new QBoxLayout(
        orientation == Qt::Horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom, this);
    m_pLayout->setContentsMargins(0, 0, 0, 0);
    m_pLayout->setSpacing(spacing);
}

CWidgetList::~CWidgetList() = default;

void CWidgetList::setSpacing(int spacing) {
    m_pLayout->setSpacing(spacing);
}

void CWidgetList::setMargins(int left, int top, int right, int bottom) {
    m_pLayout->setContentsMargins(left, top, right, bottom);
}

void CWidgetList::addWidget(QWidget* widget, bool stretch, Qt::Alignment alignment) {
    if (widget)
        m_pLayout->addWidget(widget, stretch ? 1 : 0, alignment);
}

void CWidgetList::insertWidget(int index, QWidget* widget, bool stretch) {
    if (widget)
        m_pLayout->insertWidget(index, widget, stretch ? 1 : 0);
}

void CWidgetList::setStretchWidget(QWidget* widget) {
    const int i = m_pLayout->indexOf(widget);
    if (i >= 0)
        m_pLayout->setStretch(i, 1);
}

void CWidgetList::addSpacing(int size) {
    m_pLayout->addSpacing(size);
}
void CWidgetList::addStretch() {
    m_pLayout->addStretch(1);
}

void CWidgetList::removeWidget(QWidget* widget) {
    m_pLayout->removeWidget(widget);
}

void CWidgetList::clear() {
    while (QLayoutItem* item = m_pLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
}

int CWidgetList::count() const {
    return m_pLayout->count();
}

void CWidgetList::setBackgroundColorKey(const QString& key) {
    m_qsBackKey = key;
    update();
}

void CWidgetList::themeChanged() {
    update();
}

void CWidgetList::paintEvent(QPaintEvent* event) {
    paintWidgetBackground(this, event, m_qsBackKey, QString());
}

} // namespace XP

#include "host/toolkit/RadioButtonGroup.h"

#include "host/toolkit/ToolkitEvents.h"

#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QButtonGroup>
#include <QtWidgets/QRadioButton>

namespace XP {

CRadioButtonGroup::CRadioButtonGroup(QWidget* parent, Qt::Orientation orientation)
    : CBaseWidget(parent) {
    m_pLayout = new QBoxLayout(
        orientation == Qt::Horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom, this);
    m_pLayout->setContentsMargins(0, 0, 0, 0);
    m_pGroup = new QButtonGroup(this);
    m_pGroup->setExclusive(true);
    connect(m_pGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            deliverEvent(EV_RADIO_CHANGED, id, 0, m_pGroup->button(id)->text());
    });
}

CRadioButtonGroup::~CRadioButtonGroup() = default;

QRadioButton* CRadioButtonGroup::addButton(int id, const QString& text) {
    auto* b = new QRadioButton(text, this);
    m_pGroup->addButton(b, id);
    m_pLayout->addWidget(b);
    return b;
}

void CRadioButtonGroup::setChecked(int id) {
    if (QAbstractButton* b = m_pGroup->button(id))
        b->setChecked(true);
}

int CRadioButtonGroup::checkedId() const {
    return m_pGroup->checkedId();
}

QRadioButton* CRadioButtonGroup::button(int id) const {
    return qobject_cast<QRadioButton*>(m_pGroup->button(id));
}

} // namespace XP

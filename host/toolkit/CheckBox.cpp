#include "host/toolkit/CheckBox.h"

#include "host/toolkit/ToolkitEvents.h"

namespace XP {

CCheckBox::CCheckBox(int id, const QString& text, QWidget* parent)
    : CEventWidgetT<QCheckBox>(text, parent), m_nId(id) {
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        deliverEvent(EV_CHECKBOX_TOGGLED, m_nId, on ? 1 : 0, this->text());
    });
}

CCheckBox::~CCheckBox() = default;

} // namespace XP

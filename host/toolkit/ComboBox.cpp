#include "host/toolkit/ComboBox.h"

#include "host/toolkit/ToolkitEvents.h"

namespace XP {

CComboBox::CComboBox(int id, QWidget* parent) : CEventWidgetT<QComboBox>(parent), m_nId(id) {
    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { deliverEvent(EV_COMBOBOX_CHANGED, m_nId, index, currentText()); });
}

CComboBox::~CComboBox() = default;

} // namespace XP

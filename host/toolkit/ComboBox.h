#pragma once
// Combo box; a change of the current item delivers EV_COMBOBOX_CHANGED (id, index, text).
#include "host/toolkit/EventWidget.h"

#include <QtWidgets/QComboBox>

namespace XP {

class CComboBox : public CEventWidgetT<QComboBox> {
    Q_OBJECT
public:
    explicit CComboBox(int id, QWidget* parent = nullptr);
    ~CComboBox() override;
    int id() const { return m_nId; }

private:
    int m_nId;
};

} // namespace XP

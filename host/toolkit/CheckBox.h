#pragma once
// Check box; a toggle delivers EV_CHECKBOX_TOGGLED (id, checked ? 1 : 0, text).
#include "host/toolkit/EventWidget.h"

#include <QtWidgets/QCheckBox>

namespace XP {

class CCheckBox : public CEventWidgetT<QCheckBox> {
    Q_OBJECT
public:
    CCheckBox(int id, const QString& text, QWidget* parent = nullptr);
    ~CCheckBox() override;
    int id() const { return m_nId; }

private:
    int m_nId;
};

} // namespace XP

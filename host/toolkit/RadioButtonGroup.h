#pragma once
// Exclusive radio buttons; a change of the checked button delivers EV_RADIO_CHANGED (id, 0, text).
#include "host/toolkit/EventWidget.h"

class QBoxLayout;
class QButtonGroup;
class QRadioButton;

namespace XP {

class CRadioButtonGroup : public CBaseWidget {
    Q_OBJECT
public:
    explicit CRadioButtonGroup(QWidget* parent = nullptr,
                               Qt::Orientation orientation = Qt::Horizontal);
    ~CRadioButtonGroup() override;

    QRadioButton* addButton(int id, const QString& text);
    void setChecked(int id);
    int checkedId() const;
    QRadioButton* button(int id) const;

private:
    QBoxLayout* m_pLayout;
    QButtonGroup* m_pGroup;
};

} // namespace XP

#pragma once
// Search field; every text change delivers EV_SEARCH_TEXT_CHANGED (0, 0, text) and emits
// sigTextChanged.
#include "host/toolkit/EventWidget.h"

#include <QtWidgets/QLineEdit>

namespace XP {

class CSearchTextLineEdit : public CEventWidgetT<QLineEdit> {
    Q_OBJECT
public:
    explicit CSearchTextLineEdit(QWidget* parent = nullptr);
    ~CSearchTextLineEdit() override;
    // Grey hint shown while the field is empty.
    void setEmptyTip(const QString& tip) { setPlaceholderText(tip); }

Q_SIGNALS:
    void sigTextChanged(const QString& text);
};

} // namespace XP

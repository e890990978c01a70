#pragma once
#include "host/toolkit/EventWidget.h"

#include <QtWidgets/QProgressBar>

namespace XP {

class CProgressBar : public CEventWidgetT<QProgressBar> {
    Q_OBJECT
public:
    explicit CProgressBar(QWidget* parent = nullptr);
    ~CProgressBar() override;
};

} // namespace XP

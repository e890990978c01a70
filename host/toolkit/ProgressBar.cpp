#include "host/toolkit/ProgressBar.h"

namespace XP {

CProgressBar::CProgressBar(QWidget* parent) : CEventWidgetT<QProgressBar>(parent) {
    setTextVisible(false);
}

CProgressBar::~CProgressBar() = default;

} // namespace XP

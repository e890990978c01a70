#include "host/toolkit/Menu.h"

#include "host/toolkit/StyleSheetCenter.h"

namespace XP {

CMenu::CMenu(QWidget* parent) : QMenu(parent) {
    updateStyle();
}

CMenu::CMenu(const QString& title, QWidget* parent) : QMenu(title, parent) {
    updateStyle();
}

CMenu::~CMenu() = default;

void CMenu::updateStyle() {
    setStyleSheet(CStyleSheetCenter::getStyle(CStyleSheetCenter::StyleMenu));
}

} // namespace XP

#include "host/toolkit/StyleSheetCenter.h"

#include "host/toolkit/UiResource.h"

#include <QtGui/QColor>

namespace XP {

namespace {

QString colorName(const char* key, const char* fallback) {
    const QColor* c = CUiResource::instance().getColor(QLatin1String(key));
    return c ? c->name(QColor::HexArgb) : QLatin1String(fallback);
}

QString menuSheet() {
    return QStringLiteral("QMenu{background:%1;color:%2;border:1px solid %3;}"
                          "QMenu::item{padding:4px 20px;}"
                          "QMenu::item:selected{background:%4;}"
                          "QMenu::item:disabled{color:%5;}"
                          "QMenu::separator{height:1px;background:%3;}")
        .arg(colorName("ic_clr_menu_background", "#1a1a1a"),
             colorName("ic_clr_menu_text", "#d0d0d0"),
             colorName("ic_clr_table_split_line", "#303030"),
             colorName("ic_clr_menu_selected_background", "#283c64"),
             colorName("ic_clr_menu_disabled_text", "#5a5a5a"));
}

QString scrollSheet() {
    return QStringLiteral("QScrollBar{background:%1;border:none;}"
                          "QScrollBar::handle{background:%2;}"
                          "QScrollBar::handle:hover{background:%3;}"
                          "QScrollBar::add-line,QScrollBar::sub-line{width:0;height:0;}")
        .arg(colorName("ic_clr_scrollbar_background", "#0f0f0f"),
             colorName("ic_clr_scrollbar_normal", "#3c3c3c"),
             colorName("ic_clr_scrollbar_hover", "#505050"));
}

QString editSheet() {
    return QStringLiteral("QLineEdit{background:%1;color:%2;border:1px solid %3;}")
        .arg(colorName("ic_clr_edit_background", "#101010"),
             colorName("ic_clr_edit_text", "#e0e0e0"), colorName("ic_clr_edit_border", "#3a3a3a"));
}

QString toolBarSheet() {
    return QStringLiteral("QRadioButton,QLabel{color:%1;background:transparent;}"
                          "QComboBox{background:%2;color:%3;border:1px solid %4;padding:0 4px;}"
                          "QComboBox QAbstractItemView{background:%2;color:%3;"
                          "selection-background-color:%4;}")
        .arg(colorName("ic_clr_widget_text", "#c8c8c8"),
             colorName("ic_clr_edit_background", "#101010"),
             colorName("ic_clr_edit_text", "#e0e0e0"), colorName("ic_clr_edit_border", "#3a3a3a"));
}

QString generalSheet() {
    return QStringLiteral("QWidget{color:%1;}").arg(colorName("ic_clr_widget_text", "#c8c8c8"));
}

} // namespace

QString CStyleSheetCenter::getStyle(int number) {
    switch (number) {
    case StyleMenu: return menuSheet();
    case StyleScrollBar: return scrollSheet();
    case StyleLineEdit: return editSheet();
    case StyleToolBar: return toolBarSheet();
    case StyleBrowseView: return generalSheet() + menuSheet() + scrollSheet() + editSheet();
    default: return generalSheet();
    }
}

bool isKeyCharOrNum(int key) {
    return (key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9);
}

} // namespace XP

#pragma once
// Style sheets built from the current theme, numbered as the host's widgets ask for them.
#include <QtCore/QString>

namespace XP {

class CStyleSheetCenter {
public:
    enum EStyle {
        StyleMenu = 1,
        StyleScrollBar = 2,
        StyleLineEdit = 3,
        StyleToolBar = 4, // texts, radio buttons and combo boxes of a table's tool row
        StyleBrowseView = 15,
    };
    // An unknown number gives the general sheet.
    static QString getStyle(int number);
};

// Letters and digits (the keys that open the smart keyboard).
bool isKeyCharOrNum(int key);

} // namespace XP

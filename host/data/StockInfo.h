#pragma once
// What the smart keyboard hands back when the user picks an entry.

#include <QString>

namespace TC {

// Kind of the picked entry; the browse views act on instruments only.
enum ESmartKeyType { eSmartKeyStock = 0, eSmartKeyIndicator = 1, eSmartKeyFunction = 2 };

struct CStockInfo {
    QString key; // stock key (code.market)
    QString market;
    QString code;
    QString name;
};

} // namespace TC

#pragma once
// Trading baskets held by the user configuration.

#include <QList>
#include <QString>

namespace TC {

struct CBasketStockData {
    int kind = 0;
    QString market;
    QString code;
    QString name;
};

struct CBasketSetting {
    QString name;
    int accountType = 2; // 2 stocks, 1 futures, 7 / 11 the connect markets
    int subType = 0;
    int entryKind = 0; // taken over by every new entry
    QList<CBasketStockData> stocks;
};

} // namespace TC

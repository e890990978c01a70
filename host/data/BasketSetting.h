#pragma once
// Trading baskets held by the user configuration.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ttservice {
struct CInstrumentDetail;
}

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

// The kinds of basket a user can create, in menu order ("股票篮子", "期货篮子", "沪港通篮子",
// "深港通篮子", "沪伦通篮子"), with their account types and sub-types.
struct CBasketKind {
    QString name;
    int accountType;
    int subType;
};
const QList<CBasketKind>& basketKinds();

// The account type an instrument trades under in a basket: 2 for SH/SZ, 7 and 11 for the
// two connect markets, 1 for dated futures contracts; -1 for instruments no basket takes
// (futures options, continuous contracts, other markets).
int basketAccountType(const ttservice::CInstrumentDetail& instrument);

// Appends the instruments of the codes (keys or codes) whose account type is the
// setting's and that the basket does not hold yet; entries copy the first entry (its kind
// replaced by the setting's entry kind). Unknown codes are skipped. Returns how many were
// added. Linear in the basket's size plus the codes'.
int addStocksToBasket(CBasketSetting& setting, const QVector<QString>& codes);

} // namespace TC

#pragma once
// One row of the position list: a browse row that also knows its account(s). In position
// statistics a row is one position of one account; in code statistics one instrument
// summed over the accounts that hold it.

#include "browse/HpfBrowserData.h"

#include <QSet>

namespace TC {

class CPositionBrowserData final : public HpfBrowserData {
public:
    QString stockKey;         // market and code
    QString accountKey;       // position statistics: the position's account
    QString accountId;        // position statistics: shown in the account column
    QString accounts;         // code statistics: the account keys joined by ","
    QSet<QString> accountSet; // the accounts the linkage columns sum over
    double refPrice = 0.0;    // the instrument's reference price; 0 when unknown
    int accountCount = 0;
    int accountColumn = -1; // table column id of "账号"
    bool codeRow = false;

    // The account column answers text: the account id, or the number of accounts.
    QString getText(int column) override;
    QString getString(int column) override;
    double getDouble(int column) override;
};

typedef boost::shared_ptr<CPositionBrowserData> CPositionBrowserDataPtr;

} // namespace TC

#include "position/CPositionBrowserData.h"

#include "host/data/NoValue.h"

namespace TC {

QString CPositionBrowserData::getText(int column)
{
    if (column == accountColumn && column >= 0)
        return getString(column);
    return HpfBrowserData::getText(column);
}

QString CPositionBrowserData::getString(int column)
{
    if (column == accountColumn && column >= 0) {
        if (codeRow)
            return accountCount > 0 ? QString::number(accountCount) : QStringLiteral("-");
        return accountId.isEmpty() ? QStringLiteral("-") : accountId;
    }
    return HpfBrowserData::getString(column);
}

double CPositionBrowserData::getDouble(int column)
{
    // an account id is no quantity: only the number of accounts sums
    if (column == accountColumn && column >= 0)
        return codeRow && accountCount > 0 ? double(accountCount) : kNoValue;
    return HpfBrowserData::getDouble(column);
}

} // namespace TC

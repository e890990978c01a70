#include "host/data/ColumnInfo.h"

namespace TC {

const QString kQuoterFormula = QStringLiteral("QUOTER");

void ColumnInfo::reset()
{
    doneCount = 0;
    totalCount = 0;
    matchedKeys.clear();
    stopFlag.reset();
}

bool ColumnInfo::isQuoter() const
{
    return formulaName == kQuoterFormula;
}

bool ColumnInfo::operator==(const ColumnInfo& o) const
{
    return formulaName == o.formulaName && lineIndex == o.lineIndex && columnKind == o.columnKind
           && lineSetting == o.lineSetting && valueA == o.valueA && valueB == o.valueB
           && intSetting == o.intSetting;
}

} // namespace TC

#pragma once
// The formula catalogue: built-in indicator formulas with parameters and output lines.

#include "host/data/FormulaTypes.h"

#include <QString>
#include <vector>

namespace TC {

class CFormulaOperateManager final {
public:
    static CFormulaOperateManager* instance();

    // The formula of that name (case-insensitive), or null.
    CFormulaDetailPtr getFormula(const QString& formulaName) const;
    std::vector<QString> formulaNames() const;

private:
    CFormulaOperateManager();
};

} // namespace TC

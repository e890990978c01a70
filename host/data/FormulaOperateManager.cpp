#include "host/data/FormulaOperateManager.h"

#include "host/data/MarketBackend.h"

namespace TC {

CFormulaOperateManager* CFormulaOperateManager::instance()
{
    static CFormulaOperateManager manager;
    return &manager;
}

CFormulaOperateManager::CFormulaOperateManager() = default;

CFormulaDetailPtr CFormulaOperateManager::getFormula(const QString& formulaName) const
{
    // script formulas are named by path; the file name is the formula
    QString name = formulaName.trimmed();
    const int cut =
        std::max(name.lastIndexOf(QLatin1Char('\\')), name.lastIndexOf(QLatin1Char('/')));
    if (cut >= 0)
        name = name.mid(cut + 1);
    if (name.isEmpty())
        return nullptr;
    const MarketBackendPtr backend = marketBackend();
    return backend ? backend->formula(name) : nullptr;
}

std::vector<QString> CFormulaOperateManager::formulaNames() const
{
    const MarketBackendPtr backend = marketBackend();
    return backend ? backend->formulaNames() : std::vector<QString>();
}

} // namespace TC

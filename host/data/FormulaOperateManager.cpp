#include "host/data/FormulaOperateManager.h"

#include "host/market/FormulaEngine.h"

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
    const ttmarket::FormulaDefinition* f = ttmarket::findFormula(name.toStdString());
    if (!f)
        return nullptr;
    auto detail = std::make_shared<CFormulaDetail>();
    detail->name = QString::fromStdString(f->name);
    detail->description = QString::fromStdString(f->description);
    for (size_t i = 0; i < f->paramNames.size(); ++i) {
        detail->paramNames.push_back(QString::fromStdString(f->paramNames[i]));
        detail->paramValues.push_back(QString::number(f->paramDefaults[i]));
    }
    for (size_t i = 0; i < f->lineNames.size(); ++i) {
        detail->lineNames.push_back(QString::fromStdString(f->lineNames[i]));
        detail->lineTypes.push_back(f->lineTypes[i]);
    }
    return detail;
}

std::vector<QString> CFormulaOperateManager::formulaNames() const
{
    std::vector<QString> names;
    for (const ttmarket::FormulaDefinition& f : ttmarket::builtinFormulas())
        names.push_back(QString::fromStdString(f.name));
    return names;
}

} // namespace TC

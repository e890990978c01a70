// Value colours, their resource keys and theme changes.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/FormulaTypes.h"
#include "host/data/IndexValueParam.h"
#include "host/toolkit/UiResource.h"
#include "host/widgets/CIndexColorParameterDialog.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace TC {

void CBrowseWidget::initColor()
{
    const bool concise = getConfig()->conciseStyle;
    auto key = [concise](const char* normal, const char* conciseKey) {
        return QString::fromLatin1(concise ? conciseKey : normal);
    };
    d->m_qsCodeKey = key("ic_clr_browse_stock_code", "ic_clr_concise_browse_stock_code");
    d->m_qsNameKey = key("ic_clr_browse_stock_name", "ic_clr_concise_browse_stock_name");
    d->m_qsRiseKey = key("ic_clr_browse_rise", "ic_clr_concise_browse_rise");
    d->m_qsFallKey = key("ic_clr_browse_fall", "ic_clr_concise_browse_fall");
    d->m_qsEqualKey = key("ic_clr_browse_equal", "ic_clr_concise_browse_equal");
    d->m_qsBigValueKey = key("ic_clr_browse_big_value", "ic_clr_concise_browse_big_value");
    resolveColors();
}

void CBrowseWidget::resolveColors()
{
    auto& resources = XP::CUiResource::instance();
    d->m_pCodeColor = resources.getColor(d->m_qsCodeKey);
    d->m_pNameColor = resources.getColor(d->m_qsNameKey);
    d->m_pRiseColor = resources.getColor(d->m_qsRiseKey);
    d->m_pFallColor = resources.getColor(d->m_qsFallKey);
    d->m_pEqualColor = resources.getColor(d->m_qsEqualKey);
    d->m_pBigValueColor = resources.getColor(d->m_qsBigValueKey);
}

void CBrowseWidget::registerPalette()
{
    d->m_nCodeIdx = d->m_pModel->paletteIndex(d->m_qsCodeKey);
    d->m_nNameIdx = d->m_pModel->paletteIndex(d->m_qsNameKey);
    d->m_nRiseIdx = d->m_pModel->paletteIndex(d->m_qsRiseKey);
    d->m_nFallIdx = d->m_pModel->paletteIndex(d->m_qsFallKey);
    d->m_nEqualIdx = d->m_pModel->paletteIndex(d->m_qsEqualKey);
    d->m_nBigValueIdx = d->m_pModel->paletteIndex(d->m_qsBigValueKey);
}

void CBrowseWidget::fillTextColor(const QColor*& colour, const QString*& key, const double& a,
                                  const double& b, EBrowseTextGetColorType type) const
{
    switch (type) {
    case BrowseColor_Code:
        colour = d->m_pCodeColor;
        key = &d->m_qsCodeKey;
        return;
    case BrowseColor_Name:
        colour = d->m_pNameColor;
        key = &d->m_qsNameKey;
        return;
    default: break;
    }
    const double difference = a - b;
    if (difference > kEpsilon) {
        colour = d->m_pRiseColor;
        key = &d->m_qsRiseKey;
    } else if (difference < -kEpsilon) {
        colour = d->m_pFallColor;
        key = &d->m_qsFallKey;
    } else {
        colour = d->m_pEqualColor;
        key = &d->m_qsEqualKey;
    }
}

const QColor* CBrowseWidget::getEqualColor() const
{
    return XP::CUiResource::instance().getColor(QStringLiteral("ic_clr_browse_equal"));
}

QString CBrowseWidget::CColorConversion(int code)
{
    switch (code) {
    case 0: return QStringLiteral("ic_clr_browse_rise");
    case 1: return QStringLiteral("ic_clr_browse_fall");
    case 2: return QStringLiteral("clr_index_purple");
    case 3: return QStringLiteral("clr_index_blue");
    case 4: return QStringLiteral("clr_index_yellow");
    default: return QStringLiteral("false");
    }
}

int CBrowseWidget::colorCodeOfName(const QString& name)
{
    // maps a colour name of the range dialog to its colour code
    static const QHash<QString, int> codes = {
        {QStringLiteral("红色"), 0},   {QStringLiteral("绿色"), 1},   {QStringLiteral("紫色"), 2},
        {QStringLiteral("蓝色"), 3},   {QStringLiteral("黄色"), 4},   {QStringLiteral("red"), 0},
        {QStringLiteral("green"), 1},  {QStringLiteral("purple"), 2}, {QStringLiteral("blue"), 3},
        {QStringLiteral("yellow"), 4},
    };
    return codes.value(name, 0);
}

const QColor* CBrowseWidget::ColorValue(const QString& name) const
{
    if (name == QLatin1String("default"))
        return getEqualColor();
    return XP::CUiResource::instance().getColor(CColorConversion(colorCodeOfName(name)));
}

void CBrowseWidget::applyTableStyle()
{
    const QString numberFont = numberFontKey();
    const QString textFont = textFontKey();
    d->m_pTable->setBackgroundColorKeys(QStringLiteral("ic_clr_table_background"),
                                        QStringLiteral("ic_clr_table_number_background"));
    d->m_pTable->setHeaderTextColorKey(QStringLiteral("ic_clr_table_text_default"));
    d->m_pTable->setHeaderFontKey(textFont);
    d->m_pTable->setItemFontKey(numberFont);
    // restyle only: whether the row-number column shows is the frame's and the caller's choice
    const bool rowNumber = d->m_pTable->tableFlags() & XP::CBaseHighPerformanceTable::TF_ROW_NUMBER;
    d->m_pTable->setRowNumberColumn(rowNumber, QStringLiteral("序号"), numberFont);
    d->m_pTable->setSplitLineColorKeys(QStringLiteral("ic_clr_table_split_line"),
                                       QStringLiteral("ic_clr_table_sort_split_line"),
                                       QStringLiteral("ic_clr_table_sort_noactive_split_line"),
                                       QStringLiteral("clr_table_split_line_header"));
    d->m_pTable->setStatRowStyle(QStringLiteral("clr_table_stat_border"),
                                 QStringLiteral("siz_standard_table_item_height"),
                                 QStringLiteral("fnt_table_stat_text_default"),
                                 QStringLiteral("siz_standard_table_stat_text_margin"));
    d->m_pTable->setSelectedTextColorKey(QStringLiteral("ic_clr_table_text_selected"));
    for (int id = 0; id < 3; ++id) {
        d->m_pTable->setColumnFilterable(id, true);
        d->m_pTable->setLockColumnColorKey(id, QStringLiteral("ic_clr_table_background"));
    }
}

void CBrowseWidget::themeChanged()
{
    resolveColors();
    if (!d->m_pTable)
        return;
    applyTableStyle();
    // every cell names its colour through the palette: one pass re-colours them all
    d->m_pModel->resolvePalette();
    d->m_pTable->updateUi();
}

} // namespace TC

// --- colour ranges of indicator columns ------------------------------------------------

namespace TC {

void CBrowseWidget::setIndexValueParams(const QString& title,
                                        const std::vector<SIndexValueParam>& ranges)
{
    d->m_indexValueParams[title] = ranges;
}

std::vector<SIndexValueParam> CBrowseWidget::indexValueParams(const QString& title) const
{
    auto it = d->m_indexValueParams.find(title);
    return it == d->m_indexValueParams.end() ? std::vector<SIndexValueParam>() : it->second;
}

void CBrowseWidget::clearIndexParam()
{
    // ranges coloured "default" only restore the equal colour: they are not kept
    for (auto& entry : d->m_indexValueParams) {
        auto& ranges = entry.second;
        ranges.erase(
            std::remove_if(ranges.begin(), ranges.end(),
                           [](const SIndexValueParam& r) { return r.colorName == "default"; }),
            ranges.end());
    }
}

void CBrowseWidget::slotSetIndexValueColor()
{
    if (!d->m_pColorDialog)
        d->m_pColorDialog = new CIndexColorParameterDialog(this);
    clearIndexParam();
    ColumnInfo column;
    if (!getColumnInfo(d->m_nHeaderColumn, column))
        return;
    const QString title = column.title;
    d->m_pColorDialog->clearWidget();
    d->m_pColorDialog->setIndexValueParam(title, indexValueParams(title));
    // the nested event loop may outlive this widget: touch nothing once it is gone
    QPointer<CBrowseWidget> self(this);
    QPointer<CIndexColorParameterDialog> dialog(d->m_pColorDialog);
    const int result = dialog->exec();
    if (!self || !dialog || result != QDialog::Accepted)
        return;
    d->m_indexValueParams[title] = dialog->getIndexValueParam();
    changeIndexValueColor(title.toStdString());
}

void CBrowseWidget::changeIndexValueColor(const std::string& titleText)
{
    const QString title = QString::fromStdString(titleText);
    const int column = getColumnNumber(title);
    auto it = d->m_indexValueParams.find(title);
    if (column < 0 || it == d->m_indexValueParams.end())
        return; // no such column: nothing to colour
    for (const SIndexValueParam& range : it->second) {
        const int index = d->m_pModel->paletteIndex(
            range.colorName == "default"
                ? d->m_qsEqualKey
                : CColorConversion(colorCodeOfName(QString::fromStdString(range.colorName))));
        for (const auto& data : d->m_pModel->getAllDatas()) {
            auto* row = static_cast<HpfBrowserData*>(data.get());
            if (column >= row->textColors.size())
                continue;
            // the sector's user-defined value of the field, else the cell's own value
            const double v = se::FieldParams::hasData(d->m_qsSectorName, title, row->key)
                                 ? se::FieldParams::getData(d->m_qsSectorName, title, row->key)
                                 : row->getDouble(column);
            if (isNoValue(v) || std::isnan(v))
                continue;
            // ranges apply in order: a later match wins
            if (range.contains(v))
                row->setTextColorIndex(column, index);
        }
    }
    d->m_pTable->updateUi();
}

} // namespace TC

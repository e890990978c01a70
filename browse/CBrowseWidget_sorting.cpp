// Sorting, the selected instrument across re-sorts, highlighting and the selection export.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/ExtendDataManager.h"
#include "host/data/FormulaManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/JsonParam.h"
#include "host/data/Log.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"

#include <cmath>

namespace TC {

void CBrowseWidget::reSort(int column, int order)
{
    if (d->m_pTable)
        d->m_pTable->sortByColumn(column, order);
}

void CBrowseWidget::sortByPreParam(int column, int order)
{
    if (column < 0) {
        sortByRate();
        return;
    }
    d->m_pTable->sortByColumn(column, order);
    d->m_pTable->setSelectedRow(0);
}

void CBrowseWidget::sortByRate()
{
    ColumnInfo rate;
    if (!getBrowserColumn(rate, QC_RATIO))
        return;
    for (const ColumnInfo& c : d->m_columnList) {
        if (c == rate) {
            d->m_pTable->sortByColumn(c.columnId, 1);
            d->m_pTable->setSelectedRow(0);
            return;
        }
    }
}

void CBrowseWidget::getSortParam(int& column, int& order) const
{
    column = 0;
    order = 0;
    if (!d->m_pTable)
        return;
    column = d->m_pTable->getSortColumnID();
    order = d->m_pTable->getSortOrder();
}

void CBrowseWidget::clearSort()
{
    d->m_pTable->clearSort();
}

void CBrowseWidget::resort()
{
    d->m_pTable->resort();
    resetSelectStock();
    if (d->m_bCurRowBackground && !d->m_qsCurrentCode.isEmpty())
        d->m_pTable->drawCurStockBackground(d->m_pModel->getDataIndexByKey(d->m_qsCurrentCode),
                                            true);
}

void CBrowseWidget::clearFilter()
{
    d->m_pTable->clearFilter();
}

void CBrowseWidget::resetSelectStock()
{
    if (d->m_qsCurrentCode.isEmpty() || !d->m_bResetSelectStock)
        return;
    std::vector<int> rows;
    getRowIndexByStockCode(d->m_qsCurrentCode, rows);
    if (rows.empty() || rows.front() < 0)
        return;
    const int index = rows.front();
    if (index >= d->m_pTable->getStartRow() && index <= d->m_pTable->getEndRow())
        d->m_pTable->setSelectedRow(index);
    else
        d->m_pTable->setSelectedRowMove(index);
}

void CBrowseWidget::setCurSelectCode(const QString& key)
{
    const int index = d->m_pModel->getDataIndexByKey(key);
    if (index >= d->m_pTable->getStartRow() && index <= d->m_pTable->getEndRow())
        d->m_pTable->setSelectedRowIndex(index);
    else
        d->m_pTable->setSelectedRowMove(index);
    d->m_qsCurrentCode = key;
}

void CBrowseWidget::setCurSelectCodeMoveFirstRow(const QString& key)
{
    QString target = key;
    if (auto detail = CStockManager::instance()->getInstrumentDetail(key)) {
        // only a real product code groups contracts
        if (!detail->product.isEmpty()) {
            auto* stocks = CStockManager::instance();
            for (const auto& data : d->m_pModel->getAllDatas()) {
                const auto* row = static_cast<const HpfBrowserData*>(data.get());
                auto other = stocks->getInstrumentDetail(row->key);
                if (other && other->product == detail->product) {
                    target = row->key;
                    break;
                }
            }
        }
    }
    const int index = d->m_pModel->getDataIndexByKey(target);
    d->m_pTable->setSelectedRowMove(index);
    d->m_qsCurrentCode = target;

    const int value =
        d->m_pTable->isVerticalScrollVisible() ? d->m_pTable->verticalScrollValue() : 0;
    const int maximum = d->m_pTable->verticalScrollMaximum();
    if (value != 0 && value != maximum) {
        const int pitch = d->m_pTable->itemHeight() + 1;
        const int half = (d->m_pTable->getEndRow() - d->m_pTable->getStartRow()) / 2;
        d->m_pTable->setVerticalScrollValue(value + half * pitch);
        if (d->m_pTable->getStartRow() != index)
            d->m_pTable->setVerticalScrollValue(d->m_pTable->verticalScrollValue() + pitch);
    }
}

void CBrowseWidget::setCurSelDrawBackground(bool on)
{
    d->m_bCurRowBackground = on;
    d->m_pTable->updateUi();
}

void CBrowseWidget::drawCurStockBackground(QString key, bool on)
{
    if (!d->m_pTable || !on)
        return;
    d->m_qsCurrentCode = key;
    d->m_bCurRowBackground = true;
    d->m_pTable->drawCurStockBackground(d->m_pModel->getDataIndexByKey(key), true);
}

void CBrowseWidget::showCurSelection()
{
    if (!d->m_bCurRowBackground)
        return;
    const int row = d->m_pTable->getSelectedRow();
    if (row >= 0 && row < d->m_pModel->size())
        d->m_pTable->drawCurStockBackground(row, true);
}

void CBrowseWidget::showAllSelection()
{
    if (!d->m_bCurRowBackground)
        return;
    for (int row : d->m_pTable->getSelectedRows())
        d->m_pTable->drawCurStockBackground(row, true);
}

void CBrowseWidget::setPanelFocus()
{
    d->m_pTable->setPanelFocus();
}

void CBrowseWidget::setHighLightStocks(const QMap<QString, ttservice::CInstrumentDetailPtr>& stocks)
{
    if (!d->m_pTable || !d->m_pModel || d->m_pModel->size() == 0)
        return;
    for (const auto& data : d->m_pModel->getAllDatas())
        static_cast<HpfBrowserData*>(data.get())->setTextColorIndex(1, d->m_nNameIdx);
    for (const auto& detail : stocks) {
        if (!detail)
            continue;
        for (const HpfBrowserDataPtr& row : getDataLastByCode(detail->market, detail->code)) {
            if (row)
                row->setTextColorIndex(1, d->m_nCodeIdx);
        }
    }
}

QVector<QString> CBrowseWidget::getSelectStocks()
{
    QVector<QString> keys;
    QList<int> rows = d->m_pTable->getSelectedRows();
    std::sort(rows.begin(), rows.end());
    for (int row : rows) {
        const QString key = getStock(row);
        if (!key.isEmpty())
            keys.append(key);
    }
    return keys;
}

std::string CBrowseWidget::getSelectJsonParam()
{
    // key -> quote id of the column whose text is exported under it
    static const std::pair<const char*, int> kExported[] = {
        {"OPEN", QC_OPEN},         {"LATEST", QC_LATEST},   {"HIGH", QC_HIGH},
        {"LOW", QC_LOW},           {"AMOUNT", QC_AMOUNT},   {"VOLUMN", QC_VOLUME},
        {"PRECLOSE", QC_PRECLOSE}, {"ZHANGFU", QC_RATIO},   {"ZHANGDIE", QC_CHANGE},
        {"POSITION", QC_POSITION}, {"BID1", QC_BID1},       {"BIDVOL1", QC_BIDVOL1},
        {"ASK1", QC_ASK1},         {"ASKVOL1", QC_ASKVOL1},
    };
    const int selected = d->m_pTable->getSelectedRow();
    JsonBuilder json;
    json.appendInt("index", selected);
    HpfBrowserDataPtr row = d->m_pModel->rowAt(selected);
    if (row) {
        json.appendString("CODE",
                          utils::nvStockKey(row->market.toStdString(), row->code.toStdString()));
        json.appendString("NAME", row->getText(1).toStdString());
        for (const auto& entry : kExported) {
            // the value comes from the column that shows the quote id, wherever it stands
            for (const ColumnInfo& c : d->m_columnList) {
                if (c.isQuoter() && c.lineIndex == entry.second && c.columnId >= 3) {
                    json.appendString(entry.first, row->getText(c.columnId).toStdString());
                    break;
                }
            }
        }
    }
    return json.toJson();
}

void CBrowseWidget::getCustomSortParam(QMap<double, QList<QString>>& out)
{
    ColumnInfo column;
    if (!getColumnInfo(d->m_pTable->getSortColumnID(), column))
        return;
    static const QString kAccountSeparator = QStringLiteral("|");
    const bool position = isPositionSector();
    auto add = [&](double v, int rowIndex, const QString& key) {
        if (std::isnan(v) || isNoValue(v))
            return; // NaN keys would break the map's order
        out[v].append(position ? key + kAccountSeparator + getPositionAccount(rowIndex) : key);
    };
    const auto& rows = d->m_pModel->getAllDatas();
    if (column.columnKind == 1) {
        if (!CExtendDataManager::instance()->isExtendData(column.title))
            return;
        if (!d->m_getTradeDate) {
            TT_LOG_WARN("[browser] getCustomSortParam: no trade-date getter, %1% skipped",
                        column.title);
            return;
        }
        se::RPCExtendDataShowParam param;
        param.name = column.title.toStdString();
        param.time = int64_t(d->m_getTradeDate()) * 1000;
        param.keys.reserve(rows.size());
        for (const auto& data : rows)
            param.keys.push_back(data->getKey().toStdString());
        const std::map<std::string, double> values =
            CFormulaManager::instance()->getExtendShowData(param);
        for (size_t i = 0; i < rows.size(); ++i) {
            auto found = values.find(param.keys[i]);
            if (found != values.end())
                add(found->second, int(i), rows[i]->getKey());
        }
        return;
    }
    // the sector's registered user-defined values of the field
    for (size_t i = 0; i < rows.size(); ++i) {
        const QString key = rows[i]->getKey();
        if (se::FieldParams::hasData(d->m_qsSectorName, column.title, key))
            add(se::FieldParams::getData(d->m_qsSectorName, column.title, key), int(i), key);
    }
}

} // namespace TC

// Sorting, the selected instrument across re-sorts, highlighting and the selection export.
#include "browse/CBrowseWidget.h"

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
    if (m_pTable)
        m_pTable->sortByColumn(column, order);
}

void CBrowseWidget::sortByPreParam(int column, int order)
{
    if (column < 0) {
        sortByRate();
        return;
    }
    m_pTable->sortByColumn(column, order);
    m_pTable->setSelectedRow(0);
}

void CBrowseWidget::sortByRate()
{
    ColumnInfo rate;
    if (!getBrowserColumn(rate, QC_RATIO))
        return;
    for (const ColumnInfo& c : m_columnList) {
        if (c == rate) {
            m_pTable->sortByColumn(c.columnId, 1);
            m_pTable->setSelectedRow(0);
            return;
        }
    }
}

void CBrowseWidget::getSortParam(int& column, int& order) const
{
    column = 0;
    order = 0;
    if (!m_pTable)
        return;
    column = m_pTable->getSortColumnID();
    order = m_pTable->getSortOrder();
}

void CBrowseWidget::clearSort()
{
    m_pTable->clearSort();
}

void CBrowseWidget::resort()
{
    m_pTable->resort();
    resetSelectStock();
    if (m_bCurRowBackground && !m_qsCurrentCode.isEmpty())
        m_pTable->drawCurStockBackground(m_pModel->getDataIndexByKey(m_qsCurrentCode), true);
}

void CBrowseWidget::clearFilter()
{
    m_pTable->clearFilter();
}

void CBrowseWidget::resetSelectStock()
{
    if (m_qsCurrentCode.isEmpty() || !m_bResetSelectStock)
        return;
    std::vector<int> rows;
    getRowIndexByStockCode(m_qsCurrentCode, rows);
    if (rows.empty() || rows.front() < 0)
        return;
    const int index = rows.front();
    if (index >= m_pTable->getStartRow() && index <= m_pTable->getEndRow())
        m_pTable->setSelectedRow(index);
    else
        m_pTable->setSelectedRowMove(index);
}

void CBrowseWidget::setCurSelectCode(const QString& key)
{
    const int index = m_pModel->getDataIndexByKey(key);
    if (index >= m_pTable->getStartRow() && index <= m_pTable->getEndRow())
        m_pTable->setSelectedRowIndex(index);
    else
        m_pTable->setSelectedRowMove(index);
    m_qsCurrentCode = key;
}

void CBrowseWidget::setCurSelectCodeMoveFirstRow(const QString& key)
{
    QString target = key;
    if (auto detail = CStockManager::instance()->getInstrumentDetail(key)) {
        // only a real product code groups contracts
        if (!detail->product.isEmpty()) {
            auto* stocks = CStockManager::instance();
            for (const auto& data : m_pModel->getAllDatas()) {
                const auto* row = static_cast<const HpfBrowserData*>(data.get());
                auto other = stocks->getInstrumentDetail(row->key);
                if (other && other->product == detail->product) {
                    target = row->key;
                    break;
                }
            }
        }
    }
    const int index = m_pModel->getDataIndexByKey(target);
    m_pTable->setSelectedRowMove(index);
    m_qsCurrentCode = target;

    const int value = m_pTable->isVerticalScrollVisible() ? m_pTable->verticalScrollValue() : 0;
    const int maximum = m_pTable->verticalScrollMaximum();
    if (value != 0 && value != maximum) {
        const int pitch = m_pTable->itemHeight() + 1;
        const int half = (m_pTable->getEndRow() - m_pTable->getStartRow()) / 2;
        m_pTable->setVerticalScrollValue(value + half * pitch);
        if (m_pTable->getStartRow() != index)
            m_pTable->setVerticalScrollValue(m_pTable->verticalScrollValue() + pitch);
    }
}

void CBrowseWidget::setCurSelDrawBackground(bool on)
{
    m_bCurRowBackground = on;
    m_pTable->updateUi();
}

void CBrowseWidget::drawCurStockBackground(QString key, bool on)
{
    if (!m_pTable || !on)
        return;
    m_qsCurrentCode = key;
    m_bCurRowBackground = true;
    m_pTable->drawCurStockBackground(m_pModel->getDataIndexByKey(key), true);
}

void CBrowseWidget::showCurSelection()
{
    if (!m_bCurRowBackground)
        return;
    const int row = m_pTable->getSelectedRow();
    if (row >= 0 && row < m_pModel->size())
        m_pTable->drawCurStockBackground(row, true);
}

void CBrowseWidget::showAllSelection()
{
    if (!m_bCurRowBackground)
        return;
    for (int row : m_pTable->getSelectedRows())
        m_pTable->drawCurStockBackground(row, true);
}

void CBrowseWidget::setPanelFocus()
{
    m_pTable->setPanelFocus();
}

void CBrowseWidget::setHighLightStocks(const QMap<QString, ttservice::CInstrumentDetailPtr>& stocks)
{
    if (!m_pTable || !m_pModel || m_pModel->size() == 0)
        return;
    for (const auto& data : m_pModel->getAllDatas())
        static_cast<HpfBrowserData*>(data.get())->setTextColorIndex(1, m_nNameIdx);
    for (const auto& detail : stocks) {
        if (!detail)
            continue;
        for (const HpfBrowserDataPtr& row : getDataLastByCode(detail->market, detail->code)) {
            if (row)
                row->setTextColorIndex(1, m_nCodeIdx);
        }
    }
}

QVector<QString> CBrowseWidget::getSelectStocks()
{
    QVector<QString> keys;
    QList<int> rows = m_pTable->getSelectedRows();
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
    const int selected = m_pTable->getSelectedRow();
    JsonBuilder json;
    json.appendInt("index", selected);
    HpfBrowserDataPtr row = m_pModel->rowAt(selected);
    if (row) {
        json.appendString("CODE",
                          utils::nvStockKey(row->market.toStdString(), row->code.toStdString()));
        json.appendString("NAME", row->getText(1).toStdString());
        for (const auto& entry : kExported) {
            // the value comes from the column that shows the quote id, wherever it stands
            for (const ColumnInfo& c : m_columnList) {
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
    if (!getColumnInfo(m_pTable->getSortColumnID(), column))
        return;
    static const QString kAccountSeparator = QStringLiteral("|");
    const bool position = isPositionSector();
    auto add = [&](double v, int rowIndex, const QString& key) {
        if (std::isnan(v) || isNoValue(v))
            return; // NaN keys would break the map's order
        out[v].append(position ? key + kAccountSeparator + getPositionAccount(rowIndex) : key);
    };
    const auto& rows = m_pModel->getAllDatas();
    if (column.columnKind == 1) {
        if (!CExtendDataManager::instance()->isExtendData(column.title))
            return;
        if (!m_getTradeDate) {
            TT_LOG_WARN("[browser] getCustomSortParam: no trade-date getter, %1% skipped",
                        column.title);
            return;
        }
        se::RPCExtendDataShowParam param;
        param.name = column.title.toStdString();
        param.time = int64_t(m_getTradeDate()) * 1000;
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
        if (se::FieldParams::hasData(m_qsSectorName, column.title, key))
            add(se::FieldParams::getData(m_qsSectorName, column.title, key), int(i), key);
    }
}

} // namespace TC

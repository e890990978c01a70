#include "browse/CHpfBrowserDataModel.h"

#include "browse/BrowseTypes.h"
#include "host/toolkit/NumberFormat.h"

#include <algorithm>
#include <cmath>

namespace TC {

namespace {
const QString kInvalidStat = QStringLiteral("非法值");
constexpr int kRatioColumn = 10; // the default layout's "涨幅"
} // namespace

CHpfBrowserDataModel::CHpfBrowserDataModel(QObject* parent)
    : IIndexBaseHpfTableModel(parent), m_tables(std::make_shared<BrowseColumnTables>())
{
    setSortByPin(true);
}

CHpfBrowserDataModel::~CHpfBrowserDataModel() = default;

int CHpfBrowserDataModel::columnCount()
{
    return 3; // the widget sets the table's columns itself
}

QString CHpfBrowserDataModel::headerText(int)
{
    return QString();
}

int CHpfBrowserDataModel::columnValueType(int column)
{
    const int type = m_tables->valueTypeOf(column);
    if (type != 0)
        return type;
    return column >= 0 && column <= 2 ? ValueType_Text : ValueType_Double;
}

QString CHpfBrowserDataModel::statText(int column)
{
    return m_statTexts.value(column);
}

void CHpfBrowserDataModel::clearColumnTables()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    // rows keep their shared reference; reset the tables in place so they follow
    BrowseColumnTables& t = *m_tables;
    t.quoteSlot.clear();
    t.indicatorSlot.clear();
    t.quoteId.clear();
    t.valueType.clear();
    t.indicatorPrecision.clear();
    t.quoteSlotCount = 0;
    m_statTexts.clear();
    m_statModes.clear();
}

void CHpfBrowserDataModel::setQuoteSlot(int column, int slot)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    BrowseColumnTables::put(m_tables->quoteSlot, column, slot);
    m_tables->quoteSlotCount = std::max(m_tables->quoteSlotCount, slot + 1);
}

int CHpfBrowserDataModel::nextQuoteSlot() const
{
    return m_tables->quoteSlotCount;
}

void CHpfBrowserDataModel::setQuoteId(int column, int quoteId)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    BrowseColumnTables::put(m_tables->quoteId, column, quoteId);
}

void CHpfBrowserDataModel::setValueType(int column, int type)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    BrowseColumnTables::put(m_tables->valueType, column, type, 0);
}

void CHpfBrowserDataModel::addIndicatorColumn(int column, int precision)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    BrowseColumnTables& t = *m_tables;
    const int slot = t.indicatorCount();
    t.indicatorPrecision.push_back(precision);
    BrowseColumnTables::put(t.indicatorSlot, column, slot);
    for (const auto& data : getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        if (row->indicatorValues.size() <= slot)
            row->indicatorValues.resize(slot + 1);
        row->indicatorValues[slot] = QVariant(kNoValue);
        if (row->textColors.size() <= column)
            row->textColors.resize(column + 1);
    }
}

int CHpfBrowserDataModel::indicatorSlot(int column) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_tables->indicatorSlotOf(column);
}

void CHpfBrowserDataModel::dropColumn(int column)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    BrowseColumnTables& t = *m_tables;
    BrowseColumnTables::put(t.quoteSlot, column, -1);
    BrowseColumnTables::put(t.indicatorSlot, column, -1);
    BrowseColumnTables::put(t.quoteId, column, -1);
    BrowseColumnTables::put(t.valueType, column, 0, 0);
    m_statTexts.remove(column);
    m_statModes.remove(column);
}

void CHpfBrowserDataModel::addStatColumn(int column)
{
    if (!m_statTexts.contains(column))
        m_statTexts.insert(column, QString());
}

void CHpfBrowserDataModel::removeStatColumn(int column)
{
    m_statTexts.remove(column);
}

void CHpfBrowserDataModel::recalcStatData()
{
    if (m_statTexts.isEmpty())
        return;
    // Each column's value slot is resolved once and the rows are walked once for all
    // columns, reading the rows' value vectors directly: a row is touched while its values
    // are in cache, not once per column.
    m_statPlan.clear();
    for (auto it = m_statTexts.cbegin(); it != m_statTexts.cend(); ++it) {
        const int indicator = m_tables->indicatorSlotOf(it.key());
        m_statPlan.push_back({indicator, indicator >= 0 ? -1 : m_tables->quoteSlotOf(it.key())});
    }
    m_statSums.assign(m_statPlan.size(), 0.0);
    const auto& rows = getAllDatas();
    for (const auto& data : rows) {
        const auto* row = static_cast<const HpfBrowserData*>(data.get());
        const int quotes = row->quoteValues.size();
        const int indicators = row->indicatorValues.size();
        for (size_t k = 0; k < m_statPlan.size(); ++k) {
            const StatSlot& s = m_statPlan[k];
            double v;
            if (s.indicator >= 0) {
                if (s.indicator >= indicators)
                    continue;
                const QVariant& value = row->indicatorValues[s.indicator];
                if (value.userType() == QMetaType::Double) {
                    v = *static_cast<const double*>(value.constData());
                } else {
                    bool ok = false;
                    v = value.toDouble(&ok);
                    if (!ok)
                        continue;
                }
                if (!std::isfinite(v))
                    continue;
            } else if (s.quote >= 0 && s.quote < quotes) {
                v = row->quoteValues[s.quote];
            } else {
                continue;
            }
            if (!isNoValue(v) && !std::isnan(v))
                m_statSums[k] += v;
        }
    }
    // n counts every row, with or without a value
    const double n = double(rows.size());
    size_t k = 0;
    for (auto it = m_statTexts.begin(); it != m_statTexts.end(); ++it, ++k) {
        const int column = it.key();
        const double sum = m_statSums[k];
        const double average = n > 0 ? sum / n : kNoValue;
        if (column == kRatioColumn)
            it.value() = XP::formatDoubleNumber(average, 2, XP::FMT_PERCENT, true, kInvalidStat);
        else
            it.value() = XP::formatDoubleNumber(m_statModes.value(column) == 1 ? average : sum, 2,
                                                XP::FMT_BIGVALUE, true, kInvalidStat);
    }
}

void CHpfBrowserDataModel::attachRow(HpfBrowserData& row)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    row.tables = m_tables;
}

void CHpfBrowserDataModel::fitRow(HpfBrowserData& row, int columns) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const int quotes = nextQuoteSlot();
    if (row.quoteValues.size() < quotes) {
        const int old = row.quoteValues.size();
        row.quoteValues.resize(quotes);
        row.quotePrecisions.resize(quotes);
        for (int i = old; i < quotes; ++i) {
            row.quoteValues[i] = kNoValue;
            row.quotePrecisions[i] = 3;
        }
    }
    const int indicators = m_tables->indicatorCount();
    while (row.indicatorValues.size() < indicators)
        row.indicatorValues.append(QVariant(kNoValue));
    if (row.textColors.size() < columns)
        row.textColors.resize(columns);
}

void CHpfBrowserDataModel::clearValues()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (const auto& data : getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        std::fill(row->quoteValues.begin(), row->quoteValues.end(), kNoValue);
    }
    notifyValuesChanged();
}

HpfBrowserDataPtr CHpfBrowserDataModel::rowAt(int index) const
{
    return boost::static_pointer_cast<HpfBrowserData>(getData(index));
}

HpfBrowserDataPtr CHpfBrowserDataModel::rowByKey(const QString& key) const
{
    return boost::static_pointer_cast<HpfBrowserData>(getDataByKey(key));
}

} // namespace TC

#include "browse/HpfBrowserData.h"

#include "browse/BrowseTypes.h"
#include "host/data/Config.h"
#include "host/data/StockManager.h"
#include "host/toolkit/NumberFormat.h"
#include "host/toolkit/UiResource.h"

#include <cmath>
#include <limits>

namespace TC {

namespace {

const QString kDash = QStringLiteral("-");
constexpr qint64 kLonglongMax = std::numeric_limits<qint64>::max();
constexpr qint64 kLonglongMin = std::numeric_limits<qint64>::min();

} // namespace

qint64 HpfBrowserData::toLonglong(double v)
{
    if (std::isnan(v) || v >= 9.2233720368547758e18)
        return kLonglongMax;
    if (v <= -9.2233720368547758e18)
        return kLonglongMin;
    return qint64(v);
}

void HpfBrowserData::initValues(int quoteSlots, int indicatorSlots, int columns, int precision)
{
    quoteValues.fill(kNoValue, quoteSlots);
    quotePrecisions.fill(qint8(precision), quoteSlots);
    indicatorValues.fill(QVariant(kNoValue), indicatorSlots);
    textColors.fill(0, columns);
}

double HpfBrowserData::quoteValue(int slot) const
{
    return slot >= 0 && slot < quoteValues.size() ? quoteValues[slot] : kNoValue;
}

double HpfBrowserData::indicatorDouble(int slot) const
{
    if (slot < 0 || slot >= indicatorValues.size())
        return kNoValue;
    bool ok = false;
    const double v = indicatorValues[slot].toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return kNoValue;
    return v;
}

QString HpfBrowserData::formatNumber(int column, double v, int p)
{
    switch (p) {
    case -5: return kDash;
    case -4: return XP::formatDoubleNumber(v * 100.0, 3, 0, true, kDash);
    case -3: return XP::formatDoubleNumber(v, 2, XP::FMT_PERCENT, true, kDash);
    case -2: return XP::formatDoubleNumber(v, 2, XP::FMT_BIGVALUE, true, kDash);
    case -6: {
        int unit = 1;
        if (isShSzMarket(market) && !TC::getUserConfig()->getVolumeFlag())
            unit = ttservice::getStockTradeUnit(market, code);
        if (unit < 1)
            unit = 1; // unknown instruments have no lot size
        const qint64 lots = getLonglong(column);
        if (lots == kLonglongMax || lots == kLonglongMin)
            return kDash;
        return XP::formatLonglongNumber(lots / unit, 0, 0, kDash);
    }
    default: return XP::formatDoubleNumber(v, p < 0 ? 2 : p, 0, true, kDash);
    }
}

QString HpfBrowserData::getText(int column)
{
    switch (column) {
    case 0: return code;
    case 1: return name;
    case 2: return industry.isEmpty() && !industryFallback.isEmpty() ? industryFallback : industry;
    default: break;
    }
    const BrowseColumnTables* t = tables.get();
    if (!t)
        return QString();
    switch (t->valueTypeOf(column)) {
    case 0: break; // not listed
    case ValueType_Text: return getString(column);
    case ValueType_Longlong: return XP::formatLonglongNumber(getLonglong(column), 0, 0, kDash);
    case ValueType_Double: return XP::formatDoubleNumber(getDouble(column), 3, 0, true, kDash);
    default: return QString();
    }
    int precision = 2;
    const int indicator = t->indicatorSlotOf(column);
    if (indicator >= 0) {
        if (indicator < t->indicatorCount())
            precision = t->indicatorPrecisionOf(indicator);
    } else {
        const int slot = t->quoteSlotOf(column);
        if (slot >= 0 && slot < quotePrecisions.size())
            precision = quotePrecisions[slot];
    }
    const double v = getDouble(column);
    if (isNoValue(v))
        return kDash;
    return formatNumber(column, v, precision);
}

QString HpfBrowserData::getString(int column)
{
    switch (column) {
    case 0: return code;
    case 1: return name;
    case 2: return industry;
    default: break;
    }
    const BrowseColumnTables* t = tables.get();
    if (!t)
        return kDash;
    const int indicator = t->indicatorSlotOf(column);
    if (indicator >= 0) {
        if (indicator >= indicatorValues.size())
            return kDash;
        const QVariant& v = indicatorValues[indicator];
        if (v.userType() == QMetaType::Double && isNoValue(v.toDouble()))
            return kDash;
        const QString s = v.toString();
        return s.isEmpty() ? kDash : s;
    }
    const int quoteId = t->quoteIdOf(column);
    if (quoteId == QC_LINK_CODE)
        return underlyingCode;
    if (quoteId == QC_LINK_NAME)
        return underlyingName;
    const int slot = t->quoteSlotOf(column);
    if (slot >= 0)
        return XP::formatDoubleNumber(quoteValue(slot), 3, 0, true, kDash);
    return kDash;
}

int HpfBrowserData::getInt(int)
{
    return 2147483647;
}

double HpfBrowserData::getDouble(int column)
{
    const BrowseColumnTables* t = tables.get();
    if (!t)
        return 0.0;
    const int indicator = t->indicatorSlotOf(column);
    if (indicator >= 0)
        return indicatorDouble(indicator);
    const int slot = t->quoteSlotOf(column);
    if (slot >= 0)
        return quoteValue(slot);
    return 0.0;
}

qint64 HpfBrowserData::getLonglong(int column)
{
    const BrowseColumnTables* t = tables.get();
    if (!t)
        return kLonglongMax;
    const int indicator = t->indicatorSlotOf(column);
    if (indicator >= 0) {
        if (indicator >= indicatorValues.size())
            return kLonglongMax;
        const QVariant& v = indicatorValues[indicator];
        if (v.userType() == QMetaType::Double || v.userType() == QMetaType::Float)
            return toLonglong(v.toDouble());
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        return ok ? n : kLonglongMax;
    }
    const int slot = t->quoteSlotOf(column);
    if (slot >= 0) {
        if (slot >= quoteValues.size())
            return kLonglongMin;
        return toLonglong(quoteValues[slot]);
    }
    return kLonglongMax;
}

const QColor* HpfBrowserData::getTextColor(int column)
{
    if (tables && column >= 0 && column < textColors.size()) {
        const auto& palette = tables->palette;
        const size_t index = textColors[column];
        if (index > 0 && index < palette.size() && palette[index].color)
            return palette[index].color;
    }
    // a cell without a colour, or whose key names none, draws as equal
    static const QString equalKey = QStringLiteral("ic_clr_browse_equal");
    return XP::CUiResource::instance().getColor(equalKey);
}

const QString* HpfBrowserData::getTextColorKey(int column) const
{
    if (!tables || column < 0 || column >= textColors.size())
        return nullptr;
    const size_t index = textColors[column];
    if (index == 0 || index >= tables->palette.size())
        return nullptr;
    return &tables->palette[index].key;
}

QString HpfBrowserData::getKey()
{
    return key;
}

} // namespace TC

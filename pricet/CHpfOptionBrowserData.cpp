#include "pricet/CHpfOptionBrowserData.h"

#include "host/data/InstrumentDetail.h"
#include "host/toolkit/NumberFormat.h"
#include "host/toolkit/UiResource.h"

#include <cmath>

namespace TC {

namespace {

constexpr double kEps = 1e-5;

const QString& invalidText()
{
    static const QString s = QStringLiteral("非法值");
    return s;
}

const QColor* color(const QString& key)
{
    return XP::CUiResource::instance().getColor(key);
}

const QColor* equalColor()
{
    return color(QStringLiteral("ic_clr_browse_equal"));
}

// Rise, fall or equal by a change; a theme without the key falls back to the equal colour.
const QColor* changeColor(double change)
{
    const QColor* c = nullptr;
    if (CHpfOptionBrowserData::isValid(change) && change > kEps)
        c = color(QStringLiteral("ic_clr_browse_rise"));
    else if (CHpfOptionBrowserData::isValid(change) && change < -kEps)
        c = color(QStringLiteral("ic_clr_browse_fall"));
    return c ? c : equalColor();
}

QString dateText(int ymd)
{
    return ymd > 0 ? QString::number(ymd) : QString();
}

} // namespace

std::atomic<int> CHpfOptionBrowserData::s_nSegmentFlag{0};

CHpfOptionBrowserData::CHpfOptionBrowserData(const QString& key, const QString& strikeText)
    : m_qsStrikeText(strikeText), m_qsKey(key),
      m_qsStrikeSortText(strikeText.rightJustified(24, QLatin1Char(' ')))
{
}

CHpfOptionBrowserData::~CHpfOptionBrowserData() = default;

bool CHpfOptionBrowserData::isValid(double v)
{
    return std::fabs(v - kUnset) > kEps && !std::isnan(v);
}

bool CHpfOptionBrowserData::isShown(double v)
{
    return isValid(v) && std::isfinite(v) && v != kNotComputed;
}

QString CHpfOptionBrowserData::rowKey(const ttservice::CInstrumentDetail* detail, int segmentFlag)
{
    if (!detail || !detail->hasOptionData())
        return QString();
    const QStringList pieces = detail->code.split(QLatin1Char('-'));
    const QString adjusted =
        detail->name.contains(QLatin1Char('A')) ? QStringLiteral("A") : QString();
    const QString strike =
        XP::formatDoubleNumber(detail->strike, 4, segmentFlag, true, invalidText());
    if (pieces.size() > 1)
        return pieces.front() + QLatin1Char('_') + strike + adjusted;
    return strike + adjusted;
}

QString CHpfOptionBrowserData::strikeTextOfKey(const QString& key)
{
    const int at = key.lastIndexOf(QLatin1Char('_'));
    return at < 0 ? key : key.mid(at + 1);
}

void CHpfOptionBrowserData::fillStatic(const ttservice::CInstrumentDetail& d, bool call)
{
    const double unit = d.contractUnit > 0 ? d.contractUnit : kUnset;
    const double vol = d.histVolatility > 0 ? d.histVolatility : kUnset;
    const double strike = d.strike > 0 ? d.strike : kUnset;
    if (call) {
        m_qsCallExpiryDate = dateText(d.expiryYmd);
        m_qsCallCode = d.code;
        m_dCallHistVolatility = vol;
        m_dCallStrike = strike;
        m_dCallContractUnit = unit;
        m_qsExerciseEndDate = dateText(d.expiryYmd);
    } else {
        m_qsPutExpiryDate = dateText(d.expiryYmd);
        m_qsPutCode = d.code;
        m_dPutHistVolatility = vol;
        m_dPutStrike = strike;
        m_dPutContractUnit = unit;
    }
}

double* CHpfOptionBrowserData::doubleField(int column)
{
    switch (column) {
    case 0: return &m_dCallMargin;
    case 1: return &m_dCallStrike;
    case 2: return &m_dCallContractUnit;
    case 7: return &m_dCallRho;
    case 8: return &m_dCallVega;
    case 9: return &m_dCallTheta;
    case 10: return &m_dCallGamma;
    case 11: return &m_dCallDelta;
    case 12: return &m_dCallRealLeverage;
    case 13: return &m_dCallLeverage;
    case 14: return &m_dCallPremiumRate;
    case 15: return &m_dCallHistVolatility;
    case 16: return &m_dCallTimeValue;
    case 17: return &m_dCallIntrinsicValue;
    case 18: return &m_dCallTheoreticalValue;
    case 19: return &m_dCallImpliedVolatility;
    case 20: return &m_dCallOpenInterest;
    case 22: return &m_dCallBid;
    case 23: return &m_dCallAsk;
    case 24: return &m_dCallChangePercent;
    case 25: return &m_dCallChange;
    case 26: return &m_dCallLast;
    case 30: return &m_dPutLast;
    case 31: return &m_dPutChange;
    case 32: return &m_dPutChangePercent;
    case 33: return &m_dPutAsk;
    case 34: return &m_dPutBid;
    case 36: return &m_dPutOpenInterest;
    case 37: return &m_dPutImpliedVolatility;
    case 38: return &m_dPutTheoreticalValue;
    case 39: return &m_dPutIntrinsicValue;
    case 40: return &m_dPutTimeValue;
    case 41: return &m_dPutHistVolatility;
    case 42: return &m_dPutPremiumRate;
    case 43: return &m_dPutLeverage;
    case 44: return &m_dPutRealLeverage;
    case 45: return &m_dPutDelta;
    case 46: return &m_dPutGamma;
    case 47: return &m_dPutTheta;
    case 48: return &m_dPutVega;
    case 49: return &m_dPutRho;
    case 54: return &m_dPutContractUnit;
    case 55: return &m_dPutStrike;
    case 56: return &m_dPutMargin;
    default: return nullptr;
    }
}

QString CHpfOptionBrowserData::getText(int column)
{
    switch (column) {
    case 2:
    case 20:
    case 36:
    case 54: {
        const double v = *doubleField(column);
        return isShown(v) ? XP::formatDoubleNumber(v, 0, segmentFlag(), true, invalidText())
                          : QStringLiteral("-");
    }
    case 24:
    case 32: {
        const double v = *doubleField(column);
        return isShown(v) ? XP::formatDoubleNumber(v, 2, XP::FMT_PERCENT, true, invalidText())
                          : QStringLiteral("-");
    }
    case 21:
    case 35: return XP::formatIntNumber(getInt(column), 0, segmentFlag(), QStringLiteral("-"));
    case 3:
    case 4:
    case 5:
    case 6:
    case 27:
    case 29:
    case 50:
    case 51:
    case 52:
    case 53: return getString(column);
    case 28: return m_qsStrikeText;
    default: break;
    }
    // every other column of 0..56 holds a double (the strike, Greeks, prices, values)
    const double* field = doubleField(column);
    if (!field || !isShown(*field))
        return QStringLiteral("-");
    return XP::formatDoubleNumber(*field, 4, segmentFlag(), true, invalidText());
}

QString CHpfOptionBrowserData::getString(int column)
{
    switch (column) {
    case 3:
    case 53: return m_qsExerciseStyle;
    case 4:
    case 52: return m_qsExerciseEndDate;
    case 5: return m_qsCallExpiryDate;
    case 51: return m_qsPutExpiryDate;
    case 27: return m_qsCallCode;
    case 29: return m_qsPutCode;
    case 28: return m_qsStrikeSortText;
    case 6:
    case 50: {
        const double v = column == 6 ? m_dCallHistVolatility : m_dPutHistVolatility;
        if (!isShown(v))
            return QStringLiteral("-");
        return XP::formatDoubleNumber(v * 100.0, 2, 0, true, invalidText());
    }
    default: return QString();
    }
}

int CHpfOptionBrowserData::getInt(int column)
{
    if (column == 21)
        return m_nCallVolume;
    if (column == 35)
        return m_nPutVolume;
    return kUnsetInt;
}

double CHpfOptionBrowserData::getDouble(int column)
{
    const double* field = doubleField(column);
    return field ? *field : kUnset;
}

qint64 CHpfOptionBrowserData::getLonglong(int)
{
    return 9223372036854775807LL;
}

const QColor* CHpfOptionBrowserData::getTextColor(int column)
{
    if (column == 1 || (column >= 22 && column <= 26))
        return changeColor(m_dCallChange);
    if ((column >= 30 && column <= 34) || column == 55)
        return changeColor(m_dPutChange);
    const QColor* c = nullptr;
    if (column == 27 || column == 29)
        c = color(QStringLiteral("ic_clr_browse_stock_code"));
    else if (column == kStrikeColumn)
        c = color(QStringLiteral("ic_clr_browse_stock_name"));
    return c ? c : equalColor();
}

const QColor* CHpfOptionBrowserData::getBackgroundColor(int column)
{
    if (column < 0 || column >= kColumnCount)
        return nullptr;
    const bool underlying = isValid(m_dUnderlyingPrice);
    if (column < kStrikeColumn) {
        if (underlying && isValid(m_dCallStrike) && m_dUnderlyingPrice - m_dCallStrike > kEps)
            return color(QStringLiteral("ic_clr_table_motion_rise_bg1"));
        return nullptr;
    }
    if (column > kStrikeColumn) {
        if (underlying && isValid(m_dPutStrike) && m_dPutStrike - m_dUnderlyingPrice > kEps)
            return color(QStringLiteral("ic_clr_table_motion_rise_bg1"));
        return nullptr;
    }
    if (!underlying || !isValid(m_dCallStrike))
        return nullptr;
    if (m_nStrikePosition == 1)
        return color(QStringLiteral("ic_clr_table_above_exercise_price_bg1"));
    if (m_nStrikePosition == 2)
        return color(QStringLiteral("ic_clr_table_under_exercise_price_bg1"));
    return color(QStringLiteral("ic_clr_table_motion_rise_bg1"));
}

} // namespace TC

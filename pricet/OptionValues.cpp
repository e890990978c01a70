#include "pricet/OptionValues.h"

#include "host/data/GreekAndOptionsCalculator.h"
#include "host/data/HostClock.h"
#include "host/data/Quote.h"
#include "host/data/UserConfig.h"
#include "pricet/CHpfOptionBrowserData.h"

#include <QtCore/QDate>

#include <algorithm>
#include <climits>
#include <cmath>

namespace TC {

using namespace optionvalues;

namespace optionvalues {

bool isValid(double v)
{
    return std::fabs(v - kUnset) > kEps && std::isfinite(v);
}

int saturateVolume(long long volume)
{
    if (volume < 0)
        return kUnsetInt;
    return volume >= kUnsetInt ? kUnsetInt - 1 : int(volume);
}

} // namespace optionvalues

namespace {

// A value the calculator produced: set, finite and not its failure mark.
bool computed(double v)
{
    return isValid(v) && v != kNotComputed;
}

// A price field of a quote: zero means none.
double priceOrUnset(double v)
{
    return std::isfinite(v) && std::fabs(v) > kEps ? v : kUnset;
}

} // namespace

void parseFormulaResult(const quoter::QuoterAllData& q, bool validTime, bool stockMarket,
                        CTargetPriceData& out)
{
    out = CTargetPriceData();
    if (!validTime)
        return;
    const double bid = q.bidPrice[0], ask = q.askPrice[0];
    const bool hasBid = std::isfinite(bid) && std::fabs(bid) > kEps;
    const bool hasAsk = std::isfinite(ask) && std::fabs(ask) > kEps;
    const bool noLast = !std::isfinite(q.last) || std::fabs(q.last) <= kEps;
    const bool notTraded = stockMarket ? q.openInterestOrPhase == quoter::PhasePreOpen
                                             || q.openInterestOrPhase == quoter::PhaseSuspended
                                       : noLast && (hasBid || hasAsk);
    // derivatives compare with the previous settlement when the feed has one
    const double pre =
        priceOrUnset(q.preSettlement) != kUnset ? q.preSettlement : priceOrUnset(q.preClose);
    const bool hasPre = isValid(pre);
    if (notTraded) {
        // an untraded contract moves by its best quote; without one it has not moved
        const double ref = hasBid ? bid : hasAsk ? ask : kUnset;
        if (isValid(ref) && hasPre) {
            out.m_dChange = ref - pre;
            out.m_dChangePercent = out.m_dChange / pre;
        }
    } else if (!noLast) {
        out.m_dLast = q.last;
        if (hasPre) {
            out.m_dChange = q.last - pre;
            out.m_dChangePercent = out.m_dChange / pre;
        }
    }
    out.m_dOpenInterest = double(q.openInterestOrPhase);
    out.m_dBid = hasBid ? bid : kUnset;
    out.m_dAsk = hasAsk ? ask : kUnset;
    out.m_dAmount = q.amount;
    out.m_nVolume = saturateVolume(q.volume);
    out.m_nStatus = stockMarket ? int(q.openInterestOrPhase) : 0;
}

double estimateMargin(bool call, bool hasReference, double reference, double strike,
                      double preSettlement, double contractUnit)
{
    if (!isValid(preSettlement) || preSettlement <= kEps || !isValid(contractUnit)
        || contractUnit <= kEps || !isValid(strike))
        return kUnset;
    if (!hasReference || !isValid(reference))
        return 0.0;
    const double u = reference, k = strike, s = preSettlement;
    double perUnit;
    if (call) {
        const double otm = std::max(k - u, 0.0);
        perUnit = s + std::max(0.12 * u - otm, 0.07 * u);
    } else {
        const double otm = std::max(u - k, 0.0);
        perUnit = std::min(s + std::max(0.12 * u - otm, 0.07 * k), k);
    }
    return perUnit * contractUnit * 1.2;
}

void computeOptionValues(const COptionContract& c, const CTargetPriceData& snap, double underlying,
                         double days, const COptionEnvironment& env,
                         std::map<std::string, double>& scratch, COptionResult& out)
{
    out.leverage = out.realLeverage = out.premiumRate = out.intrinsic = out.timeValue =
        out.theoretical = out.implied = kNotComputed;
    out.delta = out.gamma = out.vega = out.theta = out.rho = kUnset;
    out.margin = estimateMargin(c.call, env.hasMarginReference, env.marginReference, c.strike,
                                c.preSettlement, c.contractUnit);

    const double last = snap.m_dLast;
    if (!isValid(underlying) || !isValid(c.strike) || !isValid(last))
        return;
    const auto* calc = ttservice::GreekAndOptionsCalculator::instance();
    const bool call = c.call;
    out.intrinsic = call ? calc->calcCallIntrinsicValue(underlying, c.strike)
                         : calc->calcPutIntrinsicValue(underlying, c.strike);
    out.theoretical = call ? calc->calcCallTheroticalValue(underlying, c.strike, -last)
                           : calc->calcPutTheroticalValue(underlying, c.strike, -last);
    if (c.multiplier != kUnsetInt)
        out.premiumRate = call ? calc->calcCallPremiumRate(c.strike, last, c.multiplier, underlying)
                               : calc->calcPutPremiumRate(c.strike, last, c.multiplier, underlying);
    if (computed(out.intrinsic))
        out.timeValue = calc->calcTimeValue(last, out.intrinsic);
    if (!(days > kEps) || !isValid(c.rate))
        return;
    out.implied =
        call ? calc->calcCallImpliedVolatility(underlying, c.strike, days, 0, c.rate, last, 1.5)
             : calc->calcPutImpliedVolatility(underlying, c.strike, days, 0, c.rate, last, 1.5);
    if (!isValid(c.histVolatility) && !env.haldenMode)
        return;
    double sigma = env.haldenMode ? out.implied : c.histVolatility;
    if (env.userConfig)
        env.userConfig->getHistoryRate(sigma, c.expiryText, env.underlyingKey);
    out.leverage = calc->calcLeverageRatio(last, underlying, 1.0);
    const bool ok = computed(sigma)
                    && (call ? calc->calcCallGreeks(scratch, underlying, c.strike, days, 0, c.rate,
                                                    sigma, env.benchmark)
                             : calc->calcPutGreeks(scratch, underlying, c.strike, days, 0, c.rate,
                                                   sigma, env.benchmark));
    if (ok) {
        // the keys fit the short-string buffer: reading them allocates nothing
        auto read = [&scratch](const char* key) {
            const auto it = scratch.find(key);
            return it == scratch.end() ? 0.0 : it->second;
        };
        out.delta = read(call ? "C_Delta" : "P_Delta");
        out.rho = read(call ? "C_Rho" : "P_Rho");
        out.vega = read(call ? "C_Vega" : "P_Vega");
        out.theta = read(call ? "C_Theta" : "P_Theta");
        out.gamma = read(call ? "C_Gamma" : "P_Gamma");
    }
    if (computed(out.delta) && computed(out.leverage))
        out.realLeverage = calc->calcRealLeverageRatio(out.delta, out.leverage);
}

void storeOptionValues(CHpfOptionBrowserData& row, bool call, double underlying,
                       const CTargetPriceData& snap, const COptionResult& v)
{
    row.m_dUnderlyingPrice = underlying;
    const double intrinsic = v.intrinsic > kEps ? v.intrinsic : kUnset;
    const double timeValue = v.timeValue > kEps ? v.timeValue : kUnset;
    if (call) {
        row.m_dCallLast = snap.m_dLast;
        row.m_dCallOpenInterest = snap.m_dOpenInterest;
        row.m_dCallBid = snap.m_dBid;
        row.m_dCallAsk = snap.m_dAsk;
        row.m_dCallChangePercent = snap.m_dChangePercent;
        row.m_dCallChange = snap.m_dChange;
        row.m_dCallLeverage = v.leverage;
        row.m_dCallRealLeverage = v.realLeverage;
        row.m_dCallPremiumRate = v.premiumRate;
        row.m_dCallIntrinsicValue = intrinsic;
        row.m_dCallTimeValue = timeValue;
        row.m_dCallTheoreticalValue = v.theoretical;
        row.m_dCallImpliedVolatility = v.implied;
        row.m_nCallVolume = snap.m_nVolume;
        row.m_dCallDelta = v.delta;
        row.m_dCallGamma = v.gamma;
        row.m_dCallVega = v.vega;
        row.m_dCallTheta = v.theta;
        row.m_dCallRho = v.rho;
        row.m_dCallMargin = v.margin;
    } else {
        row.m_dPutLast = snap.m_dLast;
        row.m_dPutOpenInterest = snap.m_dOpenInterest;
        row.m_dPutBid = snap.m_dBid;
        row.m_dPutAsk = snap.m_dAsk;
        row.m_dPutChangePercent = snap.m_dChangePercent;
        row.m_dPutChange = snap.m_dChange;
        row.m_dPutLeverage = v.leverage;
        row.m_dPutRealLeverage = v.realLeverage;
        row.m_dPutPremiumRate = v.premiumRate;
        row.m_dPutIntrinsicValue = intrinsic;
        row.m_dPutTimeValue = timeValue;
        row.m_dPutTheoreticalValue = v.theoretical;
        row.m_dPutImpliedVolatility = v.implied;
        row.m_nPutVolume = snap.m_nVolume;
        row.m_dPutDelta = v.delta;
        row.m_dPutGamma = v.gamma;
        row.m_dPutVega = v.vega;
        row.m_dPutTheta = v.theta;
        row.m_dPutRho = v.rho;
        row.m_dPutMargin = v.margin;
    }
}

void updateStrikePositions(const std::vector<CHpfOptionBrowserData*>& rows, double price)
{
    if (!isValid(price) || std::fabs(price) <= kEps)
        return;
    double lower = kUnset, upper = kUnset;
    auto strikeOf = [](const CHpfOptionBrowserData* r) {
        return isValid(r->m_dCallStrike) ? r->m_dCallStrike : r->m_dPutStrike;
    };
    for (const CHpfOptionBrowserData* r : rows) {
        const double k = strikeOf(r);
        if (!isValid(k))
            continue;
        if (std::fabs(k - price) <= kEps) {
            lower = k;
            break;
        }
        if (k < price - kEps && (!isValid(lower) || k > lower))
            lower = k;
        else if (k > price + kEps && (!isValid(upper) || k < upper))
            upper = k;
    }
    const bool hasUpper = isValid(upper) && std::fabs(upper) > kEps;
    const bool hasLower = isValid(lower) && std::fabs(lower) > kEps;
    for (CHpfOptionBrowserData* r : rows) {
        const double k = strikeOf(r);
        if (hasUpper && isValid(k) && std::fabs(k - upper) <= kEps)
            r->m_nStrikePosition = 1;
        else if (hasLower && isValid(k) && std::fabs(k - lower) <= kEps)
            r->m_nStrikePosition = 2;
        else
            r->m_nStrikePosition = 0;
    }
}

int naturalDays(int fromDay, int toDay)
{
    return toDay - fromDay;
}

int dayOfYmd(int ymd)
{
    const QDate d(ymd / 10000, ymd / 100 % 100, ymd % 100);
    if (ymd <= 0 || !d.isValid())
        return 0;
    return int(d.toJulianDay() - QDate(1970, 1, 1).toJulianDay());
}

int marketToday()
{
    const int64_t sec = HostClock::nowMs() / 1000 + HostClock::kMarketUtcOffsetSec;
    return int(sec >= 0 ? sec / 86400 : (sec - 86399) / 86400);
}

} // namespace TC

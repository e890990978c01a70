// The only translation unit that includes the pricing library.
#include "host/data/GreekAndOptionsCalculator.h"

#include <ql/instruments/payoffs.hpp>
#include <ql/math/distributions/normaldistribution.hpp>
#include <ql/math/solvers1d/brent.hpp>
#include <ql/pricingengines/blackcalculator.hpp>
#include <ql/pricingengines/vanilla/baroneadesiwhaleyengine.hpp>

#include <algorithm>
#include <cmath>

namespace ttservice {

namespace {

constexpr double kDaysPerYear = 365.0;

// also refuses the no-value mark (the largest double) that unset quote fields carry
bool finite(double v)
{
    return std::isfinite(v) && std::fabs(v) < 1e300;
}

struct Inputs {
    QuantLib::Option::Type type;
    double spot, strike, t, q, rate, sigma;
    EExerciseStyle style;

    bool valid() const
    {
        return finite(spot) && finite(strike) && finite(t) && finite(q) && finite(rate)
               && finite(sigma) && spot > 0.0 && strike > 0.0 && t > 0.0 && sigma > 0.0;
    }
};

double europeanPrice(const Inputs& in)
{
    const double rd = std::exp(-in.rate * in.t);
    const double dd = std::exp(-in.q * in.t);
    const double forward = in.spot * dd / rd;
    const QuantLib::BlackCalculator black(in.type, in.strike, forward, in.sigma * std::sqrt(in.t),
                                          rd);
    return black.value();
}

// Barone-Adesi and Whaley (1987): the European value plus an early-exercise premium
// a (S/S*)^Q below (call) or above (put) the critical price S*, whose search is the
// library's.
double americanPrice(const Inputs& in)
{
    const double rd = std::exp(-in.rate * in.t);
    const double dd = std::exp(-in.q * in.t);
    const double variance = in.sigma * in.sigma * in.t;
    const double european = europeanPrice(in);
    const bool call = in.type == QuantLib::Option::Call;
    if (call && dd >= 1.0) // no carry cost to capture: never exercised early
        return european;

    const auto payoff =
        QuantLib::ext::make_shared<QuantLib::PlainVanillaPayoff>(in.type, in.strike);
    double sk = 0.0;
    try {
        sk =
            QuantLib::BaroneAdesiWhaleyApproximationEngine::criticalPrice(payoff, rd, dd, variance);
    } catch (...) {
        // the critical-price search fails for a vanishing variance, where the value tends to
        // the larger of the European value and immediate exercise
        const double intrinsic = call ? in.spot - in.strike : in.strike - in.spot;
        return std::max(european, intrinsic);
    }
    const double forwardSk = sk * dd / rd;
    const double d1 = (std::log(forwardSk / in.strike) + 0.5 * variance) / std::sqrt(variance);
    const double n = 2.0 * std::log(dd / rd) / variance;
    const double k = std::fabs(1.0 - rd) > 1e-12 ? -2.0 * std::log(rd) / (variance * (1.0 - rd))
                                                 : 2.0 / variance; // the limit for r -> 0
    const QuantLib::CumulativeNormalDistribution cdf;
    if (call) {
        const double qu = (-(n - 1.0) + std::sqrt((n - 1.0) * (n - 1.0) + 4.0 * k)) / 2.0;
        const double a = (sk / qu) * (1.0 - dd * cdf(d1));
        return in.spot < sk ? european + a * std::pow(in.spot / sk, qu) : in.spot - in.strike;
    }
    const double qu = (-(n - 1.0) - std::sqrt((n - 1.0) * (n - 1.0) + 4.0 * k)) / 2.0;
    const double a = -(sk / qu) * (1.0 - dd * cdf(-d1));
    return in.spot > sk ? european + a * std::pow(in.spot / sk, qu) : in.strike - in.spot;
}

double modelPrice(const Inputs& in)
{
    return in.style == eExerciseAmerican ? americanPrice(in) : europeanPrice(in);
}

double price(QuantLib::Option::Type type, double s, double k, double days, double q, double r,
             double sigma, EExerciseStyle style)
{
    const Inputs in{type, s, k, days / kDaysPerYear, q, r, sigma, style};
    if (finite(s) && finite(k) && finite(days) && s > 0.0 && k > 0.0 && days == 0.0)
        return type == QuantLib::Option::Call ? std::max(s - k, 0.0) : std::max(k - s, 0.0);
    if (!in.valid())
        return GreekAndOptionsCalculator::kInvalid;
    try {
        const double v = modelPrice(in);
        return finite(v) ? v : GreekAndOptionsCalculator::kInvalid;
    } catch (...) { // the library reports bad input by exception
        return GreekAndOptionsCalculator::kInvalid;
    }
}

double impliedVolatility(QuantLib::Option::Type type, double s, double k, double days, double q,
                         double r, double target, double maxSigma, EExerciseStyle style)
{
    constexpr double kMinSigma = 0.0001;
    if (!finite(target) || !finite(maxSigma) || target <= 0.0 || maxSigma <= kMinSigma)
        return GreekAndOptionsCalculator::kInvalid;
    Inputs in{type, s, k, days / kDaysPerYear, q, r, kMinSigma, style};
    if (!in.valid())
        return GreekAndOptionsCalculator::kInvalid;
    try {
        auto error = [&](double sigma) {
            Inputs at = in;
            at.sigma = sigma;
            return modelPrice(at) - target;
        };
        const double lo = error(kMinSigma);
        const double hi = error(maxSigma);
        if (std::fabs(lo) < 1e-10)
            return kMinSigma;
        if (lo > 0.0 || hi < 0.0) // below the zero-volatility value or above the ceiling
            return GreekAndOptionsCalculator::kInvalid;
        QuantLib::Brent solver;
        solver.setMaxEvaluations(200);
        const double sigma = solver.solve(error, 1e-8, std::min(0.3, (kMinSigma + maxSigma) / 2.0),
                                          kMinSigma, maxSigma);
        return finite(sigma) ? sigma : GreekAndOptionsCalculator::kInvalid;
    } catch (...) {
        return GreekAndOptionsCalculator::kInvalid;
    }
}

struct Greeks {
    double delta, gamma, vega, theta, rho; // per unit: vega per 1.00, theta per year
};

bool europeanGreeks(const Inputs& in, Greeks& g)
{
    const double rd = std::exp(-in.rate * in.t);
    const double dd = std::exp(-in.q * in.t);
    const double forward = in.spot * dd / rd;
    const QuantLib::BlackCalculator black(in.type, in.strike, forward, in.sigma * std::sqrt(in.t),
                                          rd);
    g.delta = black.delta(in.spot);
    g.gamma = black.gamma(in.spot);
    g.vega = black.vega(in.t);
    g.theta = black.theta(in.spot, in.t);
    g.rho = black.rho(in.t);
    return true;
}

// central differences over the approximation, which has no closed-form Greeks
bool americanGreeks(const Inputs& in, Greeks& g)
{
    auto at = [&](double ds, double dsigma, double dr, double dt) {
        Inputs x = in;
        x.spot += ds;
        x.sigma += dsigma;
        x.rate += dr;
        x.t += dt;
        return americanPrice(x);
    };
    const double p0 = americanPrice(in);
    const double hs = in.spot * 0.001;
    const double up = at(hs, 0, 0, 0), down = at(-hs, 0, 0, 0);
    g.delta = (up - down) / (2.0 * hs);
    g.gamma = (up - 2.0 * p0 + down) / (hs * hs);
    const double hv = std::min(0.001, in.sigma / 2.0);
    g.vega = (at(0, hv, 0, 0) - at(0, -hv, 0, 0)) / (2.0 * hv);
    const double hr = 1e-5;
    g.rho = (at(0, 0, hr, 0) - at(0, 0, -hr, 0)) / (2.0 * hr);
    // time passing shortens the life: theta = -dV/dT
    const double ht = std::min(1.0 / kDaysPerYear, in.t / 2.0);
    g.theta = -(p0 - at(0, 0, 0, -ht)) / ht;
    return finite(g.delta) && finite(g.gamma) && finite(g.vega) && finite(g.theta) && finite(g.rho);
}

bool greeks(std::map<std::string, double>& result, const char* prefix, QuantLib::Option::Type type,
            double s, double k, double days, double q, double r, double sigma, int benchmark,
            EExerciseStyle style)
{
    const Inputs in{type, s, k, days / kDaysPerYear, q, r, sigma, style};
    if (!in.valid())
        return false;
    Greeks g{};
    try {
        if (!(style == eExerciseAmerican ? americanGreeks(in, g) : europeanGreeks(in, g)))
            return false;
    } catch (...) {
        return false;
    }
    if (benchmark == eGreekPerPoint) {
        g.vega /= 100.0;
        g.rho /= 100.0;
        g.theta /= kDaysPerYear;
    }
    const std::string p(prefix);
    result[p + "Delta"] = g.delta;
    result[p + "Gamma"] = g.gamma;
    result[p + "Vega"] = g.vega;
    result[p + "Theta"] = g.theta;
    result[p + "Rho"] = g.rho;
    return true;
}

bool validPrice(double v)
{
    return finite(v) && v > 0.0;
}

} // namespace

GreekAndOptionsCalculator* GreekAndOptionsCalculator::instance()
{
    static GreekAndOptionsCalculator calculator;
    return &calculator;
}

double GreekAndOptionsCalculator::calcCallIntrinsicValue(double underlying, double strike) const
{
    return finite(underlying) && finite(strike) ? std::max(underlying - strike, 0.0) : kInvalid;
}

double GreekAndOptionsCalculator::calcPutIntrinsicValue(double underlying, double strike) const
{
    return finite(underlying) && finite(strike) ? std::max(strike - underlying, 0.0) : kInvalid;
}

double GreekAndOptionsCalculator::calcTimeValue(double lastPrice, double intrinsic) const
{
    return finite(lastPrice) && finite(intrinsic) ? lastPrice - intrinsic : kInvalid;
}

double GreekAndOptionsCalculator::calcCallTheroticalValue(double underlying, double strike,
                                                          double offset) const
{
    return finite(strike) && finite(offset) ? strike - offset : kInvalid;
}

double GreekAndOptionsCalculator::calcPutTheroticalValue(double underlying, double strike,
                                                         double offset) const
{
    return finite(strike) && finite(offset) ? strike + offset : kInvalid;
}

double GreekAndOptionsCalculator::calcCallPremiumRate(double strike, double lastPrice,
                                                      int multiplier, double underlying) const
{
    if (!validPrice(underlying) || !finite(strike) || !finite(lastPrice) || multiplier <= 0)
        return kInvalid;
    return (strike + lastPrice - underlying) / underlying;
}

double GreekAndOptionsCalculator::calcPutPremiumRate(double strike, double lastPrice,
                                                     int multiplier, double underlying) const
{
    if (!validPrice(underlying) || !finite(strike) || !finite(lastPrice) || multiplier <= 0)
        return kInvalid;
    return (underlying + lastPrice - strike) / underlying;
}

double GreekAndOptionsCalculator::calcLeverageRatio(double lastPrice, double underlying,
                                                    double ratio) const
{
    if (!validPrice(lastPrice) || !finite(underlying) || !finite(ratio) || ratio == 0.0)
        return kInvalid;
    return underlying / (lastPrice * ratio);
}

double GreekAndOptionsCalculator::calcRealLeverageRatio(double delta, double leverage) const
{
    if (!finite(delta) || !finite(leverage) || leverage == kInvalid)
        return kInvalid;
    return std::fabs(delta) * leverage;
}

double GreekAndOptionsCalculator::calcCallPrice(double underlying, double strike, double days,
                                                double q, double rate, double sigma,
                                                EExerciseStyle style) const
{
    return price(QuantLib::Option::Call, underlying, strike, days, q, rate, sigma, style);
}

double GreekAndOptionsCalculator::calcPutPrice(double underlying, double strike, double days,
                                               double q, double rate, double sigma,
                                               EExerciseStyle style) const
{
    return price(QuantLib::Option::Put, underlying, strike, days, q, rate, sigma, style);
}

double GreekAndOptionsCalculator::calcCallImpliedVolatility(double underlying, double strike,
                                                            double days, double q, double rate,
                                                            double price, double maxSigma,
                                                            EExerciseStyle style) const
{
    return impliedVolatility(QuantLib::Option::Call, underlying, strike, days, q, rate, price,
                             maxSigma, style);
}

double GreekAndOptionsCalculator::calcPutImpliedVolatility(double underlying, double strike,
                                                           double days, double q, double rate,
                                                           double price, double maxSigma,
                                                           EExerciseStyle style) const
{
    return impliedVolatility(QuantLib::Option::Put, underlying, strike, days, q, rate, price,
                             maxSigma, style);
}

bool GreekAndOptionsCalculator::calcCallGreeks(std::map<std::string, double>& result,
                                               double underlying, double strike, double days,
                                               double q, double rate, double sigma, int benchmark,
                                               EExerciseStyle style) const
{
    return greeks(result, "C_", QuantLib::Option::Call, underlying, strike, days, q, rate, sigma,
                  benchmark, style);
}

bool GreekAndOptionsCalculator::calcPutGreeks(std::map<std::string, double>& result,
                                              double underlying, double strike, double days,
                                              double q, double rate, double sigma, int benchmark,
                                              EExerciseStyle style) const
{
    return greeks(result, "P_", QuantLib::Option::Put, underlying, strike, days, q, rate, sigma,
                  benchmark, style);
}

} // namespace ttservice

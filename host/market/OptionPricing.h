#pragma once
// Black-Scholes closed form for the simulator's option quotes. The full calculator with
// Greeks and American styles is the trading side's; this only keeps the simulated option
// prices consistent with their underlyings.

#include <algorithm>
#include <cmath>

namespace ttmarket {

inline double normCdf(double x)
{
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

// European price; t in years. Degenerate inputs give the intrinsic value.
inline double blackScholes(bool call, double spot, double strike, double t, double rate, double vol)
{
    if (spot <= 0.0 || strike <= 0.0)
        return 0.0;
    const double intrinsic = call ? std::max(spot - strike, 0.0) : std::max(strike - spot, 0.0);
    if (t <= 0.0 || vol <= 0.0)
        return intrinsic;
    const double sq = vol * std::sqrt(t);
    const double d1 = (std::log(spot / strike) + (rate + 0.5 * vol * vol) * t) / sq;
    const double d2 = d1 - sq;
    const double df = std::exp(-rate * t);
    if (call)
        return spot * normCdf(d1) - strike * df * normCdf(d2);
    return strike * df * normCdf(-d2) - spot * normCdf(-d1);
}

// The volatility the simulator quotes an option at: the instrument's level at the money, a
// smile with a put skew around it (wings and low strikes above the at-the-money level).
inline double smileVolatility(double atTheMoney, double spot, double strike)
{
    if (spot <= 0.0 || strike <= 0.0)
        return atTheMoney;
    const double m = std::log(strike / spot);
    return std::clamp(atTheMoney * (1.0 + 2.0 * m * m - 0.6 * m), 0.05, 1.5);
}

} // namespace ttmarket

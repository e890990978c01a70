#pragma once
// Option values, Greeks and implied volatility. European contracts use the analytic
// Black-Scholes-Merton formulas, American ones the Barone-Adesi-Whaley approximation (Greeks
// by central differences over it). The pricing library stays inside the .cpp.
//
// Conventions: days are calendar days to expiry (T = days / 365); rates and volatilities
// are annual decimals (0.05 for 5 %); q is the continuous dividend (or carry) yield.
// Results that cannot be computed are kInvalid.

#include <map>
#include <string>

namespace ttservice {

enum EExerciseStyle { eExerciseEuropean = 0, eExerciseAmerican = 1 };

// Units of the Greeks the board shows.
enum EOptionGreekBenchmark {
    eGreekPerUnit = 0, // vega and rho per 1.00 of volatility and rate, theta per year
    eGreekPerPoint = 1 // vega and rho per 1 % point, theta per calendar day
};

class GreekAndOptionsCalculator final {
public:
    static constexpr double kInvalid = -2147483648.0;

    static GreekAndOptionsCalculator* instance();

    double calcCallIntrinsicValue(double underlying, double strike) const;
    double calcPutIntrinsicValue(double underlying, double strike) const;
    // last price minus intrinsic value
    double calcTimeValue(double lastPrice, double intrinsic) const;
    // Break-even price of the underlying for a buyer: strike - offset (call) or strike + offset
    // (put); the board passes the option's last price negated as the offset.
    double calcCallTheroticalValue(double underlying, double strike, double offset) const;
    double calcPutTheroticalValue(double underlying, double strike, double offset) const;
    // How far the underlying must move for a buyer to break even, relative to its price:
    // (strike + price - underlying) / underlying for a call, (underlying + price - strike) /
    // underlying for a put. The multiplier scales price and strike alike and cancels out;
    // it only has to be positive.
    double calcCallPremiumRate(double strike, double lastPrice, int multiplier,
                               double underlying) const;
    double calcPutPremiumRate(double strike, double lastPrice, int multiplier,
                              double underlying) const;
    // underlying / (price x ratio)
    double calcLeverageRatio(double lastPrice, double underlying, double ratio) const;
    // |delta| x leverage
    double calcRealLeverageRatio(double delta, double leverage) const;

    // Theoretical price.
    double calcCallPrice(double underlying, double strike, double days, double q, double rate,
                         double sigma, EExerciseStyle style = eExerciseEuropean) const;
    double calcPutPrice(double underlying, double strike, double days, double q, double rate,
                        double sigma, EExerciseStyle style = eExerciseEuropean) const;

    // The volatility at which the model price equals the given price, searched in
    // [0.0001, maxSigma]; kInvalid when the price lies outside the model's range.
    double calcCallImpliedVolatility(double underlying, double strike, double days, double q,
                                     double rate, double price, double maxSigma,
                                     EExerciseStyle style = eExerciseEuropean) const;
    double calcPutImpliedVolatility(double underlying, double strike, double days, double q,
                                    double rate, double price, double maxSigma,
                                    EExerciseStyle style = eExerciseEuropean) const;

    // Fills "C_Delta", "C_Gamma", "C_Vega", "C_Theta", "C_Rho" (puts: "P_..."); returns false
    // and leaves the map alone on invalid input.
    bool calcCallGreeks(std::map<std::string, double>& result, double underlying, double strike,
                        double days, double q, double rate, double sigma, int benchmark,
                        EExerciseStyle style = eExerciseEuropean) const;
    bool calcPutGreeks(std::map<std::string, double>& result, double underlying, double strike,
                       double days, double q, double rate, double sigma, int benchmark,
                       EExerciseStyle style = eExerciseEuropean) const;

private:
    GreekAndOptionsCalculator() = default;
};

} // namespace ttservice

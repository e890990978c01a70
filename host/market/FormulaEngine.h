#pragma once
// Built-in indicator formulas over bar series, and the series functions they are made of.
// A value a formula cannot give yet (too few bars, zero divisor) is kFormulaInvalid.

#include "host/data/Quote.h"

#include <map>
#include <string>
#include <vector>

namespace ttmarket {

constexpr double kFormulaInvalid = 2147483647.0;
constexpr int kLineNumber = 0;
constexpr int kLineText = 10;

// Series functions. Elements marked kFormulaInvalid in an input are not valid values;
// results are kFormulaInvalid where their inputs do not suffice.
namespace series {
// Simple moving average of the last n values; invalid for the first n-1.
std::vector<double> ma(const std::vector<double>& x, int n);
// EMA(x, n): y0 = x0, y = (2x + (n-1) y') / (n+1).
std::vector<double> ema(const std::vector<double>& x, int n);
// SMA(x, n, m): y0 = x0, y = (m x + (n-m) y') / n. Starts at the first valid x.
std::vector<double> sma(const std::vector<double>& x, int n, int m);
// Highest / lowest of the last n values (fewer at the start).
std::vector<double> hhv(const std::vector<double>& x, int n);
std::vector<double> llv(const std::vector<double>& x, int n);
// Sample standard deviation (n-1 divisor) of the last n values; invalid for the first n-1.
std::vector<double> stdev(const std::vector<double>& x, int n);
} // namespace series

struct FormulaDefinition {
    std::string name;
    std::string description;
    std::vector<std::string> paramNames;
    std::vector<double> paramDefaults;
    std::vector<std::string> lineNames;
    std::vector<int> lineTypes; // kLineNumber or kLineText
};

struct FormulaOutput {
    std::vector<std::vector<double>> values;     // per line, one value per bar
    std::vector<std::vector<std::string>> texts; // per line; filled for text lines only
};

// MA, EMA, MACD, KDJ, RSI, BOLL, VOL and the text formula TREND.
const std::vector<FormulaDefinition>& builtinFormulas();
const FormulaDefinition* findFormula(const std::string& name); // case-insensitive

// Evaluates a built-in formula; missing parameters take their defaults, parameters that
// are not positive integers where counts are needed give false.
bool evaluateFormula(const std::string& name, const std::map<std::string, double>& params,
                     const std::vector<quoter::KLineData>& bars, FormulaOutput& out);

} // namespace ttmarket

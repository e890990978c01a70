#include "host/market/FormulaEngine.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace ttmarket {

namespace {

bool valid(double v)
{
    return v != kFormulaInvalid && std::isfinite(v);
}

std::string upper(const std::string& s)
{
    std::string r(s);
    for (char& c : r)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

} // namespace

namespace series {

std::vector<double> ma(const std::vector<double>& x, int n)
{
    std::vector<double> y(x.size(), kFormulaInvalid);
    if (n <= 0)
        return y;
    double sum = 0.0;
    int run = 0; // consecutive valid values ending here
    for (size_t i = 0; i < x.size(); ++i) {
        if (!valid(x[i])) {
            sum = 0.0;
            run = 0;
            continue;
        }
        sum += x[i];
        ++run;
        if (run > n) {
            sum -= x[i - n];
            run = n;
        }
        if (run == n)
            y[i] = sum / n;
    }
    return y;
}

std::vector<double> sma(const std::vector<double>& x, int n, int m)
{
    std::vector<double> y(x.size(), kFormulaInvalid);
    if (n <= 0 || m <= 0 || m > n)
        return y;
    bool started = false;
    double prev = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
        if (!valid(x[i])) {
            if (started)
                y[i] = prev;
            continue;
        }
        prev = started ? (m * x[i] + (n - m) * prev) / n : x[i];
        started = true;
        y[i] = prev;
    }
    return y;
}

std::vector<double> ema(const std::vector<double>& x, int n)
{
    // EMA(n) is SMA(n+1, 2)
    return sma(x, n + 1, 2);
}

namespace {
template <typename Better>
std::vector<double> extreme(const std::vector<double>& x, int n, Better better)
{
    std::vector<double> y(x.size(), kFormulaInvalid);
    if (n <= 0)
        return y;
    for (size_t i = 0; i < x.size(); ++i) {
        const size_t from = i + 1 >= static_cast<size_t>(n) ? i + 1 - n : 0;
        double best = kFormulaInvalid;
        for (size_t k = from; k <= i; ++k) {
            if (valid(x[k]) && (best == kFormulaInvalid || better(x[k], best)))
                best = x[k];
        }
        y[i] = best;
    }
    return y;
}
} // namespace

std::vector<double> hhv(const std::vector<double>& x, int n)
{
    return extreme(x, n, [](double a, double b) { return a > b; });
}

std::vector<double> llv(const std::vector<double>& x, int n)
{
    return extreme(x, n, [](double a, double b) { return a < b; });
}

std::vector<double> stdev(const std::vector<double>& x, int n)
{
    std::vector<double> y(x.size(), kFormulaInvalid);
    if (n <= 1)
        return y;
    for (size_t i = static_cast<size_t>(n) - 1; i < x.size(); ++i) {
        double sum = 0.0;
        bool ok = true;
        for (size_t k = i + 1 - n; k <= i; ++k) {
            if (!valid(x[k])) {
                ok = false;
                break;
            }
            sum += x[k];
        }
        if (!ok)
            continue;
        const double mean = sum / n;
        double sq = 0.0;
        for (size_t k = i + 1 - n; k <= i; ++k)
            sq += (x[k] - mean) * (x[k] - mean);
        y[i] = std::sqrt(sq / (n - 1));
    }
    return y;
}

} // namespace series

const std::vector<FormulaDefinition>& builtinFormulas()
{
    static const std::vector<FormulaDefinition> list = {
        {"MA",
         "均线",
         {"M1", "M2", "M3", "M4"},
         {5, 10, 20, 60},
         {"MA1", "MA2", "MA3", "MA4"},
         {kLineNumber, kLineNumber, kLineNumber, kLineNumber}},
        {"EMA", "指数平均", {"N"}, {12}, {"EMA"}, {kLineNumber}},
        {"MACD",
         "平滑异同平均",
         {"SHORT", "LONG", "MID"},
         {12, 26, 9},
         {"DIF", "DEA", "MACD"},
         {kLineNumber, kLineNumber, kLineNumber}},
        {"KDJ",
         "随机指标",
         {"N", "M1", "M2"},
         {9, 3, 3},
         {"K", "D", "J"},
         {kLineNumber, kLineNumber, kLineNumber}},
        {"RSI",
         "相对强弱指标",
         {"N1", "N2", "N3"},
         {6, 12, 24},
         {"RSI1", "RSI2", "RSI3"},
         {kLineNumber, kLineNumber, kLineNumber}},
        {"BOLL",
         "布林线",
         {"N", "P"},
         {20, 2},
         {"BOLL", "UB", "LB"},
         {kLineNumber, kLineNumber, kLineNumber}},
        {"VOL",
         "成交量",
         {"M1", "M2"},
         {5, 10},
         {"VOLUME", "MAVOL1", "MAVOL2"},
         {kLineNumber, kLineNumber, kLineNumber}},
        {"TREND", "涨跌趋势", {"N"}, {1}, {"TREND"}, {kLineText}},
    };
    return list;
}

const FormulaDefinition* findFormula(const std::string& name)
{
    const std::string key = upper(name);
    for (const FormulaDefinition& f : builtinFormulas()) {
        if (f.name == key)
            return &f;
    }
    return nullptr;
}

namespace {

// Integer parameter: positive and whole (within rounding), else false.
bool count(const std::map<std::string, double>& params, const FormulaDefinition& f, size_t i,
           int& out)
{
    double v = f.paramDefaults[i];
    auto it = params.find(f.paramNames[i]);
    if (it != params.end())
        v = it->second;
    if (!std::isfinite(v) || v < 1.0 || v > 100000.0 || std::fabs(v - std::round(v)) > 1e-9)
        return false;
    out = static_cast<int>(std::lround(v));
    return true;
}

double param(const std::map<std::string, double>& params, const FormulaDefinition& f, size_t i)
{
    auto it = params.find(f.paramNames[i]);
    return it != params.end() && std::isfinite(it->second) ? it->second : f.paramDefaults[i];
}

} // namespace

bool evaluateFormula(const std::string& name, const std::map<std::string, double>& params,
                     const std::vector<quoter::KLineData>& bars, FormulaOutput& out)
{
    const FormulaDefinition* f = findFormula(name);
    if (!f)
        return false;
    const size_t n = bars.size();
    std::vector<double> close(n), high(n), low(n), volume(n);
    for (size_t i = 0; i < n; ++i) {
        close[i] = bars[i].close;
        high[i] = bars[i].high;
        low[i] = bars[i].low;
        volume[i] = static_cast<double>(bars[i].volume);
    }
    out.values.assign(f->lineNames.size(), {});
    out.texts.assign(f->lineNames.size(), {});
    int a = 0, b = 0, c = 0, d = 0;

    if (f->name == "MA") {
        for (size_t k = 0; k < 4; ++k) {
            if (!count(params, *f, k, a))
                return false;
            out.values[k] = series::ma(close, a);
        }
    } else if (f->name == "EMA") {
        if (!count(params, *f, 0, a))
            return false;
        out.values[0] = series::ema(close, a);
    } else if (f->name == "MACD") {
        if (!count(params, *f, 0, a) || !count(params, *f, 1, b) || !count(params, *f, 2, c))
            return false;
        const std::vector<double> s = series::ema(close, a), l = series::ema(close, b);
        std::vector<double> dif(n, kFormulaInvalid);
        for (size_t i = 0; i < n; ++i)
            dif[i] = s[i] - l[i];
        const std::vector<double> dea = series::ema(dif, c);
        std::vector<double> macd(n);
        for (size_t i = 0; i < n; ++i)
            macd[i] = (dif[i] - dea[i]) * 2.0;
        out.values = {dif, dea, macd};
    } else if (f->name == "KDJ") {
        if (!count(params, *f, 0, a) || !count(params, *f, 1, b) || !count(params, *f, 2, c))
            return false;
        if (b < 1 || c < 1)
            return false;
        const std::vector<double> ll = series::llv(low, a), hh = series::hhv(high, a);
        std::vector<double> rsv(n, kFormulaInvalid);
        for (size_t i = 0; i < n; ++i) {
            const double range = hh[i] - ll[i];
            rsv[i] = std::fabs(range) < 1e-12 ? 50.0 : (close[i] - ll[i]) / range * 100.0;
        }
        // K = SMA(RSV, M1, 1), D = SMA(K, M2, 1)
        const std::vector<double> k = series::sma(rsv, b, 1), dd = series::sma(k, c, 1);
        std::vector<double> j(n, kFormulaInvalid);
        for (size_t i = 0; i < n; ++i)
            j[i] = 3.0 * k[i] - 2.0 * dd[i];
        out.values = {k, dd, j};
    } else if (f->name == "RSI") {
        std::vector<double> up(n, kFormulaInvalid), mv(n, kFormulaInvalid);
        for (size_t i = 1; i < n; ++i) {
            const double diff = close[i] - close[i - 1];
            up[i] = std::max(diff, 0.0);
            mv[i] = std::fabs(diff);
        }
        for (size_t line = 0; line < 3; ++line) {
            if (!count(params, *f, line, a))
                return false;
            const std::vector<double> su = series::sma(up, a, 1), sm = series::sma(mv, a, 1);
            std::vector<double> r(n, kFormulaInvalid);
            for (size_t i = 0; i < n; ++i) {
                if (valid(su[i]) && valid(sm[i]) && sm[i] > 1e-12)
                    r[i] = su[i] / sm[i] * 100.0;
            }
            out.values[line] = r;
        }
    } else if (f->name == "BOLL") {
        if (!count(params, *f, 0, a))
            return false;
        const double p = param(params, *f, 1);
        const std::vector<double> mid = series::ma(close, a), sd = series::stdev(close, a);
        std::vector<double> ub(n, kFormulaInvalid), lb(n, kFormulaInvalid);
        for (size_t i = 0; i < n; ++i) {
            if (valid(mid[i]) && valid(sd[i])) {
                ub[i] = mid[i] + p * sd[i];
                lb[i] = mid[i] - p * sd[i];
            }
        }
        out.values = {mid, ub, lb};
    } else if (f->name == "VOL") {
        if (!count(params, *f, 0, a) || !count(params, *f, 1, b))
            return false;
        out.values = {volume, series::ma(volume, a), series::ma(volume, b)};
    } else if (f->name == "TREND") {
        if (!count(params, *f, 0, d))
            return false;
        std::vector<std::string> text(n);
        for (size_t i = static_cast<size_t>(d); i < n; ++i) {
            const double diff = close[i] - close[i - d];
            text[i] = diff > 1e-9 ? "上涨" : (diff < -1e-9 ? "下跌" : "平盘");
        }
        out.values[0].assign(n, kFormulaInvalid);
        out.texts[0] = std::move(text);
    } else {
        return false;
    }
    // a value computed from an invalid input is invalid too
    for (std::vector<double>& line : out.values) {
        for (double& v : line) {
            if (!std::isfinite(v) || std::fabs(v) >= kFormulaInvalid * 0.5)
                v = kFormulaInvalid;
        }
    }
    return true;
}

} // namespace ttmarket

#include "host/toolkit/NumberFormat.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace XP {

namespace {

// Enough for "%.10f" of any finite double (309 integer digits), grouping commas and sign.
constexpr int kBufSize = 512;

int clampDecimals(int decimals) {
    return decimals < 0 ? 0 : (decimals > 10 ? 10 : decimals);
}

// Half away from zero on the decimal value the user reads: 2.675 is stored as
// 2.67499999..., so nudge by a few ulps before printf rounds.
double nudge(double v) {
    return v + std::copysign(std::fabs(v) * 4 * DBL_EPSILON, v);
}

const double kPow10[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};

double roundTo(double v, int decimals) {
    return std::round(nudge(v) * kPow10[decimals]) / kPow10[decimals];
}

// Copies src into dst inserting ',' every three digits of the integer part.
int groupDigits(const char* src, char* dst) {
    const char* p = src;
    int n = 0;
    if (*p == '-')
        dst[n++] = *p++;
    const char* intEnd = p;
    while (*intEnd >= '0' && *intEnd <= '9')
        ++intEnd;
    const int digits = int(intEnd - p);
    for (int i = 0; i < digits; ++i) {
        if (i > 0 && (digits - i) % 3 == 0)
            dst[n++] = ',';
        dst[n++] = p[i];
    }
    for (const char* q = intEnd; *q; ++q)
        dst[n++] = *q;
    dst[n] = 0;
    return n;
}

// "-0.00" reads as a fault: a value that rounds to zero shows without sign.
void dropNegativeZero(char* buf) {
    if (buf[0] != '-')
        return;
    for (const char* p = buf + 1; *p; ++p)
        if (*p >= '1' && *p <= '9')
            return;
    std::memmove(buf, buf + 1, std::strlen(buf));
}

QString finish(char* buf, bool segment, const QString& suffix) {
    dropNegativeZero(buf);
    if (segment) {
        char grouped[kBufSize + kBufSize / 3];
        const int n = groupDigits(buf, grouped);
        QString out;
        out.reserve(n + suffix.size());
        out += QLatin1String(grouped, n);
        out += suffix;
        return out;
    }
    const int n = int(std::strlen(buf));
    QString out;
    out.reserve(n + suffix.size());
    out += QLatin1String(buf, n);
    out += suffix;
    return out;
}

QString formatFinite(double value, int decimals, int flags) {
    char buf[kBufSize];
    const bool segment = flags & FMT_SEGMENT;
    if (flags & FMT_PERCENT) {
        std::snprintf(buf, sizeof buf, "%.*f", decimals, nudge(value * 100.0));
        return finish(buf, segment, QStringLiteral("%"));
    }
    if (flags & FMT_BIGVALUE) {
        // choose the unit by the rounded figure so 9999.999 reads "1.00万", not "10000.00"
        const double a = std::fabs(value);
        if (std::fabs(roundTo(a, decimals)) >= 1e4) {
            if (a >= 1e8 || std::fabs(roundTo(a / 1e4, decimals)) >= 1e4) {
                std::snprintf(buf, sizeof buf, "%.*f", decimals, nudge(value / 1e8));
                return finish(buf, segment, QStringLiteral("亿"));
            }
            std::snprintf(buf, sizeof buf, "%.*f", decimals, nudge(value / 1e4));
            return finish(buf, segment, QStringLiteral("万"));
        }
    }
    std::snprintf(buf, sizeof buf, "%.*f", decimals, nudge(value));
    return finish(buf, segment, QString());
}

} // namespace

bool isValidNumber(double value) {
    return std::isfinite(value) && !isNoValue(value);
}

QString formatDoubleNumber(double value, int decimals, int flags, bool showInvalid,
                           const QString& invalidText) {
    if (!isValidNumber(value))
        return showInvalid ? invalidText : QString();
    return formatFinite(value, clampDecimals(decimals), flags);
}

QString formatLonglongNumber(qint64 value, int decimals, int flags, const QString& invalidText) {
    if (value == LLONG_MAX || value == LLONG_MIN)
        return invalidText;
    decimals = clampDecimals(decimals);
    if (flags & (FMT_PERCENT | FMT_BIGVALUE))
        return formatFinite(double(value), decimals, flags);
    // exact: a double would lose digits above 2^53
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
    if (decimals > 0) {
        buf[n++] = '.';
        for (int i = 0; i < decimals; ++i)
            buf[n++] = '0';
        buf[n] = 0;
    }
    return finish(buf, flags & FMT_SEGMENT, QString());
}

QString formatIntNumber(int value, int decimals, int flags, const QString& invalidText) {
    if (value == INT_MAX)
        return invalidText;
    return formatLonglongNumber(value, decimals, flags, invalidText);
}

} // namespace XP

#pragma once
// Number formatting of table cells. Runs for every painted cell: no allocation beyond
// the result string.

#include "host/data/NoValue.h"

#include <QtCore/QString>
#include <QtCore/QtGlobal>

namespace XP {

enum ENumberFormatFlag {
    FMT_NONE = 0,
    FMT_PERCENT = 0x10000,  // a fraction shown as a percentage: 0.0153 -> "1.53%"
    FMT_BIGVALUE = 0x40000, // 万 / 亿 units from 1e4 / 1e8 on: 12345678 -> "1234.57万"
    FMT_SEGMENT = 0x80000,  // digit grouping of the integer part: 1234567 -> "1,234,567"
};

using TC::isNoValue;
using TC::kNoValue;
// Neither the no-value mark, NaN nor an infinity.
bool isValidNumber(double value);

// Invalid values (no-value mark, NaN, infinities) give invalidText when showInvalid is
// true, else an empty string. Decimals are clamped to 0..10.
QString formatDoubleNumber(double value, int decimals, int flags, bool showInvalid = true,
                           const QString& invalidText = QStringLiteral("-"));
// The 64-bit no-value marks (largest and smallest qint64) give invalidText.
QString formatLonglongNumber(qint64 value, int decimals, int flags,
                             const QString& invalidText = QStringLiteral("-"));
// 2147483647 (the int no-value mark) gives invalidText.
QString formatIntNumber(int value, int decimals, int flags,
                        const QString& invalidText = QStringLiteral("-"));

} // namespace XP

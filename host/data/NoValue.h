#pragma once
// The no-value mark of a number cell: the largest double. Values within 1e-5 of it (and
// +inf, which lies above it) count as no value and show as "-".

#include <limits>

namespace TC {

constexpr double kNoValue = std::numeric_limits<double>::max();
static_assert(kNoValue == 1.7976931348623157e308, "the no-value mark is the largest double");

constexpr bool isNoValue(double v)
{
    return v >= kNoValue - 1e-5;
}

} // namespace TC

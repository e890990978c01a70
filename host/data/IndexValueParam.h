#pragma once
// One colour range of an indicator column: values within [lower, upper] (each bound
// inclusive unless its exclusive flag is set) draw in the named colour.

#include <string>

namespace TC {

struct SIndexValueParam {
    double lower = 0.0;
    double upper = 0.0;
    std::string note;      // carried along, never interpreted
    std::string colorName; // a colour name of the range dialog, or "default"
    int lowerExclusive = 0;
    int upperExclusive = 0;

    bool operator==(const SIndexValueParam& o) const
    {
        return lower == o.lower && upper == o.upper && note == o.note && colorName == o.colorName
               && lowerExclusive == o.lowerExclusive && upperExclusive == o.upperExclusive;
    }
    // Whether v lies in the range, with the 1e-5 tolerance of cell colours.
    bool contains(double v) const
    {
        constexpr double eps = 1e-5;
        const bool lowerOk = lowerExclusive ? v > lower + eps : v >= lower - eps;
        const bool upperOk = upperExclusive ? v < upper - eps : v <= upper + eps;
        return lowerOk && upperOk;
    }
};

} // namespace TC

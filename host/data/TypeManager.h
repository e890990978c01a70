#pragma once
// Display names of the host's enumerations.

#include <QString>

namespace ttservice {

class TypeManager final {
public:
    // The display name of a value of a named enumeration ("EAccountType",
    // "EPositionDirection", "EExerciseStyle", "EOptionGreekBenchmark", "EInstrumentType",
    // "ECallPut"); empty for an unknown enumeration or value.
    static QString getEnumItemName(const QString& enumName, int value);
};

} // namespace ttservice

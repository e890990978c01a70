#pragma once
// Extended data columns: named per-instrument values derived from the catalogue and the
// daily history (e.g. "总股本(亿)", "流通市值(亿)"), offered as extra browse columns.

#include <QString>
#include <QStringList>

#include <cstdint>

namespace TC {

class CExtendDataManager final {
public:
    static CExtendDataManager* instance();
    QStringList getExtendList();
    bool isExtendData(const QString& name);
    // The value at a date (ms; 0 for the latest): prices are the close of that trading day,
    // or the reference price when the day has no bar. false for an unknown name or
    // instrument, or when the value is not defined for it.
    bool getValue(const QString& name, const QString& stockKey, double& value, int64_t timeMs = 0);

private:
    CExtendDataManager() = default;
};

} // namespace TC

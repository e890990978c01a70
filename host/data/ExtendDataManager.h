#pragma once
// Extended data columns: named per-instrument values derived from the catalogue
// (e.g. "总股本(亿)", "流通市值(亿)"), offered as extra browse columns.

#include <QString>
#include <QStringList>

namespace TC {

class CExtendDataManager final {
public:
    static CExtendDataManager* instance();
    QStringList getExtendList();
    bool isExtendData(const QString& name);
    // false for an unknown name or instrument.
    bool getValue(const QString& name, const QString& stockKey, double& value);

private:
    CExtendDataManager() = default;
};

} // namespace TC

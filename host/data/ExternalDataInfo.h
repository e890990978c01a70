#pragma once
// One entry of an external data set (a user data list shown as market "ED").

#include <QString>
#include <memory>

namespace TC {

struct CExternalDataInfo {
    QString code;
    QString name;
    QString kind; // "ED" once marked for display
    QString displayName;
    QString dataSet;       // the set holding the entry
    int period = 86400;    // seconds between values
    qint64 lastTimeMs = 0; // time of the latest value
    double lastValue = 0.0;
};
using CExternalDataInfoPtr = std::shared_ptr<CExternalDataInfo>;

} // namespace TC

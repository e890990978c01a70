#pragma once
// The refresh settings of an indicator column as the user last saved them for its title;
// the refresh settings dialog starts from them.

#include <QString>

namespace TC {

struct CAutoRefreshParam {
    bool autoRefresh = false;
    QString startTime; // "hh:mm", empty for none
    bool inStockHours = false;
    bool inFuturesHours = false;
    int interval = 0; // ticks of the one-second refresh timer
    bool whenHidden = false;
    bool promptResult = false;

    bool operator==(const CAutoRefreshParam& o) const
    {
        return autoRefresh == o.autoRefresh && startTime == o.startTime
               && inStockHours == o.inStockHours && inFuturesHours == o.inFuturesHours
               && interval == o.interval && whenHidden == o.whenHidden
               && promptResult == o.promptResult;
    }
    bool operator!=(const CAutoRefreshParam& o) const { return !(*this == o); }
};

} // namespace TC

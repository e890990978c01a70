#pragma once
// Waits until the browse table's fetches have finished and what they delivered is laid.

#include "BrowseTestMarket.h"
#include "browse/CBrowseWidget_p.h"

namespace TC {
class CBrowseWidgetTest {
public:
    // Deliveries received and not yet laid.
    static bool laying(CBrowseWidget& w)
    {
        return !w.d->m_fetchJobs.empty() || w.d->m_bFetchDrainPosted;
    }
};
} // namespace TC

namespace browsetest {

// Every fetch finished and what it delivered laid.
inline bool settled(TC::CBrowseWidget& w)
{
    if (!fetchWorkersDone())
        return false;
    QCoreApplication::processEvents(); // the workers' last posts queue their deliveries
    return QTest::qWaitFor([&w] { return !TC::CBrowseWidgetTest::laying(w); }, kWaitMs);
}

} // namespace browsetest

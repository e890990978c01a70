// GUI-thread receivers of the statistics (kind 2) and external-data (kind 3) cache
// fetches dispatched by slotFetchDatas. They belong to the statistics-row and
// external-data features, which replace this file with their own definitions; until then
// such deliveries are logged and dropped.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "host/data/Log.h"

namespace TC {

void CBrowseWidget::fetchDataForStatistic(const BrowseFetchData& data)
{
    TT_LOG_WARN("[browser fetch] statistics delivery of %1% keys dropped: no receiver",
                data.size());
}

void CBrowseWidget::fetchExternalDataBack(const BrowseFetchData& data)
{
    TT_LOG_WARN("[browser fetch] external-data delivery of %1% keys dropped: no receiver",
                data.size());
}

} // namespace TC

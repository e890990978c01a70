#pragma once
// The embedded market as the host's backend with its catalogue loaded, for the data tests
// that read the data files' universe.

#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"

#include <QString>

// Empty on success, else why the catalogue did not load.
inline QString loadEmbeddedCatalogue()
{
    ttmarket::installEmbeddedBackend();
    TC::CStockManager* stocks = TC::CStockManager::instance();
    return stocks->ensureLoaded() ? QString() : stocks->loadError();
}

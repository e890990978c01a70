#include "host/data/MarketBackend.h"

#include "host/data/Log.h"
#include "host/data/StockManager.h"

#include <atomic>

namespace TC {

namespace {
// Never destroyed: feed and worker threads may still ask for the backend during exit.
MarketBackendPtr& slot()
{
    static auto* backend = new MarketBackendPtr;
    return *backend;
}
} // namespace

IMarketBackend::~IMarketBackend() = default;

void IMarketBackend::lastQuotes(const std::string& market, const std::vector<std::string>& codes,
                                std::vector<quoter::QuoterAllDataPtr>& out)
{
    out.assign(codes.size(), nullptr);
    for (size_t i = 0; i < codes.size(); ++i)
        out[i] = lastQuote(market, codes[i]);
}

std::vector<quoter::KLineData> IMarketBackend::dailyBars(const std::string&, const std::string&)
{
    return {};
}

std::vector<quoter::KLineData> IMarketBackend::minuteBars(const std::string&, const std::string&)
{
    return {};
}

std::vector<quoter::KLineData> IMarketBackend::minuteBarsOfDay(const std::string&,
                                                               const std::string&, int)
{
    return {};
}

std::vector<quoter::QuoterAllDataPtr> IMarketBackend::ticks(const std::string&, const std::string&)
{
    return {};
}

std::vector<QString> IMarketBackend::formulaNames()
{
    return {};
}

CFormulaDetailPtr IMarketBackend::formula(const QString&)
{
    return nullptr;
}

bool IMarketBackend::evaluateFormula(const QString&, const std::map<std::string, double>&,
                                     const std::vector<quoter::KLineData>&, CFormulaSeries&)
{
    return false;
}

void setMarketBackend(MarketBackendPtr backend)
{
    const bool installed = backend != nullptr;
    const MarketBackendPtr old = std::atomic_exchange(&slot(), backend);
    if (old == backend)
        return;
    TT_LOG_INFO("[backend] market backend %1%", installed ? "installed" : "removed");
    // the catalogue came from the old backend
    CStockManager::instance()->reloadCatalogue();
}

MarketBackendPtr marketBackend()
{
    return std::atomic_load(&slot());
}

} // namespace TC

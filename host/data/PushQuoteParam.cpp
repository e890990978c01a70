#include "host/data/PushQuoteParam.h"

#include "host/data/InstrumentDetail.h"
#include "host/data/MarketBackend.h"
#include "host/data/StockManager.h"

#include <QString>

namespace dorn {

quoter::QuoterAllDataPtr getQuoter(const std::string& market, const std::string& code)
{
    if (code.empty())
        return nullptr;
    const TC::MarketBackendPtr backend = TC::marketBackend();
    return backend ? backend->lastQuote(market, code) : nullptr;
}

quoter::QuoterAllDataPtr getQuoter(const QString& market, const QString& code)
{
    return getQuoter(market.toStdString(), code.toStdString());
}

namespace {
CBInfo infoOf(const ttservice::CInstrumentDetailPtr& detail)
{
    CBInfo info;
    if (!detail || detail->type != ttservice::eInstrConvertibleBond)
        return info;
    info.valid = true;
    info.underlyingMarket = detail->cbUnderlyingMarket.toStdString();
    info.underlyingCode = detail->cbUnderlyingCode.toStdString();
    info.conversionPrice = detail->cbConversionPrice;
    return info;
}
} // namespace

CBInfo getCBInfo(const QString& code)
{
    if (code.isEmpty())
        return CBInfo();
    return infoOf(TC::CStockManager::instance()->findByCode(code));
}

CBInfo getCBInfo(const std::string& code)
{
    return getCBInfo(QString::fromStdString(code));
}

CBInfo getCBInfo(const std::string& market, const std::string& code)
{
    return infoOf(TC::CStockManager::instance()->getInstrumentDetail(QString::fromStdString(market),
                                                                     QString::fromStdString(code)));
}

} // namespace dorn

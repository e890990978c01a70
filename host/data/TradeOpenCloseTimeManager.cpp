#include "host/data/TradeOpenCloseTimeManager.h"

#include "host/data/StockManager.h"
#include "host/data/UniverseData.h"

namespace TC {

CTradeOpenCloseTimeManager* CTradeOpenCloseTimeManager::instance()
{
    static CTradeOpenCloseTimeManager s;
    return &s;
}

QString CTradeOpenCloseTimeManager::productOfCode(const QString& code)
{
    int n = 0;
    while (n < code.size() && code[n].isLetter() && code[n].unicode() < 128)
        ++n;
    return code.left(n);
}

int CTradeOpenCloseTimeManager::nightCloseMinutes(const QString& market, const QString& code)
{
    CStockManager* sm = CStockManager::instance();
    const CUniverseData* u = sm->universeData();
    if (!u)
        return 0;
    QString product = productOfCode(code);
    if (const ttservice::CInstrumentDetailPtr d = sm->getInstrumentDetail(market, code)) {
        if (d->type == ttservice::eInstrFuture && !d->product.isEmpty())
            product = d->product;
        else if (d->type == ttservice::eInstrFutureOption)
            product = productOfCode(d->optUnderlyingCode);
    }
    for (const CFuturesProduct& p : u->products)
        if (p.market == market && p.product == product)
            return p.nightCloseMin;
    return 0;
}

bool CTradeOpenCloseTimeManager::hasNightQuoter(const QString& market, const QString& code)
{
    return nightCloseMinutes(market, code) > 0;
}

} // namespace TC

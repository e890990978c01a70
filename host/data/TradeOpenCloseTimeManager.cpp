#include "host/data/TradeOpenCloseTimeManager.h"

#include "host/data/StockManager.h"
#include "host/data/UniverseData.h"

#include <QSet>

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
    // Asked once per row of a quote list, mostly for stock markets that list no futures
    // product: answer those from a per-thread set of the universe's product markets
    // (published universes are never freed, so the pointer identifies one).
    thread_local const CUniverseData* setFor = nullptr;
    thread_local QSet<QString> productMarkets;
    if (setFor != u) {
        productMarkets.clear();
        for (const CFuturesProduct& p : u->products)
            productMarkets.insert(p.market);
        setFor = u;
    }
    if (!productMarkets.contains(market))
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

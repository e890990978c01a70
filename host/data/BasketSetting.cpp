#include "host/data/BasketSetting.h"

#include "host/data/ExchangeClient.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/StockManager.h"

#include <QSet>

namespace TC {

const QList<CBasketKind>& basketKinds()
{
    static const QList<CBasketKind> kinds{{QStringLiteral("股票篮子"), 2, 0},
                                          {QStringLiteral("期货篮子"), 1, 0},
                                          {QStringLiteral("沪港通篮子"), 7, 0},
                                          {QStringLiteral("深港通篮子"), 11, 0},
                                          {QStringLiteral("沪伦通篮子"), 2, 2}};
    return kinds;
}

namespace {

bool isFuturesMarket(const QString& m)
{
    static const QSet<QString> markets{QStringLiteral("CFFEX"), QStringLiteral("SHFE"),
                                       QStringLiteral("DCE"),   QStringLiteral("CZCE"),
                                       QStringLiteral("INE"),   QStringLiteral("GFEX"),
                                       QStringLiteral("DF"),    QStringLiteral("SF"),
                                       QStringLiteral("ZF"),    QStringLiteral("IF")};
    return markets.contains(m);
}

// "IF00", "rb888": a digit at the end with no digit two places before it
bool looksContinuous(const QString& code)
{
    const int n = code.size();
    return n >= 3 && code.at(n - 1).isDigit() && !code.at(n - 3).isDigit();
}

} // namespace

int basketAccountType(const ttservice::CInstrumentDetail& d)
{
    const QString& m = d.market;
    if (m == QLatin1String("SH") || m == QLatin1String("SZ") || m == QLatin1String("SSE")
        || m == QLatin1String("SZSE"))
        return 2;
    if (m == QLatin1String("HGT") || m == QLatin1String("SSEHKEX"))
        return 7;
    if (m == QLatin1String("SGT") || m == QLatin1String("SZSEHKEX"))
        return 11;
    if (isFuturesMarket(m)) {
        if (d.type == ttservice::eInstrFutureOption || d.type == ttservice::eInstrOption
            || ttservice::CFtOptionDataHelper::isFtOptionInstrument(d.code)
            || looksContinuous(d.code))
            return -1;
        return 1;
    }
    return -1;
}

int addStocksToBasket(CBasketSetting& setting, const QVector<QString>& codes)
{
    if (codes.isEmpty())
        return 0;
    const CBasketStockData prototype =
        setting.stocks.isEmpty() ? CBasketStockData() : setting.stocks.first();
    QSet<QString> held;
    for (const CBasketStockData& s : setting.stocks)
        held.insert(s.market + QLatin1Char('.') + s.code);
    CStockManager* sm = CStockManager::instance();
    int added = 0;
    for (const QString& code : codes) {
        const ttservice::CInstrumentDetailPtr d = sm->findByCode(code);
        if (!d || basketAccountType(*d) != setting.accountType)
            continue;
        const QString id = d->market + QLatin1Char('.') + d->code;
        if (held.contains(id))
            continue;
        held.insert(id);
        CBasketStockData entry = prototype;
        entry.kind = setting.entryKind;
        entry.market = d->market;
        entry.code = d->code;
        entry.name = d->name;
        setting.stocks.append(entry);
        ++added;
    }
    return added;
}

} // namespace TC

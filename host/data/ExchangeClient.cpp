#include "host/data/ExchangeClient.h"

#include "host/data/StockKey.h"
#include "host/data/StockManager.h"

#include <QRegularExpression>

#include <algorithm>

namespace TC {

using ttservice::CInstrumentDetailPtr;

namespace {

// product letters, 3-4 digit month, call/put letter (optionally between dashes), strike
const QRegularExpression& futureOptionPattern()
{
    static const QRegularExpression re(
        QStringLiteral("^([A-Za-z]{1,2})(\\d{3,4})(-?)([CPcp])\\3(\\d+(\\.\\d+)?)$"));
    return re;
}

QMap<QString, QStringList> optionMap(bool futures)
{
    QMap<QString, std::vector<CInstrumentDetailPtr>> grouped;
    for (const CInstrumentDetailPtr& d : CStockManager::instance()->allInstruments()) {
        if (!d->hasOptionData())
            continue;
        if ((d->type == ttservice::eInstrFutureOption) != futures)
            continue;
        grouped[XP::nvStockKey(d->optUnderlyingMarket, d->optUnderlyingCode)].push_back(d);
    }
    QMap<QString, QStringList> out;
    for (auto it = grouped.begin(); it != grouped.end(); ++it) {
        auto& list = it.value();
        std::stable_sort(list.begin(), list.end(),
                         [](const CInstrumentDetailPtr& a, const CInstrumentDetailPtr& b) {
                             if (a->expiryDate != b->expiryDate)
                                 return a->expiryDate < b->expiryDate;
                             if (a->strike != b->strike)
                                 return a->strike < b->strike;
                             return a->isCall && !b->isCall;
                         });
        QStringList keys;
        keys.reserve(int(list.size()));
        for (const auto& d : list)
            keys.append(d->key);
        out.insert(it.key(), keys);
    }
    return out;
}

} // namespace

CExchangeClient* CExchangeClient::instance()
{
    static CExchangeClient s;
    return &s;
}

QMap<QString, QStringList> CExchangeClient::getStockOptionMap()
{
    return optionMap(false);
}

QMap<QString, QStringList> CExchangeClient::getFutureOptionMap()
{
    return optionMap(true);
}

QStringList CExchangeClient::getOptionList(const QString& underlyingKey)
{
    QStringList out = getStockOptionMap().value(underlyingKey);
    if (out.isEmpty())
        out = getFutureOptionMap().value(underlyingKey);
    return out;
}

bool CExchangeClient::getCodeInfo(const QString& key, CCodeInfo& info)
{
    const CInstrumentDetailPtr d = CStockManager::instance()->findByCode(key);
    if (!d)
        return false;
    info.market = d->market;
    info.code = d->code;
    info.name = d->name;
    info.refPrice = d->refPrice;
    info.priceStep = d->priceStep;
    info.contractMultiplier =
        d->contractUnit > 0 ? int(d->contractUnit) : std::max(1, d->tradeUnit);
    info.histVolatility = d->histVolatility;
    return true;
}

bool CExchangeClient::isCall(const QString& keyOrCode)
{
    const CInstrumentDetailPtr d = CStockManager::instance()->findByCode(keyOrCode);
    if (d && d->isOption())
        return d->isCall;
    return ttservice::CFtOptionDataHelper::isCallOption(keyOrCode.section(QLatin1Char('.'), 0, 0));
}

bool isTryFutureOptionInstrument(const QString& code)
{
    return futureOptionPattern().match(code).hasMatch();
}

} // namespace TC

namespace ttservice {

bool CFtOptionDataHelper::isFtOptionInstrument(const QString& code)
{
    return TC::isTryFutureOptionInstrument(code);
}

bool CFtOptionDataHelper::isCallOption(const QString& code)
{
    const QRegularExpressionMatch m = TC::futureOptionPattern().match(code);
    return m.hasMatch() && m.captured(4).compare(QLatin1String("C"), Qt::CaseInsensitive) == 0;
}

} // namespace ttservice

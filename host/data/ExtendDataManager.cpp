#include "host/data/ExtendDataManager.h"

#include "host/data/FormulaTypes.h"
#include "host/data/NoValue.h"
#include "host/data/StockManager.h"

#include <cmath>

namespace TC {

namespace {
// name -> value derived from the instrument record
// What a value is computed from: the instrument record and the day's close and volume.
struct Day {
    double close = 0.0;  // the day's close, else the reference price
    double volume = 0.0; // the day's volume in shares; 0 when unknown
};
struct Extend {
    const char* name;
    bool (*value)(const ttservice::CInstrumentDetail&, const Day&, double&);
};

const Extend kExtends[] = {
    {"总股本(亿)",
     [](const ttservice::CInstrumentDetail& d, const Day&, double& v) {
         v = d.totalShares / 1e8;
         return d.totalShares > 0;
     }},
    {"流通股本(亿)",
     [](const ttservice::CInstrumentDetail& d, const Day&, double& v) {
         v = d.floatShares / 1e8;
         return d.floatShares > 0;
     }},
    {"流通市值(亿)",
     [](const ttservice::CInstrumentDetail& d, const Day& day, double& v) {
         v = d.floatShares * day.close / 1e8;
         return d.floatShares > 0 && day.close > 0;
     }},
    {"总市值(亿)",
     [](const ttservice::CInstrumentDetail& d, const Day& day, double& v) {
         v = d.totalShares * day.close / 1e8;
         return d.totalShares > 0 && day.close > 0;
     }},
    {"流通比例(%)",
     [](const ttservice::CInstrumentDetail& d, const Day&, double& v) {
         v = d.floatShares / d.totalShares * 100.0;
         return d.totalShares > 0;
     }},
    {"换手率(%)",
     [](const ttservice::CInstrumentDetail& d, const Day& day, double& v) {
         v = day.volume / d.floatShares * 100.0;
         return d.floatShares > 0 && day.volume > 0;
     }},
};
} // namespace

CExtendDataManager* CExtendDataManager::instance()
{
    static CExtendDataManager s;
    return &s;
}

QStringList CExtendDataManager::getExtendList()
{
    QStringList out;
    for (const Extend& e : kExtends)
        out.append(QString::fromUtf8(e.name));
    return out;
}

bool CExtendDataManager::isExtendData(const QString& name)
{
    return getExtendList().contains(name);
}

bool CExtendDataManager::getValue(const QString& name, const QString& stockKey, double& value,
                                  int64_t timeMs)
{
    const ttservice::CInstrumentDetailPtr d = CStockManager::instance()->findByCode(stockKey);
    if (!d)
        return false;
    for (const Extend& e : kExtends) {
        if (name != QString::fromUtf8(e.name))
            continue;
        Day day;
        day.close = d->refPrice;
        if (timeMs > 0) {
            const double close =
                se::IndexData::getSingleValue(stockKey, QStringLiteral("最新"), timeMs / 1000);
            const double volume =
                se::IndexData::getSingleValue(stockKey, QStringLiteral("总量"), timeMs / 1000);
            if (!isNoValue(close) && close > 0)
                day.close = close;
            // SH/SZ daily volumes are in lots of 100 shares
            const bool lots = d->market == QLatin1String("SH") || d->market == QLatin1String("SZ")
                              || d->market == QLatin1String("SSE")
                              || d->market == QLatin1String("SZSE");
            if (!isNoValue(volume))
                day.volume = lots ? volume * 100.0 : volume;
        }
        return e.value(*d, day, value) && std::isfinite(value);
    }
    return false;
}

} // namespace TC

#include "host/data/ExtendDataManager.h"

#include "host/data/StockManager.h"

namespace TC {

namespace {
// name -> value derived from the instrument record
struct Extend {
    const char* name;
    bool (*value)(const ttservice::CInstrumentDetail&, double&);
};

const Extend kExtends[] = {
    {"总股本(亿)",
     [](const ttservice::CInstrumentDetail& d, double& v) {
         v = d.totalShares / 1e8;
         return d.totalShares > 0;
     }},
    {"流通股本(亿)",
     [](const ttservice::CInstrumentDetail& d, double& v) {
         v = d.floatShares / 1e8;
         return d.floatShares > 0;
     }},
    {"流通市值(亿)",
     [](const ttservice::CInstrumentDetail& d, double& v) {
         v = d.floatShares * d.refPrice / 1e8;
         return d.floatShares > 0 && d.refPrice > 0;
     }},
    {"总市值(亿)",
     [](const ttservice::CInstrumentDetail& d, double& v) {
         v = d.totalShares * d.refPrice / 1e8;
         return d.totalShares > 0 && d.refPrice > 0;
     }},
    {"流通比例(%)",
     [](const ttservice::CInstrumentDetail& d, double& v) {
         v = d.floatShares / d.totalShares * 100.0;
         return d.totalShares > 0;
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

bool CExtendDataManager::getValue(const QString& name, const QString& stockKey, double& value)
{
    const ttservice::CInstrumentDetailPtr d = CStockManager::instance()->findByCode(stockKey);
    if (!d)
        return false;
    for (const Extend& e : kExtends)
        if (name == QString::fromUtf8(e.name))
            return e.value(*d, value);
    return false;
}

} // namespace TC

#include "host/data/InstrumentDetail.h"

namespace TC {

QString getDetailQsKey(const ttservice::CInstrumentDetailPtr& detail)
{
    return detail ? detail->key : QString();
}

QString getDetailQsMarket(const ttservice::CInstrumentDetailPtr& detail)
{
    return detail ? detail->market : QString();
}

QString getDetailQsCode(const ttservice::CInstrumentDetailPtr& detail)
{
    return detail ? detail->code : QString();
}

QString getDetailQsName(const ttservice::CInstrumentDetailPtr& detail)
{
    return detail ? detail->name : QString();
}

} // namespace TC

#include "host/data/Quote.h"

namespace quoter {

QuoterBase::~QuoterBase() = default;

KLineData quoteToKLine(const QuoterAllData& quote)
{
    KLineData bar;
    bar.time = quote.time;
    bar.open = quote.open;
    bar.high = quote.high;
    bar.low = quote.low;
    bar.close = quote.last;
    bar.preClose = quote.preClose;
    bar.volume = quote.volume;
    bar.amount = quote.amount;
    bar.settlement = quote.settlement;
    return bar;
}

KLineDataPtr quoteToKLine(const QuoterBasePtr& record)
{
    if (!record)
        return nullptr;
    if (record->kind == RecordKind::KLine)
        return std::static_pointer_cast<KLineData>(record);
    if (const QuoterAllData* q = asAllData(record.get()))
        return std::make_shared<KLineData>(quoteToKLine(*q));
    return nullptr;
}

} // namespace quoter

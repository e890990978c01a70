#include "host/data/StockKey.h"

#include <chrono>

namespace utils {

std::string nvStockKey(const std::string& market, const std::string& code)
{
    if (market.empty())
        return code;
    std::string key;
    key.reserve(code.size() + 1 + market.size());
    key.append(code).append(1, '.').append(market);
    return key;
}

int64_t clock()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace utils

namespace XP {

QString nvStockKey(const QString& market, const QString& code)
{
    if (market.isEmpty())
        return code;
    return code + QLatin1Char('.') + market;
}

bool splitStockKey(const QString& key, QString* market, QString* code)
{
    if (key.isEmpty())
        return false;
    // codes may hold dots themselves (foreign boards), markets never do
    const int dot = key.lastIndexOf(QLatin1Char('.'));
    if (market)
        *market = dot < 0 ? QString() : key.mid(dot + 1);
    if (code)
        *code = dot < 0 ? key : key.left(dot);
    return true;
}

} // namespace XP

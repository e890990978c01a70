#pragma once
// Which futures products trade at night, and their night close.

#include <QString>

namespace TC {

class CTradeOpenCloseTimeManager final {
public:
    static CTradeOpenCloseTimeManager* instance();
    bool hasNightQuoter(const QString& market, const QString& code);
    // Night close as minutes after the night's midnight start (e.g. 23*60, 25*60 for
    // 01:00, 26*60+30 for 02:30); 0 without night trading.
    int nightCloseMinutes(const QString& market, const QString& code);
    // Product letters of a futures code ("rb2501" -> "rb", "IF00" -> "IF").
    static QString productOfCode(const QString& code);

private:
    CTradeOpenCloseTimeManager() = default;
};

} // namespace TC

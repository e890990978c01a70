#pragma once
// Trading days: weekdays less a holiday list. Days are counted from 1970-01-01 in
// Asia/Shanghai; a "date" is that day's midnight (UTC+8) in seconds since the epoch.

#include <QSet>
#include <QVector>
#include <cstdint>

namespace TC {

class CTradeCalendar final {
public:
    void setHolidays(const QVector<int>& ymdList);
    bool isTradeDay(int day) const;
    // The n-th trading day after (n > 0) or before (n < 0) day; n = 0 gives day when
    // it trades, else the next trading day.
    int shiftTradeDay(int day, int n) const;
    // Latest trading day not after day.
    int tradeDayOnOrBefore(int day) const;

    static int daysFromYmd(int y, int m, int d);
    static void ymdFromDays(int days, int& y, int& m, int& d);
    static int ymdOfDay(int day);
    static bool validYmd(int ymd);
    static int dayOfYmd(int ymd); // no validation
    static int weekday(int day);  // 0 Monday .. 6 Sunday
    static int dateOfDay(int day) { return day * 86400 - 8 * 3600; }
    static int dayOfDate(int64_t dateSec);
    static int dayOfMs(int64_t ms);
    static int minuteOfDayOfMs(int64_t ms);

private:
    QSet<int> m_holidays; // day numbers
};

} // namespace TC

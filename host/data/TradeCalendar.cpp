#include "host/data/TradeCalendar.h"

#include <QDate>

namespace TC {

namespace {
constexpr int64_t kOffsetSec = 8 * 3600;
constexpr qint64 kEpochJulianDay = 2440588; // 1970-01-01

int64_t floorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}
} // namespace

void CTradeCalendar::setHolidays(const QVector<int>& ymdList)
{
    m_holidays.clear();
    for (int ymd : ymdList)
        if (validYmd(ymd))
            m_holidays.insert(dayOfYmd(ymd));
}

bool CTradeCalendar::isTradeDay(int day) const
{
    return weekday(day) < 5 && !m_holidays.contains(day);
}

int CTradeCalendar::shiftTradeDay(int day, int n) const
{
    // every week has five weekdays and holiday runs are short, so the walks end
    if (n == 0) {
        while (!isTradeDay(day))
            ++day;
        return day;
    }
    const int step = n > 0 ? 1 : -1;
    int left = n > 0 ? n : -n;
    while (left > 0) {
        day += step;
        if (isTradeDay(day))
            --left;
    }
    return day;
}

int CTradeCalendar::tradeDayOnOrBefore(int day) const
{
    while (!isTradeDay(day))
        --day;
    return day;
}

// Day numbers are Julian days shifted to the epoch, so QDate does the civil calendar.
int CTradeCalendar::daysFromYmd(int y, int m, int d)
{
    // months and days past their range roll over, as in daysFromYmd(y, m, 1) - 1
    const QDate first = QDate(y, 1, 1).addMonths(m - 1);
    return static_cast<int>(first.toJulianDay() - kEpochJulianDay) + d - 1;
}

void CTradeCalendar::ymdFromDays(int days, int& y, int& m, int& d)
{
    QDate::fromJulianDay(days + kEpochJulianDay).getDate(&y, &m, &d);
}

int CTradeCalendar::ymdOfDay(int day)
{
    int y, m, d;
    ymdFromDays(day, y, m, d);
    return y * 10000 + m * 100 + d;
}

bool CTradeCalendar::validYmd(int ymd)
{
    const int y = ymd / 10000, m = ymd / 100 % 100, d = ymd % 100;
    return y >= 1900 && y <= 2100 && QDate::isValid(y, m, d);
}

int CTradeCalendar::dayOfYmd(int ymd)
{
    return daysFromYmd(ymd / 10000, ymd / 100 % 100, ymd % 100);
}

int CTradeCalendar::weekday(int day)
{
    return QDate::fromJulianDay(day + kEpochJulianDay).dayOfWeek() - 1;
}

int CTradeCalendar::dayOfDate(int64_t dateSec)
{
    return static_cast<int>(floorDiv(dateSec + kOffsetSec, 86400));
}

int CTradeCalendar::dayOfMs(int64_t ms)
{
    return dayOfDate(floorDiv(ms, 1000));
}

int CTradeCalendar::minuteOfDayOfMs(int64_t ms)
{
    const int64_t sec = floorDiv(ms, 1000) + kOffsetSec;
    return static_cast<int>((sec - floorDiv(sec, 86400) * 86400) / 60);
}

} // namespace TC

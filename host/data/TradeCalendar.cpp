#include "host/data/TradeCalendar.h"

namespace TC {

namespace {
constexpr int64_t kOffsetSec = 8 * 3600;

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

// civil-date conversions after H. Hinnant's public-domain algorithms
int CTradeCalendar::daysFromYmd(int y, int m, int d)
{
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int>(doe) - 719468;
}

void CTradeCalendar::ymdFromDays(int z, int& y, int& m, int& d)
{
    z += 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y += m <= 2;
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
    if (y < 1900 || y > 2100 || m < 1 || m > 12 || d < 1)
        return false;
    return ymdOfDay(daysFromYmd(y, m, d)) == ymd;
}

int CTradeCalendar::dayOfYmd(int ymd)
{
    return daysFromYmd(ymd / 10000, ymd / 100 % 100, ymd % 100);
}

int CTradeCalendar::weekday(int day)
{
    // 1970-01-01 was a Thursday (3)
    return static_cast<int>(((static_cast<int64_t>(day) + 3) % 7 + 7) % 7);
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

// DOS date and time clamping (see dos_time.h). An impossible date is never
// left to DosDateTimeToFileTime, which fails on it and leaves its FILETIME
// unset.
#include "extract/dos_time.h"

constexpr uint16_t DOS_BASE_YEAR = 1980;

// Of the DOS years, 1980 to 2107, the Gregorian rule takes only 2100 out of
// every fourth.
static bool IsLeapYear(unsigned year)
{
    return (year & 3) == 0 && year != 2100;
}

// 31 days in the odd months up to July and the even ones from August on.
static uint16_t DaysInMonth(unsigned month, unsigned year)
{
    if (month == 2)
        return IsLeapYear(year) ? 29 : 28;
    return static_cast<uint16_t>(30 + ((month ^ (month >> 3)) & 1));
}

void ClampDosTime(uint16_t *dos_date, uint16_t *dos_time)
{
    uint16_t seconds = *dos_time & 0x1F, minutes = (*dos_time >> 5) & 0x3F, hours = *dos_time >> 11;
    if (seconds > 29)
        seconds = 29;
    if (minutes > 59)
        minutes = 59;
    if (hours > 23)
        hours = 23;
    *dos_time = static_cast<uint16_t>(hours << 11 | minutes << 5 | seconds);
    uint16_t day = *dos_date & 0x1F, month = (*dos_date >> 5) & 0x0F, year = *dos_date >> 9;
    if (month == 0)
        month = 1;
    else if (month > 12)
        month = 12;
    const uint16_t last_day = DaysInMonth(month, DOS_BASE_YEAR + year);
    if (day == 0)
        day = 1;
    else if (day > last_day)
        day = last_day;
    *dos_date = static_cast<uint16_t>(year << 9 | month << 5 | day);
}

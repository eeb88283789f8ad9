// DOS date and time clamping (see dos_time.h). An impossible date is never
// left to DosDateTimeToFileTime, which fails on it and leaves its FILETIME
// unset.
#include "extract/dos_time.h"

constexpr uint16_t DOS_BASE_YEAR = 1980;

static bool IsLeapYear(unsigned year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

static uint16_t DaysInMonth(unsigned month, unsigned year)
{
    static const uint8_t days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
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

// ClampDosTime: every field into range, and days past the month's end to its
// last day, leap years by the Gregorian rule (2000 is one, 2100 is not).
#include "extract/dos_time.h"

#include <gtest/gtest.h>

namespace {

struct Clock {
    unsigned year, month, day, hours, minutes, seconds;
};

uint16_t DosDate(const Clock &c) { return static_cast<uint16_t>((c.year - 1980) << 9 | c.month << 5 | c.day); }
uint16_t DosTime(const Clock &c) { return static_cast<uint16_t>(c.hours << 11 | c.minutes << 5 | c.seconds / 2); }

TEST(DosTime, ClampsEveryFieldIntoRange)
{
    struct Case {
        Clock stored, stamped;
    } const cases[] = {
        {{2021, 7, 15, 13, 45, 58}, {2021, 7, 15, 13, 45, 58}},  // a sound time stays
        {{2021, 0, 0, 24, 60, 62}, {2021, 1, 1, 23, 59, 58}},   // day and month 0, time over
        {{2021, 15, 31, 0, 0, 0}, {2021, 12, 31, 0, 0, 0}},     // month over 12
        {{2021, 2, 31, 10, 20, 30}, {2021, 2, 28, 10, 20, 30}}, // 31 February
        {{2021, 2, 29, 0, 0, 0}, {2021, 2, 28, 0, 0, 0}},       // not a leap year
        {{2020, 2, 30, 0, 0, 0}, {2020, 2, 29, 0, 0, 0}},       // a leap year
        {{2000, 2, 31, 0, 0, 0}, {2000, 2, 29, 0, 0, 0}},       // divisible by 400
        {{2100, 2, 29, 0, 0, 0}, {2100, 2, 28, 0, 0, 0}},       // by 100, not by 400
        {{2021, 4, 31, 0, 0, 0}, {2021, 4, 30, 0, 0, 0}},       // a month of 30 days
        {{2021, 13, 31, 0, 0, 0}, {2021, 12, 31, 0, 0, 0}},     // clamped month, its own length
        {{2107, 11, 31, 23, 59, 58}, {2107, 11, 30, 23, 59, 58}},  // the last DOS year
    };
    for (const Case &c : cases) {
        uint16_t date = DosDate(c.stored), time = DosTime(c.stored);
        ClampDosTime(&date, &time);
        EXPECT_EQ(DosDate(c.stamped), date) << c.stored.year << "-" << c.stored.month << "-" << c.stored.day;
        EXPECT_EQ(DosTime(c.stamped), time) << c.stored.hours << ":" << c.stored.minutes << ":" << c.stored.seconds;
    }
}

}  // namespace

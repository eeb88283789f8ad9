// DOS dates and times as the local headers carry them, made into ones the
// system's DosDateTimeToFileTime accepts. Portable: no Windows headers.
//   time: bits 0-4 seconds/2, 5-10 minutes, 11-15 hours
//   date: bits 0-4 day, 5-8 month, 9-15 years since 1980
#pragma once

#include <cstdint>

// Clamps every field into range: seconds/2 to 29, minutes to 59, hours to
// 23; a month of 0 becomes 1 and one over 12 becomes 12; a day of 0 becomes 1
// and one past the month's end (31 April, 30 February, 29 February of a year
// that is not a leap year) the month's last day. The year stays as it is.
void ClampDosTime(uint16_t *dos_date, uint16_t *dos_time);

// Date-time values of scripts: a float counting days since 1899-12-30, with the time of day as
// the fraction. Dates before that day are negative; their time is the absolute fraction.
#pragma once

#include <cstdint>

namespace kova {

struct DateParts {
  int year = 0, month = 0, day = 0;
};
struct TimeParts {
  int hour = 0, min = 0, sec = 0, msec = 0;
};

// Years 1..9999 and a real calendar day; false otherwise.
bool TryEncodeDate(int year, int month, int day, long double& out);
bool TryEncodeTime(int hour, int min, int sec, int msec, long double& out);
// Throw the run-time failures for invalid parts.
long double EncodeDate(int year, int month, int day);
long double EncodeTime(int hour, int min, int sec, int msec = 0);
// The time is rounded to whole milliseconds first (so 23:59:59.9996 is the next day). Values
// outside years 1..9999 decode as zeros.
DateParts DecodeDate(long double t);
TimeParts DecodeTime(long double t);
// 1 = Sunday .. 7 = Saturday; 0 outside the calendar.
int DayOfWeek(long double t);
// The local date and time now.
long double NowDateTime();

}  // namespace kova

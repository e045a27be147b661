#include "expr/datetime.h"

#include <cmath>
#include <ctime>

#include "common/error.h"

namespace kova {

namespace {

constexpr int64_t kMsPerDay = 86400000;

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
int DaysIn(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

// 1899-12-30 counted from 1970-01-01.
const int64_t kEpoch = DaysFromCivil(1899, 12, 30);
const int64_t kMinDay = DaysFromCivil(1, 1, 1) - kEpoch;
const int64_t kMaxDay = DaysFromCivil(9999, 12, 31) - kEpoch;

// Whole milliseconds of t, or false when t is outside the calendar.
bool ToMs(long double t, int64_t& ms) {
  if (!std::isfinite(t) || t < kMinDay - 1 || t > kMaxDay + 1) return false;
  ms = static_cast<int64_t>(std::llroundl(t * kMsPerDay));
  return true;
}

}  // namespace

bool TryEncodeDate(int year, int month, int day, long double& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysIn(year, month))
    return false;
  out = static_cast<long double>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpoch);
  return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, long double& out) {
  if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 ||
      msec >= 1000)
    return false;
  out = static_cast<long double>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / kMsPerDay;
  return true;
}

long double EncodeDate(int year, int month, int day) {
  long double t;
  if (!TryEncodeDate(year, month, day, t)) throw Error("日付が不正です");
  return t;
}

long double EncodeTime(int hour, int min, int sec, int msec) {
  long double t;
  if (!TryEncodeTime(hour, min, sec, msec, t)) throw Error("時刻が不正です");
  return t;
}

DateParts DecodeDate(long double t) {
  DateParts p;
  int64_t ms;
  if (!ToMs(t, ms)) return p;
  const int64_t day = ms / kMsPerDay;  // toward zero: negative dates keep their day
  if (day < kMinDay || day > kMaxDay) return p;
  CivilFromDays(day + kEpoch, p.year, p.month, p.day);
  return p;
}

TimeParts DecodeTime(long double t) {
  TimeParts p;
  int64_t ms;
  if (!ToMs(t, ms)) return p;
  int64_t r = ms % kMsPerDay;
  if (r < 0) r = -r;
  p.msec = static_cast<int>(r % 1000);
  r /= 1000;
  p.sec = static_cast<int>(r % 60);
  r /= 60;
  p.min = static_cast<int>(r % 60);
  p.hour = static_cast<int>(r / 60);
  return p;
}

int DayOfWeek(long double t) {
  int64_t ms;
  if (!ToMs(t, ms)) return 0;
  const int64_t day = ms / kMsPerDay;
  if (day < kMinDay || day > kMaxDay) return 0;
  // Day 0 (1899-12-30) was a Saturday.
  return static_cast<int>(((day % 7) + 7 + 6) % 7) + 1;
}

long double NowDateTime() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  const time_t secs = ts.tv_sec;
  tm lt;
  localtime_r(&secs, &lt);
  long double d = 0, tm = 0;
  TryEncodeDate(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, d);
  TryEncodeTime(lt.tm_hour, lt.tm_min, lt.tm_sec > 59 ? 59 : lt.tm_sec,
                static_cast<int>(ts.tv_nsec / 1000000), tm);
  return d + tm;
}

}  // namespace kova

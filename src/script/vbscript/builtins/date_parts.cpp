#include "script/vbscript/builtins/date_parts.h"

#include <cmath>

#include "mirelda/error.h"

namespace mirelda::script::vbscript {
namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

// Days since 1970-01-01 of a civil date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

constexpr int64_t kUnixDay = 25569;  // 1970-01-01 as a day number

// Day numbers of 100-01-01 and 9999-12-31.
constexpr int64_t kFirstDay = -657434;
constexpr int64_t kLastDay = 2958465;

// The day and second of a serial, or false when it is no usable date.
bool Decompose(Date date, int64_t* day, int* second) {
  double serial = date.serial;
  if (!std::isfinite(serial) || std::fabs(serial) > 3e6) return false;
  double days = std::trunc(serial);
  auto seconds = static_cast<int64_t>(std::llround(std::fabs(serial - days) * 86400.0));
  auto whole = static_cast<int64_t>(days);
  // -0.5 is noon of day 0, not of day -1: the fraction runs forward from the day's midnight.
  if (seconds >= 86400) {
    seconds -= 86400;
    whole += serial < 0 ? -1 : 1;
  }
  *day = whole;
  *second = static_cast<int>(seconds);
  return true;
}

}  // namespace

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string_view MonthNameOf(int month) {
  static constexpr std::string_view kMonths[] = {"January",   "February", "March",    "April",
                                                 "May",       "June",     "July",     "August",
                                                 "September", "October",  "November", "December"};
  return kMonths[month - 1];
}

std::string_view WeekdayNameOf(int weekday) {
  static constexpr std::string_view kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};
  return kWeekdays[weekday - 1];
}

DateParts SplitDate(Date date) {
  int64_t day = 0;
  int second = 0;
  if (!Decompose(date, &day, &second) || day < kFirstDay || day > kLastDay) {
    throw Error(errc::kOverflow);
  }
  DateParts p{};
  CivilFromDays(day - kUnixDay, &p.year, &p.month, &p.day);
  p.hour = second / 3600;
  p.minute = second / 60 % 60;
  p.second = second % 60;
  // 1899-12-30 was a Saturday (7 with Sunday as 1).
  p.weekday = static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
  return p;
}

int64_t DayNumber(Date date) {
  int64_t day = 0;
  int second = 0;
  if (!Decompose(date, &day, &second)) throw Error(errc::kOverflow);
  return day;
}

int SecondOfDay(Date date) {
  int64_t day = 0;
  int second = 0;
  if (!Decompose(date, &day, &second)) throw Error(errc::kOverflow);
  return second;
}

Date DateOfDay(int64_t day, int64_t second) {
  day += second >= 0 ? second / 86400 : -((-second + 86399) / 86400);
  second -= (second >= 0 ? second / 86400 : -((-second + 86399) / 86400)) * 86400;
  if (day < kFirstDay || day > kLastDay) throw Error(errc::kInvalidProcedureCall);
  double time = static_cast<double>(second) / 86400.0;
  return Date{day < 0 ? static_cast<double>(day) - time : static_cast<double>(day) + time};
}

Date JoinDate(int64_t year, int64_t month, int day, int64_t second) {
  int64_t months = year * 12 + (month - 1);
  int64_t y = months >= 0 ? months / 12 : (months - 11) / 12;
  int m = static_cast<int>(months - y * 12) + 1;
  if (y < 100 || y > 9999) throw Error(errc::kInvalidProcedureCall);
  int last = DaysInMonth(static_cast<int>(y), m);
  int64_t d = DaysFromCivil(y, m, day > last ? last : day) + kUnixDay;
  return DateOfDay(d, second);
}

}  // namespace mirelda::script::vbscript

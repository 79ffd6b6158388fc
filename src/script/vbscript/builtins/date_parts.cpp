#include "script/vbscript/builtins/date_parts.h"

#include <chrono>
#include <cmath>

#include "mirelda/error.h"

namespace mirelda::script::vbscript {
namespace {

namespace chr = std::chrono;

// Serials are bounded (3e6 days) before they are split and joined dates lie in 100..9999, so the
// years stay well inside those chrono's calendar covers.
void CivilFromDays(int64_t days, int* year, int* month, int* day) {
  chr::year_month_day ymd{chr::sys_days{chr::days{days}}};
  *year = int{ymd.year()};
  *month = static_cast<int>(unsigned{ymd.month()});
  *day = static_cast<int>(unsigned{ymd.day()});
}

int64_t DaysFromCivil(int64_t y, int m, int d) {
  chr::year_month_day ymd{chr::year{static_cast<int>(y)}, chr::month{static_cast<unsigned>(m)},
                          chr::day{static_cast<unsigned>(d)}};
  return chr::sys_days{ymd}.time_since_epoch().count();
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
  chr::year_month_day_last last{chr::year{year},
                                chr::month_day_last{chr::month{static_cast<unsigned>(month)}}};
  return static_cast<int>(unsigned{last.day()});
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

// Date arithmetic and names: DateAdd, DateDiff, DatePart over the intervals "yyyy" "q" "m" "y"
// "d" "w" "ww" "h" "n" "s"; DateValue, TimeValue, Timer, MonthName, WeekdayName. Weeks start on
// the day that firstdayofweek names (0, the system's, is Sunday here), and the first week of a
// year is as firstweekofyear says (0, the system's, is the week of January 1).
#include <sys/time.h>

#include <cmath>
#include <ctime>

#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"
#include "script/vbscript/builtins/date_parts.h"
#include "script/vbscript/builtins/text_units.h"

namespace mirelda::script::vbscript {
namespace {

enum class Interval {
  kYear,
  kQuarter,
  kMonth,
  kDayOfYear,
  kDay,
  kWeekday,
  kWeek,
  kHour,
  kMinute,
  kSecond
};

Interval IntervalArg(const Variant& value) {
  std::string name = FoldCase(TextArg(value));
  static constexpr std::pair<std::string_view, Interval> kNames[] = {
      {"yyyy", Interval::kYear},   {"q", Interval::kQuarter}, {"m", Interval::kMonth},
      {"y", Interval::kDayOfYear}, {"d", Interval::kDay},     {"w", Interval::kWeekday},
      {"ww", Interval::kWeek},     {"h", Interval::kHour},    {"n", Interval::kMinute},
      {"s", Interval::kSecond},
  };
  for (const auto& [text, interval] : kNames) {
    if (name == text) return interval;
  }
  throw Error(errc::kInvalidProcedureCall);
}

// firstdayofweek as 1 (Sunday) .. 7 (Saturday).
int FirstDayArg(const BuiltinCall& call, size_t i) {
  if (!call.has(i)) return 1;
  int32_t day = LongArg(call.args[i]);
  if (day < 0 || day > 7) throw Error(errc::kInvalidProcedureCall);
  return day == 0 ? 1 : day;
}

int FirstWeekArg(const BuiltinCall& call, size_t i) {
  if (!call.has(i)) return 1;
  int32_t rule = LongArg(call.args[i]);
  if (rule < 0 || rule > 3) throw Error(errc::kInvalidProcedureCall);
  return rule == 0 ? 1 : rule;
}

int WeekdayOf(int64_t day) { return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1; }

// The day number on which the week holding day begins.
int64_t WeekStart(int64_t day, int first_day) { return day - (WeekdayOf(day) - first_day + 7) % 7; }

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

int64_t Timeline(Date date) { return DayNumber(date) * 86400 + SecondOfDay(date); }

int64_t DayOfJanuary(int year, int day) { return DayNumber(JoinDate(year, 1, day, 0)); }

// Week number of day in its year under the first-day and first-week rules.
int WeekOfYear(int64_t day, int first_day, int first_week) {
  int year = SplitDate(DateOfDay(day, 0)).year;
  for (;;) {
    int64_t jan1 = DayOfJanuary(year, 1);
    int64_t week1 = WeekStart(jan1, first_day);
    if (first_week == 2) {
      week1 = WeekStart(DayOfJanuary(year, 4), first_day);  // the first week with four days
    } else if (first_week == 3 && week1 != jan1) {
      week1 += 7;  // the first whole week
    }
    if (day >= week1 || year <= 100) {
      return static_cast<int>((WeekStart(day, first_day) - week1) / 7 + 1);
    }
    --year;  // the days before week 1 belong to the last week of the year before
  }
}

bool AnyNull(const BuiltinCall& call, std::initializer_list<size_t> which) {
  for (size_t i : which) {
    if (call.has(i) && PlainValue(call.args[i]).is_null()) return true;
  }
  return false;
}

Variant DateAdd(BuiltinCall& call) {
  Interval interval = IntervalArg(call.args[0]);
  Variant count = PlainValue(call.args[1]);
  Variant when = PlainValue(call.args[2]);
  if (when.is_null()) return when;
  double n = std::trunc(count.ToDouble());
  if (std::fabs(n) > 1e9) throw Error(errc::kInvalidProcedureCall);
  auto k = static_cast<int64_t>(n);
  Date date = when.ToDate();
  DateParts p = SplitDate(date);
  int64_t day = DayNumber(date);
  int64_t second = SecondOfDay(date);
  switch (interval) {
    case Interval::kYear:
      return Variant(JoinDate(p.year + k, p.month, p.day, second));
    case Interval::kQuarter:
      return Variant(JoinDate(p.year, p.month + 3 * k, p.day, second));
    case Interval::kMonth:
      return Variant(JoinDate(p.year, p.month + k, p.day, second));
    case Interval::kDayOfYear:
    case Interval::kDay:
    case Interval::kWeekday:
      return Variant(DateOfDay(day + k, second));
    case Interval::kWeek:
      return Variant(DateOfDay(day + 7 * k, second));
    case Interval::kHour:
      return Variant(DateOfDay(day, second + 3600 * k));
    case Interval::kMinute:
      return Variant(DateOfDay(day, second + 60 * k));
    case Interval::kSecond:
      return Variant(DateOfDay(day, second + k));
  }
  throw Error(errc::kInvalidProcedureCall);
}

// The number of interval boundaries between the two dates (negative when the second is earlier).
Variant DateDiff(BuiltinCall& call) {
  Interval interval = IntervalArg(call.args[0]);
  int first_day = FirstDayArg(call, 3);
  FirstWeekArg(call, 4);
  if (AnyNull(call, {1, 2})) return Variant::Null();
  Date a = PlainValue(call.args[1]).ToDate();
  Date b = PlainValue(call.args[2]).ToDate();
  DateParts pa = SplitDate(a), pb = SplitDate(b);
  int64_t da = DayNumber(a), db = DayNumber(b);
  int64_t result = 0;
  switch (interval) {
    case Interval::kYear:
      result = pb.year - pa.year;
      break;
    case Interval::kQuarter:
      result = (pb.year * 4 + (pb.month - 1) / 3) - (pa.year * 4 + (pa.month - 1) / 3);
      break;
    case Interval::kMonth:
      result = (pb.year * 12 + pb.month) - (pa.year * 12 + pa.month);
      break;
    case Interval::kDayOfYear:
    case Interval::kDay:
      result = db - da;
      break;
    case Interval::kWeekday:
      result = (db - da) / 7;
      break;
    case Interval::kWeek:
      result = (WeekStart(db, first_day) - WeekStart(da, first_day)) / 7;
      break;
    case Interval::kHour:
      result = FloorDiv(Timeline(b), 3600) - FloorDiv(Timeline(a), 3600);
      break;
    case Interval::kMinute:
      result = FloorDiv(Timeline(b), 60) - FloorDiv(Timeline(a), 60);
      break;
    case Interval::kSecond:
      result = Timeline(b) - Timeline(a);
      break;
  }
  if (result > INT32_MAX || result < INT32_MIN) throw Error(errc::kOverflow);
  return Variant(static_cast<int32_t>(result));
}

Variant DatePart(BuiltinCall& call) {
  Interval interval = IntervalArg(call.args[0]);
  int first_day = FirstDayArg(call, 2);
  int first_week = FirstWeekArg(call, 3);
  Variant when = PlainValue(call.args[1]);
  if (when.is_null()) return when;
  Date date = when.ToDate();
  DateParts p = SplitDate(date);
  int64_t day = DayNumber(date);
  int value = 0;
  switch (interval) {
    case Interval::kYear:
      value = p.year;
      break;
    case Interval::kQuarter:
      value = (p.month - 1) / 3 + 1;
      break;
    case Interval::kMonth:
      value = p.month;
      break;
    case Interval::kDayOfYear:
      value = static_cast<int>(day - DayOfJanuary(p.year, 1) + 1);
      break;
    case Interval::kDay:
      value = p.day;
      break;
    case Interval::kWeekday:
      value = (p.weekday - first_day + 7) % 7 + 1;
      break;
    case Interval::kWeek:
      value = WeekOfYear(day, first_day, first_week);
      break;
    case Interval::kHour:
      value = p.hour;
      break;
    case Interval::kMinute:
      value = p.minute;
      break;
    case Interval::kSecond:
      value = p.second;
      break;
  }
  return Variant(static_cast<int32_t>(value));
}

Date DateArg(const Variant& value) {
  Variant v = PlainValue(value);
  return v.ToDate();
}

Variant DateValue(BuiltinCall& call) {
  if (PlainValue(call.args[0]).is_null()) return Variant::Null();
  return Variant(DateOfDay(DayNumber(DateArg(call.args[0])), 0));
}

Variant TimeValue(BuiltinCall& call) {
  if (PlainValue(call.args[0]).is_null()) return Variant::Null();
  return Variant(Date{SecondOfDay(DateArg(call.args[0])) / 86400.0});
}

// Seconds since local midnight, to the hundredth.
Variant Timer(BuiltinCall&) {
  timeval now{};
  gettimeofday(&now, nullptr);
  std::tm local{};
  time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  double since = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                 std::floor(now.tv_usec / 10000.0) / 100.0;
  return Variant(static_cast<float>(since));
}

std::string Named(std::string_view name, bool abbreviate) {
  return std::string(abbreviate ? name.substr(0, 3) : name);
}

bool AbbreviateArg(const BuiltinCall& call, size_t i) {
  return call.has(i) && PlainValue(call.args[i]).ToBool();
}

Variant MonthName(BuiltinCall& call) {
  int32_t month = LongArg(call.args[0]);
  if (month < 1 || month > 12) throw Error(errc::kInvalidProcedureCall);
  return Variant(Named(MonthNameOf(month), AbbreviateArg(call, 1)));
}

Variant WeekdayName(BuiltinCall& call) {
  int32_t weekday = LongArg(call.args[0]);
  if (weekday < 1 || weekday > 7) throw Error(errc::kInvalidProcedureCall);
  int first_day = FirstDayArg(call, 2);
  return Variant(
      Named(WeekdayNameOf((weekday - 1 + first_day - 1) % 7 + 1), AbbreviateArg(call, 1)));
}

constexpr Builtin kDateArithmetic[] = {
    {"DateAdd", 3, 3, DateAdd},     {"DateDiff", 3, 5, DateDiff},
    {"DatePart", 2, 4, DatePart},   {"DateValue", 1, 1, DateValue},
    {"TimeValue", 1, 1, TimeValue}, {"Timer", 0, 0, Timer},
    {"MonthName", 1, 2, MonthName}, {"WeekdayName", 1, 3, WeekdayName},
};

}  // namespace

std::span<const Builtin> DateArithmeticBuiltins() { return kDateArithmetic; }

}  // namespace mirelda::script::vbscript

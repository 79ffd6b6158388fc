// The clock and the parts of a date. A date's serial counts days from 1899-12-30; its fraction is
// the time of day (for days before that, the fraction still counts forward from midnight).
#include <cmath>

#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"

namespace mirelda::script::vbscript {
namespace {

struct Parts {
  int year, month, day, hour, minute, second, weekday;
};

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

Parts Split(Date date) {
  double serial = date.serial;
  if (!std::isfinite(serial) || std::fabs(serial) > 3e6) throw Error(errc::kOverflow);
  double days = std::trunc(serial);
  double fraction = std::fabs(serial - days);
  auto seconds = static_cast<int64_t>(std::llround(fraction * 86400.0));
  auto whole_days = static_cast<int64_t>(days);
  if (seconds >= 86400) {
    seconds -= 86400;
    whole_days += serial < 0 ? -1 : 1;
  }
  Parts p{};
  CivilFromDays(whole_days - 25569, &p.year, &p.month, &p.day);
  p.hour = static_cast<int>(seconds / 3600);
  p.minute = static_cast<int>(seconds / 60 % 60);
  p.second = static_cast<int>(seconds % 60);
  // 1899-12-30 was a Saturday (7 with Sunday as 1).
  p.weekday = static_cast<int>(((whole_days + 6) % 7 + 7) % 7) + 1;
  return p;
}

// Null in, Null out; otherwise one part of the date as an Integer.
template <int Parts::*kPart>
Variant Part(BuiltinCall& call) {
  Variant v = PlainValue(call.args[0]);
  if (v.is_null()) return v;
  return Variant(static_cast<int16_t>(Split(v.ToDate()).*kPart));
}

Variant Now(BuiltinCall&) { return Variant(Date::Now()); }
Variant Today(BuiltinCall&) { return Variant(Date::Today()); }
Variant Time(BuiltinCall&) { return Variant(Date{Date::Now().serial - Date::Today().serial}); }

Variant DateSerial(BuiltinCall& call) {
  int32_t year = LongArg(call.args[0]);
  int32_t month = LongArg(call.args[1]);
  int32_t day = LongArg(call.args[2]);
  if (year >= 0 && year < 100) year += year < 30 ? 2000 : 1900;
  // Months and days outside their range carry into the year and month, as the language allows.
  int64_t months = int64_t{year} * 12 + (month - 1);
  int64_t y = months >= 0 ? months / 12 : (months - 11) / 12;
  int m = static_cast<int>(months - y * 12) + 1;
  if (y < 100 || y > 9999) throw Error(errc::kInvalidProcedureCall);
  Date first = Date::FromParts(static_cast<int>(y), m, 1);
  return Variant(Date{first.serial + (day - 1)});
}

Variant TimeSerial(BuiltinCall& call) {
  int64_t seconds = int64_t{LongArg(call.args[0])} * 3600 + int64_t{LongArg(call.args[1])} * 60 +
                    LongArg(call.args[2]);
  return Variant(Date{static_cast<double>(seconds) / 86400.0});
}

constexpr Builtin kDates[] = {
    {"Now", 0, 0, Now},
    {"Date", 0, 0, Today},
    {"Time", 0, 0, Time},
    {"Year", 1, 1, Part<&Parts::year>},
    {"Month", 1, 1, Part<&Parts::month>},
    {"Day", 1, 1, Part<&Parts::day>},
    {"Hour", 1, 1, Part<&Parts::hour>},
    {"Minute", 1, 1, Part<&Parts::minute>},
    {"Second", 1, 1, Part<&Parts::second>},
    {"Weekday", 1, 1, Part<&Parts::weekday>},
    {"DateSerial", 3, 3, DateSerial},
    {"TimeSerial", 3, 3, TimeSerial},
};

}  // namespace

std::span<const Builtin> DateBuiltins() { return kDates; }

}  // namespace mirelda::script::vbscript

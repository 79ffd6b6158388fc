// The clock and the parts of a date (date_parts.h).
#include <cmath>

#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"
#include "script/vbscript/builtins/date_parts.h"

namespace mirelda::script::vbscript {
namespace {

// Null in, Null out; otherwise one part of the date as an Integer.
template <int DateParts::*kPart>
Variant Part(BuiltinCall& call) {
  Variant v = PlainValue(call.args[0]);
  if (v.is_null()) return v;
  return Variant(static_cast<int16_t>(SplitDate(v.ToDate()).*kPart));
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
    {"Year", 1, 1, Part<&DateParts::year>},
    {"Month", 1, 1, Part<&DateParts::month>},
    {"Day", 1, 1, Part<&DateParts::day>},
    {"Hour", 1, 1, Part<&DateParts::hour>},
    {"Minute", 1, 1, Part<&DateParts::minute>},
    {"Second", 1, 1, Part<&DateParts::second>},
    {"Weekday", 1, 1, Part<&DateParts::weekday>},
    {"DateSerial", 3, 3, DateSerial},
    {"TimeSerial", 3, 3, TimeSerial},
};

}  // namespace

std::span<const Builtin> DateBuiltins() { return kDates; }

}  // namespace mirelda::script::vbscript

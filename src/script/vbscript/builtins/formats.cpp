// FormatNumber, FormatCurrency, FormatPercent and FormatDateTime in this host's regional form:
// "." before the decimals, "," between groups of three digits, "$" for money, a leading "-" for
// negative numbers, dates as the data layer writes them ("2026-12-08") and long dates in English
// ("Tuesday, December 8, 2026"). Numbers round half away from zero on their 15 significant
// digits, as the language shows them, so 2.675 is "2.68".
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"
#include "script/vbscript/builtins/date_parts.h"

namespace mirelda::script::vbscript {
namespace {

// A tri-state argument: -1 true, 0 false, -2 (or omitted) the regional default.
bool TriState(const BuiltinCall& call, size_t i, bool regional) {
  if (!call.has(i)) return regional;
  int32_t v = LongArg(call.args[i]);
  if (v == -2) return regional;
  if (v != -1 && v != 0) throw Error(errc::kInvalidProcedureCall);
  return v == -1;
}

struct NumberStyle {
  int digits = 2;
  bool leading_digit = true;
  bool parentheses = false;
  bool group = true;
};

NumberStyle StyleArgs(const BuiltinCall& call) {
  NumberStyle style;
  if (call.has(1)) {
    int32_t digits = LongArg(call.args[1]);
    if (digits < -1 || digits > 255) throw Error(errc::kInvalidProcedureCall);
    if (digits >= 0) style.digits = digits;
  }
  style.leading_digit = TriState(call, 2, true);
  style.parentheses = TriState(call, 3, false);
  style.group = TriState(call, 4, true);
  return style;
}

// The magnitude of value with digits decimals: the integer digits and the decimals.
std::pair<std::string, std::string> Decimal(double value, int digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  std::string mantissa;
  for (const char* p = buf; *p && *p != 'e'; ++p) {
    if (*p != '.') mantissa += *p;
  }
  int exponent = std::atoi(std::strchr(buf, 'e') + 1);
  // mantissa holds 15 digits, the first one before the point at 10^exponent.
  int point = exponent + 1;  // digits before the point
  std::string all = point > 0 ? mantissa : std::string(static_cast<size_t>(-point), '0') + mantissa;
  if (point <= 0) point = 0;
  size_t keep = static_cast<size_t>(point + digits);
  if (all.size() < keep + 1) all.append(keep + 1 - all.size(), '0');
  bool up = all[keep] >= '5';
  all.resize(keep);
  if (up) {
    size_t i = all.size();
    while (i > 0 && all[i - 1] == '9') all[--i] = '0';
    if (i == 0) {
      all.insert(all.begin(), '1');
      ++point;
    } else {
      ++all[i - 1];
    }
  }
  std::string whole = all.substr(0, static_cast<size_t>(point));
  std::string decimals = all.substr(static_cast<size_t>(point));
  while (whole.size() > 1 && whole[0] == '0') whole.erase(0, 1);
  return {whole, decimals};
}

std::string Grouped(const std::string& whole) {
  std::string out;
  size_t n = whole.size();
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += ',';
    out += whole[i];
  }
  return out;
}

std::string Format(double value, const NumberStyle& style, std::string_view prefix,
                   std::string_view suffix) {
  if (!std::isfinite(value)) throw Error(errc::kOverflow);
  auto [whole, decimals] = Decimal(value, style.digits);
  bool zero = whole.find_first_not_of('0') == std::string::npos &&
              decimals.find_first_not_of('0') == std::string::npos;
  if (whole.empty() || whole == "0") whole = style.leading_digit ? "0" : "";
  std::string body = std::string(prefix) + (style.group ? Grouped(whole) : whole);
  if (!decimals.empty()) body += "." + decimals;
  body += suffix;
  if (value >= 0 || zero) return body;
  return style.parentheses ? "(" + body + ")" : "-" + body;
}

double NumberArg(const Variant& value) { return PlainValue(value).ToDouble(); }

Variant FormatNumber(BuiltinCall& call) {
  return Variant(Format(NumberArg(call.args[0]), StyleArgs(call), "", ""));
}

Variant FormatCurrency(BuiltinCall& call) {
  return Variant(Format(NumberArg(call.args[0]), StyleArgs(call), "$", ""));
}

Variant FormatPercent(BuiltinCall& call) {
  return Variant(Format(NumberArg(call.args[0]) * 100.0, StyleArgs(call), "", "%"));
}

std::string Two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

Variant FormatDateTime(BuiltinCall& call) {
  Date date = PlainValue(call.args[0]).ToDate();
  int32_t form = call.has(1) ? LongArg(call.args[1]) : 0;
  DateParts p = SplitDate(date);
  std::string day = std::to_string(p.year) + "-" + Two(p.month) + "-" + Two(p.day);
  switch (form) {
    case 0:
      return Variant(FormatDate(date));
    case 1:
      return Variant(std::string(WeekdayNameOf(p.weekday)) + ", " +
                     std::string(MonthNameOf(p.month)) + " " + std::to_string(p.day) + ", " +
                     std::to_string(p.year));
    case 2:
      return Variant(day);
    case 3:
      return Variant(Two(p.hour) + ":" + Two(p.minute) + ":" + Two(p.second));
    case 4:
      return Variant(Two(p.hour) + ":" + Two(p.minute));
    default:
      throw Error(errc::kInvalidProcedureCall);
  }
}

constexpr Builtin kFormats[] = {
    {"FormatNumber", 1, 5, FormatNumber},
    {"FormatCurrency", 1, 5, FormatCurrency},
    {"FormatPercent", 1, 5, FormatPercent},
    {"FormatDateTime", 1, 2, FormatDateTime},
};

}  // namespace

std::span<const Builtin> FormatBuiltins() { return kFormats; }

}  // namespace mirelda::script::vbscript

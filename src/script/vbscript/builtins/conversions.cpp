// Conversions between subtypes and the number functions that keep their argument's subtype.
#include <cfenv>
#include <cmath>
#include <cstdio>

#include "mirelda/variant_ops.h"
#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"

namespace mirelda::script::vbscript {
namespace {

Variant CStr(BuiltinCall& call) { return Variant(TextArg(call.args[0])); }
Variant CInt(BuiltinCall& call) { return Variant(PlainValue(call.args[0]).ToInteger()); }
Variant CLng(BuiltinCall& call) { return Variant(PlainValue(call.args[0]).ToLong()); }
Variant CDbl(BuiltinCall& call) { return Variant(PlainValue(call.args[0]).ToDouble()); }
Variant CBool(BuiltinCall& call) { return Variant(PlainValue(call.args[0]).ToBool()); }
Variant CByte(BuiltinCall& call) { return Variant(PlainValue(call.args[0]).ToByte()); }
Variant CSng(BuiltinCall& call) { return Variant(PlainValue(call.args[0]).ToSingle()); }
Variant CCur(BuiltinCall& call) { return Variant(PlainValue(call.args[0]).ToCurrency()); }
Variant CDate(BuiltinCall& call) { return Variant(PlainValue(call.args[0]).ToDate()); }

// A number argument as the number functions take it: Null stays Null (the caller returns it),
// text becomes a Double, Empty an Integer 0, Boolean an Integer.
Variant NumberArg(const Variant& arg) {
  Variant v = PlainValue(arg);
  switch (v.type()) {
    case VarType::kNull:
    case VarType::kByte:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
    case VarType::kDate:
      return v;
    case VarType::kEmpty:
      return Variant(int16_t{0});
    case VarType::kBoolean:
      return Variant(static_cast<int16_t>(v.ToBool() ? -1 : 0));
    default:
      return Variant(v.ToDouble());
  }
}

Variant Abs(BuiltinCall& call) {
  Variant v = NumberArg(call.args[0]);
  if (v.is_null()) return v;
  if (v.type() == VarType::kDate) v = Variant(v.ToDouble());
  return v.ToDouble() < 0 ? Negate(v) : v;
}

// Int (floor) and Fix (toward zero) keep the subtype; integers are already whole.
template <double (*Whole)(double)>
Variant WholePart(BuiltinCall& call) {
  Variant v = NumberArg(call.args[0]);
  switch (v.type()) {
    case VarType::kDouble:
      return Variant(Whole(v.ToDouble()));
    case VarType::kSingle:
      return Variant(static_cast<float>(Whole(v.ToDouble())));
    case VarType::kCurrency: {
      Currency c = v.ToCurrency();
      int64_t whole = c.scaled / 10000;
      int64_t rest = c.scaled % 10000;
      if (rest != 0 && Whole(-0.5) < -0.5 && c.scaled < 0) --whole;
      Currency out;
      out.scaled = whole * 10000;
      return Variant(out);
    }
    case VarType::kDate:
      return Variant(Date{Whole(v.ToDouble())});
    default:
      return v;
  }
}

double Floor(double x) { return std::floor(x); }
double Truncate(double x) { return std::trunc(x); }

double RoundHalfEven(double x) {
  // nearbyint follows the current rounding mode, which is round-half-even unless changed.
  if (std::fegetround() == FE_TONEAREST) return std::nearbyint(x);
  double floor = std::floor(x);
  double diff = x - floor;
  if (diff > 0.5) return floor + 1;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

Variant Round(BuiltinCall& call) {
  Variant v = NumberArg(call.args[0]);
  if (v.is_null()) return v;
  int32_t places = call.has(1) ? CountArg(call.args[1]) : 0;
  switch (v.type()) {
    case VarType::kByte:
    case VarType::kInteger:
    case VarType::kLong:
      return v;
    default:
      break;
  }
  double x = v.ToDouble();
  double rounded;
  if (places == 0) {
    rounded = RoundHalfEven(x);
  } else {
    double scale = std::pow(10.0, places > 22 ? 22 : places);
    double scaled = x * scale;
    rounded = std::isfinite(scaled) ? RoundHalfEven(scaled) / scale : x;
  }
  switch (v.type()) {
    case VarType::kSingle:
      return Variant(static_cast<float>(rounded));
    case VarType::kCurrency:
      return Variant(Currency::FromDouble(rounded));
    case VarType::kDate:
      return Variant(Date{rounded});
    default:
      return Variant(rounded);
  }
}

Variant Sgn(BuiltinCall& call) {
  Variant v = NumberArg(call.args[0]);
  if (v.is_null()) return v;
  double x = v.ToDouble();
  return Variant(static_cast<int16_t>(x > 0 ? 1 : x < 0 ? -1 : 0));
}

// Hex and Oct write a negative Integer in 16 bits and a negative Long in 32.
template <char kFormat>
Variant Radix(BuiltinCall& call) {
  Variant v = NumberArg(call.args[0]);
  if (v.is_null()) return v;
  bool narrow = v.type() == VarType::kInteger || v.type() == VarType::kByte;
  int32_t n = v.ToLong();
  uint32_t bits = narrow && n >= -32768 && n < 0 ? static_cast<uint16_t>(n) : static_cast<uint32_t>(n);
  char text[16];
  std::snprintf(text, sizeof text, kFormat == 'X' ? "%X" : "%o", bits);
  return Variant(std::string(text));
}

constexpr Builtin kConversions[] = {
    {"CStr", 1, 1, CStr},
    {"CInt", 1, 1, CInt},
    {"CLng", 1, 1, CLng},
    {"CDbl", 1, 1, CDbl},
    {"CBool", 1, 1, CBool},
    {"CByte", 1, 1, CByte},
    {"CSng", 1, 1, CSng},
    {"CCur", 1, 1, CCur},
    {"CDate", 1, 1, CDate},
    {"Abs", 1, 1, Abs},
    {"Int", 1, 1, WholePart<Floor>},
    {"Fix", 1, 1, WholePart<Truncate>},
    {"Round", 1, 2, Round},
    {"Sgn", 1, 1, Sgn},
    {"Hex", 1, 1, Radix<'X'>},
    {"Oct", 1, 1, Radix<'o'>},
};

}  // namespace

std::span<const Builtin> ConversionBuiltins() { return kConversions; }

}  // namespace mirelda::script::vbscript

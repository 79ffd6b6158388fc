// The language's named constants. Numbers in the Integer range are Integers, as literals are.
#include "script/vbscript/builtins/builtins.h"

namespace mirelda::script::vbscript {
namespace {

template <int32_t kValue>
Variant Number() {
  if constexpr (kValue >= -32768 && kValue <= 32767) {
    return Variant(static_cast<int16_t>(kValue));
  } else {
    return Variant(kValue);
  }
}

template <char... kText>
Variant Text() {
  const char text[] = {kText...};
  return Variant(std::string(text, sizeof...(kText)));
}

Variant NullString() { return Variant(std::string()); }

constexpr BuiltinConstant kConstants[] = {
    {"vbCrLf", Text<'\r', '\n'>},
    {"vbNewLine", Text<'\r', '\n'>},
    {"vbCr", Text<'\r'>},
    {"vbLf", Text<'\n'>},
    {"vbTab", Text<'\t'>},
    {"vbFormFeed", Text<'\f'>},
    {"vbVerticalTab", Text<'\v'>},
    {"vbNullChar", Text<'\0'>},
    {"vbNullString", NullString},
    {"vbTrue", Number<-1>},
    {"vbFalse", Number<0>},
    {"vbUseDefault", Number<-2>},
    {"vbBinaryCompare", Number<0>},
    {"vbTextCompare", Number<1>},
    {"vbObjectError", Number<-2147221504>},
    {"vbEmpty", Number<0>},
    {"vbNull", Number<1>},
    {"vbInteger", Number<2>},
    {"vbLong", Number<3>},
    {"vbSingle", Number<4>},
    {"vbDouble", Number<5>},
    {"vbCurrency", Number<6>},
    {"vbDate", Number<7>},
    {"vbString", Number<8>},
    {"vbObject", Number<9>},
    {"vbError", Number<10>},
    {"vbBoolean", Number<11>},
    {"vbVariant", Number<12>},
    {"vbDataObject", Number<13>},
    {"vbDecimal", Number<14>},
    {"vbByte", Number<17>},
    {"vbArray", Number<8192>},
    {"vbSunday", Number<1>},
    {"vbMonday", Number<2>},
    {"vbTuesday", Number<3>},
    {"vbWednesday", Number<4>},
    {"vbThursday", Number<5>},
    {"vbFriday", Number<6>},
    {"vbSaturday", Number<7>},
    {"vbUseSystemDayOfWeek", Number<0>},
    {"vbUseSystem", Number<0>},
    {"vbFirstJan1", Number<1>},
    {"vbFirstFourDays", Number<2>},
    {"vbFirstFullWeek", Number<3>},
    {"vbGeneralDate", Number<0>},
    {"vbLongDate", Number<1>},
    {"vbShortDate", Number<2>},
    {"vbLongTime", Number<3>},
    {"vbShortTime", Number<4>},
    {"vbBlack", Number<0>},
    {"vbRed", Number<255>},
    {"vbGreen", Number<65280>},
    {"vbYellow", Number<65535>},
    {"vbBlue", Number<16711680>},
    {"vbMagenta", Number<16711935>},
    {"vbCyan", Number<16776960>},
    {"vbWhite", Number<16777215>},
};

}  // namespace

std::span<const BuiltinConstant> BuiltinConstants() { return kConstants; }

}  // namespace mirelda::script::vbscript

// Values and their subtypes: VarType numbers and type names, the conversion functions with
// their rounding, overflow and text forms, dates, equality and byte slices.
#include "mirelda/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "cell.h"
#include "support/error_matchers.h"

namespace mirelda {
namespace {

TEST(VariantTypes, VarTypeNumbersAndNames) {
  const struct {
    const char* what;
    Variant value;
    int32_t var_type;
    const char* type_name;
  } cases[] = {
      {"empty", Variant(), 0, "Empty"},
      {"null", Variant::Null(), 1, "Null"},
      {"integer", Variant(int16_t{1}), 2, "Integer"},
      {"long", Variant(int32_t{1}), 3, "Long"},
      {"single", Variant(1.5f), 4, "Single"},
      {"double", Variant(1.5), 5, "Double"},
      {"currency", Variant(Currency{15000}), 6, "Currency"},
      {"date", Variant(Date{1}), 7, "Date"},
      {"string", Variant("x"), 8, "String"},
      {"nothing", Variant::Nothing(), 9, "Nothing"},
      {"object", Variant(std::make_shared<testing::Cell>()), 9, "Cell"},
      {"error", Variant(ErrorValue{5}), 10, "Error"},
      {"missing", Variant::Missing(), 10, "Error"},
      {"boolean", Variant(true), 11, "Boolean"},
      {"byte", Variant(uint8_t{7}), 17, "Byte"},
      {"array", Variant(VariantArray({Variant(1)})), 8204, "Variant()"},
      {"bytes", Variant(ByteArray(std::string_view("ab"))), 8209, "Byte()"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VarTypeNumber(c.value), c.var_type) << c.what;
    EXPECT_EQ(TypeName(c.value), c.type_name) << c.what;
  }
}

// The page language's conversion functions, each giving a Variant of its own subtype.
Variant CByte(const Variant& v) { return Variant(v.ToByte()); }
Variant CInt(const Variant& v) { return Variant(v.ToInteger()); }
Variant CLng(const Variant& v) { return Variant(v.ToLong()); }
Variant CSng(const Variant& v) { return Variant(v.ToSingle()); }
Variant CDbl(const Variant& v) { return Variant(v.ToDouble()); }
Variant CCur(const Variant& v) { return Variant(v.ToCurrency()); }
Variant CBool(const Variant& v) { return Variant(v.ToBool()); }
Variant CStr(const Variant& v) { return Variant(v.ToString()); }

Variant I(int16_t v) { return Variant(v); }
Variant L(int32_t v) { return Variant(v); }
Variant Cur(int64_t scaled) { return Variant(Currency{scaled}); }
Variant S(const char* v) { return Variant(v); }

// Each row: the function, its argument, and the exact result (subtype and value) or the error.
TEST(VariantConversion, RoundingOverflowTextAndTheSubtypes) {
  constexpr int32_t kOverflow = errc::kOverflow, kMismatch = errc::kTypeMismatch,
                    kNull = errc::kInvalidUseOfNull;
  const struct {
    const char* what;
    Variant (*convert)(const Variant&);
    Variant from;
    Variant to;
    int32_t error = 0;
  } cases[] = {
      {"CInt 2.5", CInt, Variant(2.5), I(2)},
      {"CInt 3.5", CInt, Variant(3.5), I(4)},
      {"CInt -2.5", CInt, Variant(-2.5), I(-2)},
      {"CInt 32767.4", CInt, Variant(32767.4), I(32767)},
      {"CInt -32768.5 stays in range", CInt, Variant(-32768.5), I(-32768)},
      {"CInt 32767.5", CInt, Variant(32767.5), {}, kOverflow},
      {"CInt of Long 32768", CInt, L(32768), {}, kOverflow},
      {"CLng 2147483647.4", CLng, Variant(2147483647.4), L(2147483647)},
      {"CLng 2147483647.5", CLng, Variant(2147483647.5), {}, kOverflow},
      {"CLng NaN", CLng, Variant(std::nan("")), {}, kOverflow},
      {"CInt True", CInt, Variant(true), I(-1)},
      {"CLng Empty", CLng, Variant(), L(0)},
      {"CInt padded text", CInt, S(" 12 "), I(12)},
      {"CInt -4.5 text", CInt, S("-4.5"), I(-4)},
      {"CLng 1e3", CLng, S("1e3"), L(1000)},
      {"CInt &HFFFF", CInt, S("&HFFFF"), I(-1)},
      {"CLng &H10", CLng, S("&H10"), L(16)},
      {"CInt empty text", CInt, S(""), {}, kMismatch},
      {"CLng 12abc", CLng, S("12abc"), {}, kMismatch},
      {"CDbl inf", CDbl, S("inf"), {}, kMismatch},
      {"CDbl nan", CDbl, S("nan"), {}, kMismatch},
      {"CLng Null", CLng, Variant::Null(), {}, kNull},
      {"CLng array", CLng, Variant(VariantArray()), {}, kMismatch},
      {"CBool True", CBool, S("True"), Variant(true)},
      {"CBool padded false", CBool, S(" false "), Variant(false)},
      {"CBool -1", CBool, S("-1"), Variant(true)},
      {"CBool yes", CBool, S("yes"), {}, kMismatch},
      {"CByte 254.5", CByte, Variant(254.5), Variant(uint8_t{254})},
      {"CByte 255.5", CByte, Variant(255.5), {}, kOverflow},
      {"CByte -1", CByte, Variant(-1), {}, kOverflow},
      {"CByte text", CByte, S(" 12 "), Variant(uint8_t{12})},
      {"CByte Null", CByte, Variant::Null(), {}, kNull},
      {"CSng", CSng, Variant(0.5), Variant(0.5f)},
      {"CSng too big", CSng, Variant(1e39), {}, kOverflow},
      {"CSng word", CSng, S("x"), {}, kMismatch},
      {"CCur half to even up", CCur, Variant(1.23455), Cur(12346)},
      {"CCur half to even down", CCur, Variant(1.23465), Cur(12346)},
      {"CCur above half", CCur, Variant(-0.000051), Cur(-1)},
      {"CCur True", CCur, Variant(true), Cur(-10000)},
      {"CCur Long", CCur, L(-7), Cur(-70000)},
      {"CCur text", CCur, S("2.5"), Cur(25000)},
      {"CCur overflow", CCur, Variant(1e15), {}, kOverflow},
      {"CCur NaN", CCur, Variant(std::nan("")), {}, kOverflow},
      {"CLng of Currency rounds half to even", CLng, Cur(25000), L(2)},
      {"CInt of Currency -3.5", CInt, Cur(-35000), I(-4)},
      {"CInt of Currency overflow", CInt, Cur(327675000), {}, kOverflow},
      {"CLng of Byte", CLng, Variant(uint8_t{200}), L(200)},
      {"CDbl of Currency", CDbl, Cur(5), Variant(0.0005)},
      {"CBool of Currency", CBool, Cur(1), Variant(true)},
      {"CStr of Error", CStr, Variant(ErrorValue{5}), {}, kMismatch},
      {"CDbl of Error", CDbl, Variant(ErrorValue{5}), {}, kMismatch},
      {"CStr Null", CStr, Variant::Null(), {}, kNull},
      {"CStr Nothing", CStr, Variant::Nothing(), {}, errc::kObjectVariableNotSet},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.error != 0) {
      EXPECT_ERROR(c.convert(c.from), c.error);
    } else {
      EXPECT_EQ(c.convert(c.from), c.to);
    }
  }
}

TEST(VariantConversion, TextFormsOfNumbers) {
  const std::vector<std::pair<Variant, std::string>> cases = {
      {Variant(), ""},
      {Variant(true), "True"},
      {Variant(false), "False"},
      {Variant(int16_t{-7}), "-7"},
      {Variant(uint8_t{255}), "255"},
      {Variant(1.5), "1.5"},
      {Variant(0.1 + 0.2), "0.3"},
      {Variant(1e20), "1E+20"},
      {Variant(0.00001), "1E-05"},
      {Variant(100.0), "100"},
      {Variant(1.0 / 3.0), "0.333333333333333"},
      {Variant(123456789012345678.0), "1.23456789012346E+17"},
      {Variant(1.5f), "1.5"},
      {Variant(0.1f), "0.1"},  // 7 digits hide the binary error a Double would show
      {Variant(1234567.0f), "1234567"},
      {Variant(12345678.0f), "1.234568E+07"},
      {Cur(12345), "1.2345"},
      {Cur(10000), "1"},
      {Cur(-15000), "-1.5"},
      {Cur(-5), "-0.0005"},
      {Cur(std::numeric_limits<int64_t>::min()), "-922337203685477.5808"},
      {Cur(std::numeric_limits<int64_t>::max()), "922337203685477.5807"},
      {Variant(Date::FromParts(2026, 1, 2)), "2026-01-02"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(value.ToString(), text) << text;
}

// Serials and their text: negative serials count their days back and their time forwards, years
// run on past 100..9999 in both directions, and the 400-year cycle, the century leap rule and
// month carry all meet here.
TEST(VariantDate, CalendarEdges) {
  struct Case {
    int y, mo, d, h, mi, s;
    double serial;
    const char* text;
  };
  const Case cases[] = {
      {1899, 12, 30, 6, 0, 0, 0.25, "06:00:00"},
      {1899, 12, 29, 6, 0, 0, -1.25, "1899-12-29 06:00:00"},
      {1899, 12, 29, 0, 0, 0, -1, "1899-12-29"},
      {1900, 1, 1, 0, 0, 0, 2, "1900-01-01"},
      {1900, 2, 28, 12, 0, 0, 60.5, "1900-02-28 12:00:00"},
      {1900, 3, 1, 0, 0, 0, 61, "1900-03-01"},
      {2000, 2, 29, 0, 0, 0, 36585, "2000-02-29"},
      {2026, 12, 6, 13, 5, 9, 46362 + 47109 / 86400.0, "2026-12-06 13:05:09"},
      {9999, 12, 31, 0, 0, 0, 2958465, "9999-12-31"},
      {10000, 1, 1, 0, 0, 0, 2958466, "10000-01-01"},
      {100, 1, 1, 0, 0, 0, -657434, "0100-01-01"},
      {99, 12, 31, 0, 0, 0, -657435, "0099-12-31"},
      {1, 1, 1, 0, 0, 0, -693593, "0001-01-01"},
      {0, 2, 29, 0, 0, 0, -693900, "0000-02-29"},
      {-32768, 1, 1, 0, 0, 0, -12662225, "-32768-01-01"},
      {40000, 3, 1, 0, 0, 0, 13915801, "40000-03-01"},
      {2026, 13, 1, 0, 0, 0, 46388, "2027-01-01"},
      {2026, 0, 1, 0, 0, 0, 45992, "2025-12-01"},
      {2026, 2, 31, 0, 0, 0, 46084, "2026-03-03"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Date d = Date::FromParts(c.y, c.mo, c.d, c.h, c.mi, c.s);
    EXPECT_NEAR(d.serial, c.serial, 1e-9);
    EXPECT_EQ(FormatDate(Date{c.serial}), c.text);
  }
  EXPECT_EQ(FormatDateTime(Date{2}), "1900-01-01 00:00:00");
  EXPECT_EQ(FormatDate(Date{-0.25}), "06:00:00");
  EXPECT_EQ(FormatDateTime(Date{0.9999999}), "1899-12-31 00:00:00");
  EXPECT_EQ(FormatDateTime(Date{-2.9999999}), "1899-12-27 00:00:00");
  EXPECT_ERROR(FormatDate(Date{std::nan("")}), errc::kOverflow);
  EXPECT_ERROR(FormatDate(Date{1e300}), errc::kOverflow);
}

TEST(VariantDate, Parsing) {
  const struct {
    const char* text;
    const char* date;  // nullptr: not a date
  } cases[] = {
      {"2026-12-06 13:05:09", "2026-12-06 13:05:09"},
      {"2026-12-06T13:05:09.123456", "2026-12-06 13:05:09"},
      {" 2024/2/29 ", "2024-02-29"},
      {"2000-02-29", "2000-02-29"},
      {"0004-02-29", "0004-02-29"},
      {"0029-01-31", "0029-01-31"},
      {"12:30", "12:30:00"},
      {"1900-02-29", nullptr},
      {"2026-02-29", nullptr},
      {"2026-04-31", nullptr},
      {"2026-13-01", nullptr},
      {"2026-00-10", nullptr},
      {"2026-12-06 24:00:00", nullptr},
      {"2026-12/06", nullptr},
      {"26-12-06", nullptr},
      {"10000-01-01", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Date parsed{-7};
    ASSERT_EQ(ParseDate(c.text, &parsed), c.date != nullptr);
    if (c.date) {
      EXPECT_EQ(FormatDate(parsed), c.date);
    }
  }
  EXPECT_ERROR(Variant("tomorrow").ToDate(), errc::kTypeMismatch);
}

TEST(VariantDate, Clock) {
  Date today = Date::Today();
  EXPECT_EQ(today.serial, std::trunc(today.serial));
  Date now = Date::Now();
  EXPECT_EQ(Date::FromUnixTime(now.ToUnixTime()), now);
}

TEST(VariantEquality, NullEqualsNothingTextIsCaseSensitiveAndNumbersMatchAcrossSubtypes) {
  EXPECT_TRUE(Variant(uint8_t{1}).is_numeric());
  EXPECT_TRUE(Variant(1.0f).is_numeric());
  EXPECT_TRUE(Variant(Currency{}).is_numeric());
  EXPECT_FALSE(Variant(ErrorValue{1}).is_numeric());
  EXPECT_FALSE(Equals(Variant::Null(), Variant::Null()));
  EXPECT_FALSE(Equals(Variant::Null(), Variant("")));
  EXPECT_FALSE(Equals(Variant("Sun In May"), Variant("sun in may")));
  EXPECT_TRUE(Equals(Variant("checkbox"), Variant(std::string("checkbox"))));
  EXPECT_TRUE(Equals(Variant(), Variant("")));
  EXPECT_TRUE(Equals(Variant(), Variant(int32_t{0})));
  EXPECT_TRUE(Equals(Variant(int16_t{1}), Variant(1.0)));
  EXPECT_FALSE(Equals(Variant(int32_t{1}), Variant("1")));
  EXPECT_FALSE(Equals(Variant::Missing(), Variant::Missing()));
  EXPECT_TRUE(Equals(Variant(Currency{10000}), Variant(int16_t{1})));
  EXPECT_TRUE(Equals(Variant(uint8_t{3}), Variant(3.0f)));
}

TEST(VariantBytes, SlicesShareTheirStorage) {
  auto storage = std::make_shared<const std::vector<uint8_t>>(std::vector<uint8_t>{1, 2, 3, 4});
  ByteArray slice(storage, 1, 2);
  Variant v(slice);
  Variant copy = v;
  EXPECT_EQ(copy.AsBytes().data(), storage->data() + 1);
  EXPECT_EQ(copy.AsBytes().ToVector(), (std::vector<uint8_t>{2, 3}));
  EXPECT_ERROR(ByteArray(storage, 3, 2), errc::kSubscriptOutOfRange);
  EXPECT_EQ(ByteArray().data(), nullptr);
}

}  // namespace
}  // namespace mirelda

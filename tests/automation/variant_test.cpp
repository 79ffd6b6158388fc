#include "mirelda/variant.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/error_matchers.h"

namespace mirelda {
namespace {

TEST(VariantConversion, RoundsHalfToEvenAndOverflowsAtTheEdges) {
  EXPECT_EQ(Variant(2.5).ToInteger(), 2);
  EXPECT_EQ(Variant(3.5).ToInteger(), 4);
  EXPECT_EQ(Variant(-2.5).ToInteger(), -2);
  EXPECT_EQ(Variant(32767.4).ToInteger(), 32767);
  EXPECT_EQ(Variant(-32768.5).ToInteger(), -32768);  // half to even stays in range
  EXPECT_ERROR(Variant(32767.5).ToInteger(), errc::kOverflow);
  EXPECT_ERROR(Variant(int32_t{32768}).ToInteger(), errc::kOverflow);
  EXPECT_EQ(Variant(2147483647.4).ToLong(), 2147483647);
  EXPECT_ERROR(Variant(2147483647.5).ToLong(), errc::kOverflow);
  EXPECT_ERROR(Variant(std::nan("")).ToLong(), errc::kOverflow);
  EXPECT_EQ(Variant(true).ToInteger(), -1);
  EXPECT_EQ(Variant().ToLong(), 0);
}

TEST(VariantConversion, ReadsNumericTextAndRefusesTheRest) {
  EXPECT_EQ(Variant(" 12 ").ToInteger(), 12);
  EXPECT_EQ(Variant("-4.5").ToInteger(), -4);
  EXPECT_EQ(Variant("1e3").ToLong(), 1000);
  EXPECT_EQ(Variant("&HFFFF").ToInteger(), -1);
  EXPECT_EQ(Variant("&H10").ToLong(), 16);
  EXPECT_ERROR(Variant("").ToInteger(), errc::kTypeMismatch);
  EXPECT_ERROR(Variant("12abc").ToLong(), errc::kTypeMismatch);
  EXPECT_ERROR(Variant("inf").ToDouble(), errc::kTypeMismatch);
  EXPECT_ERROR(Variant("nan").ToDouble(), errc::kTypeMismatch);
  EXPECT_ERROR(Variant::Null().ToLong(), errc::kInvalidUseOfNull);
  EXPECT_ERROR(Variant(VariantArray()).ToLong(), errc::kTypeMismatch);
  EXPECT_TRUE(Variant("True").ToBool());
  EXPECT_FALSE(Variant(" false ").ToBool());
  EXPECT_TRUE(Variant("-1").ToBool());
  EXPECT_ERROR(Variant("yes").ToBool(), errc::kTypeMismatch);
}

TEST(VariantConversion, WritesNumbersAsThePageLanguageDoes) {
  EXPECT_EQ(Variant(true).ToString(), "True");
  EXPECT_EQ(Variant(int16_t{-7}).ToString(), "-7");
  EXPECT_EQ(Variant(1.5).ToString(), "1.5");
  EXPECT_EQ(Variant(0.1 + 0.2).ToString(), "0.3");
  EXPECT_EQ(Variant(1e20).ToString(), "1E+20");
  EXPECT_EQ(Variant(0.00001).ToString(), "1E-05");
  EXPECT_EQ(Variant(100.0).ToString(), "100");
  EXPECT_EQ(Variant().ToString(), "");
  EXPECT_ERROR(Variant::Null().ToString(), errc::kInvalidUseOfNull);
  EXPECT_EQ(Variant::Null().ToText(), "");
  EXPECT_ERROR(Variant::Nothing().ToString(), errc::kObjectVariableNotSet);
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
  EXPECT_EQ(Variant(Date::FromParts(2026, 1, 2)).ToString(), "2026-01-02");
}

TEST(VariantDate, Clock) {
  Date today = Date::Today();
  EXPECT_EQ(today.serial, std::trunc(today.serial));
  EXPECT_EQ(Date::FromUnixTime(Date::Now().ToUnixTime()), Date::Now());
}

TEST(VariantEquality, NullEqualsNothingAndTextIsCaseSensitive) {
  EXPECT_FALSE(Equals(Variant::Null(), Variant::Null()));
  EXPECT_FALSE(Equals(Variant::Null(), Variant("")));
  EXPECT_FALSE(Equals(Variant("Sun In May"), Variant("sun in may")));
  EXPECT_TRUE(Equals(Variant("checkbox"), Variant(std::string("checkbox"))));
  EXPECT_TRUE(Equals(Variant(), Variant("")));
  EXPECT_TRUE(Equals(Variant(), Variant(int32_t{0})));
  EXPECT_TRUE(Equals(Variant(int16_t{1}), Variant(1.0)));
  EXPECT_FALSE(Equals(Variant(int32_t{1}), Variant("1")));
  EXPECT_FALSE(Equals(Variant::Missing(), Variant::Missing()));
}

TEST(VariantArrayBounds, AnyLowerBoundAndSubscriptErrors) {
  VariantArray a({Variant("a"), Variant("b"), Variant("c")}, 5);
  EXPECT_EQ(a.lower_bound(), 5);
  EXPECT_EQ(a.upper_bound(), 7);
  EXPECT_EQ(a.at(6).ToString(), "b");
  EXPECT_ERROR(a.at(4), errc::kSubscriptOutOfRange);
  EXPECT_ERROR(a.at(8), errc::kSubscriptOutOfRange);
  EXPECT_EQ(VariantArray().upper_bound(), -1);
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

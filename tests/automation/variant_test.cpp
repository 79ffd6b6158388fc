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

TEST(VariantDate, TextFormsAndParsing) {
  Date d = Date::FromParts(2026, 12, 6, 13, 5, 9);
  EXPECT_EQ(FormatDate(d), "2026-12-06 13:05:09");
  EXPECT_EQ(Variant(d).ToString(), "2026-12-06 13:05:09");
  EXPECT_EQ(FormatDate(Date::FromParts(2026, 1, 2)), "2026-01-02");
  EXPECT_EQ(FormatDateTime(Date::FromParts(2026, 1, 2)), "2026-01-02 00:00:00");
  EXPECT_EQ(FormatDate(Date::FromParts(1899, 12, 30, 6, 0, 0)), "06:00:00");
  EXPECT_EQ(FormatDate(Date::FromParts(1899, 12, 29, 6, 0, 0)), "1899-12-29 06:00:00");
  EXPECT_DOUBLE_EQ(Date::FromParts(1900, 1, 1).serial, 2.0);

  Date parsed;
  ASSERT_TRUE(ParseDate("2026-12-06 13:05:09", &parsed));
  EXPECT_EQ(FormatDateTime(parsed), "2026-12-06 13:05:09");
  ASSERT_TRUE(ParseDate("2024/2/29", &parsed));
  EXPECT_EQ(FormatDate(parsed), "2024-02-29");
  ASSERT_TRUE(ParseDate("2026-12-06 13:05:09.123456", &parsed));
  EXPECT_EQ(FormatDateTime(parsed), "2026-12-06 13:05:09");
  EXPECT_FALSE(ParseDate("2026-02-29", &parsed));
  EXPECT_FALSE(ParseDate("2026-13-01", &parsed));
  EXPECT_FALSE(ParseDate("2026-12-06 24:00:00", &parsed));
  EXPECT_ERROR(Variant("tomorrow").ToDate(), errc::kTypeMismatch);

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

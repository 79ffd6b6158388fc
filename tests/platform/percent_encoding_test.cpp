// The shared percent-encoder with each caller's set of kept bytes.
#include "platform/percent_encoding.h"

#include <gtest/gtest.h>

namespace mirelda::platform {
namespace {

bool KeepsNothing(unsigned char) { return false; }

TEST(PercentEncoding, EncodesEveryRefusedByteInUpperCaseHex) {
  struct Case {
    std::string_view bytes;
    KeepsByte keep;
    bool blank_as_plus;
    std::string_view encoded;
  };
  using namespace std::string_view_literals;
  const Case cases[] = {
      {"a b", IsFormSafe, true, "a+b"},
      {"a b", IsFormSafe, false, "a%20b"},
      {"-_.*~!", IsFormSafe, true, "-_.*%7E%21"},
      {"\x00\x7f\x80\xff"sv, IsFormSafe, true, "%00%7F%80%FF"},
      {"\xe4\xb8\xad", IsFormSafe, true, "%E4%B8%AD"},
      {"AZaz09", KeepsNothing, false, "%41%5A%61%7A%30%39"},
      {"", IsFormSafe, true, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(PercentEncode(c.bytes, c.keep, c.blank_as_plus), c.encoded);
}

TEST(PercentEncoding, HexDigitsOfBothCases) {
  const std::string_view digits = "0123456789abcdefABCDEF";
  const int values[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                        11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15};
  for (size_t i = 0; i < digits.size(); ++i) EXPECT_EQ(HexValue(digits[i]), values[i]);
  for (char c : std::string_view("gG/:@` %")) EXPECT_EQ(HexValue(c), -1) << c;
}

}  // namespace
}  // namespace mirelda::platform

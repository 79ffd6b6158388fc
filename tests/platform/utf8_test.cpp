// The UTF-8 stepper at the edges of each sequence length, and the encoders around it.
#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace mirelda::platform::utf8 {
namespace {

using namespace std::string_view_literals;

TEST(Utf8, DecodesTheFirstCharacterAtEveryEdge) {
  struct Case {
    std::string_view bytes;
    bool valid;
    char32_t code_point;  // the lead byte's value when malformed
    size_t one_byte;      // bytes covered in each malformed mode
    size_t maximal_prefix;
  };
  const Case cases[] = {
      {"\x00"sv, true, 0x00, 1, 1},
      {"\x7F", true, 0x7F, 1, 1},
      {"\xC2\x80", true, 0x80, 2, 2},
      {"\xDF\xBF", true, 0x7FF, 2, 2},
      {"\xE0\xA0\x80", true, 0x800, 3, 3},
      {"\xEF\xBF\xBF", true, 0xFFFF, 3, 3},
      {"\xF0\x90\x80\x80", true, 0x10000, 4, 4},
      {"\xF4\x8F\xBF\xBF", true, 0x10FFFF, 4, 4},
      {"\xED\x9F\xBF", true, 0xD7FF, 3, 3},
      {"\xEE\x80\x80", true, 0xE000, 3, 3},
      {"\xC3\xA9z", true, 0xE9, 2, 2},
      {"\x80", false, 0x80, 1, 1},
      {"\xBF\x80", false, 0xBF, 1, 1},
      {"\xC0\x80", false, 0xC0, 1, 1},              // overlong two-byte NUL
      {"\xC1\xBF", false, 0xC1, 1, 1},              // overlong two-byte U+007F
      {"\xE0\x80\x80", false, 0xE0, 1, 1},          // overlong three-byte NUL
      {"\xE0\x9F\xBF", false, 0xE0, 1, 1},          // overlong three-byte U+07FF
      {"\xF0\x80\x80\x80", false, 0xF0, 1, 1},      // overlong four-byte NUL
      {"\xF0\x8F\xBF\xBF", false, 0xF0, 1, 1},      // overlong four-byte U+FFFF
      {"\xED\xA0\x80", false, 0xED, 1, 1},          // high surrogate half
      {"\xED\xBF\xBF", false, 0xED, 1, 1},          // low surrogate half
      {"\xED\xA0\x80\xED\xB0\x80", false, 0xED, 1, 1},
      {"\xF4\x90\x80\x80", false, 0xF4, 1, 1},      // U+110000
      {"\xF5\x80\x80\x80", false, 0xF5, 1, 1},
      {"\xF8\x88\x80\x80\x80", false, 0xF8, 1, 1},
      {"\xFF", false, 0xFF, 1, 1},
      {"\xC3", false, 0xC3, 1, 1},                  // cut short at the end
      {"\xE4\xB8", false, 0xE4, 1, 2},
      {"\xF0\x9F\x98", false, 0xF0, 1, 3},
      {"\xE4\xB8z", false, 0xE4, 1, 2},             // cut short by an ASCII byte
      {"\xF0\x9F\x98\xC3\xA9", false, 0xF0, 1, 3},  // cut short by the next lead
      {"\xC3\xC3\xA9", false, 0xC3, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    for (Malformed mode : {Malformed::kOneByte, Malformed::kMaximalPrefix}) {
      Decoded d = DecodeNext(c.bytes, 0, mode);
      EXPECT_EQ(d.valid, c.valid);
      EXPECT_EQ(d.code_point, c.code_point);
      EXPECT_EQ(d.size, mode == Malformed::kOneByte ? c.one_byte : c.maximal_prefix);
    }
    EXPECT_EQ(IsValid(c.bytes), c.valid);
  }
}

TEST(Utf8, DecodesFromAnOffsetInsideTheText) {
  std::string_view text = "a\xE4\xB8\xAD\xF0\x9F\x98\x80";
  EXPECT_EQ(DecodeNext(text, 1).code_point, 0x4E2Du);
  EXPECT_EQ(DecodeNext(text, 4).code_point, 0x1F600u);
  EXPECT_EQ(DecodeNext(text, 4).size, 4u);
  EXPECT_FALSE(DecodeNext(text, 2).valid);  // a continuation byte starts nothing
}

TEST(Utf8, AppendsScalarValuesAndReplacesTheRest) {
  struct Case {
    char32_t code_point;
    std::string_view bytes;
  };
  const Case cases[] = {
      {0x00, "\x00"sv},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
      {0xD800, kReplacementText},
      {0xDFFF, kReplacementText},
      {0x110000, kReplacementText},
      {0xFFFFFFFF, kReplacementText},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Encode(c.code_point), c.bytes) << uint32_t{c.code_point};
    std::string out = "x";
    Append(c.code_point, out);
    EXPECT_EQ(out, "x" + std::string(c.bytes));
  }
}

TEST(Utf8, ConvertsUtf16BothWays) {
  struct Case {
    std::vector<uint16_t> units;
    std::string_view bytes;
  };
  const Case both_ways[] = {
      {{}, ""},
      {{0x41, 0xE9, 0x4E2D}, "A\xC3\xA9\xE4\xB8\xAD"},
      {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
      {{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
  };
  for (const Case& c : both_ways) {
    EXPECT_EQ(FromUtf16(c.units), c.bytes);
    EXPECT_EQ(ToUtf16(c.bytes), c.units);
  }
  // A surrogate half without its partner has no UTF-8 form.
  const Case lone_halves[] = {
      {{0xD800}, "\xEF\xBF\xBD"},
      {{0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {{0xD800, 0x41}, "\xEF\xBF\xBD" "A"},
      {{0x41, 0xDFFF}, "A\xEF\xBF\xBD"},
  };
  for (const Case& c : lone_halves) EXPECT_EQ(FromUtf16(c.units), c.bytes);
  // Malformed bytes pass as Latin-1, one unit each, so that no byte is lost.
  const Case latin1[] = {
      {{0x80}, "\x80"},
      {{0xC0, 0x80}, "\xC0\x80"},
      {{0xED, 0xA0, 0x80}, "\xED\xA0\x80"},
      {{0xE4, 0xB8}, "\xE4\xB8"},
      {{0xFF, 0x41}, "\xFF" "A"},
  };
  for (const Case& c : latin1) EXPECT_EQ(ToUtf16(c.bytes), c.units);
}

TEST(Utf8, StepsLooselyOverMalformedText) {
  struct Case {
    std::string_view text;
    size_t first;       // LooseSize at 0
    size_t last_start;  // LooseLastStart
  };
  const Case cases[] = {
      {"a", 1, 0},
      {"\xC3\xA9", 2, 0},
      {"\xF0\x9F\x98\x80", 4, 0},
      {"\x80\x80\x80\x80\x80", 4, 1},
      {"\xC3\xA9\xA9", 3, 0},
      {"ab\xA9", 1, 1},
      {"\xE4\xB8", 2, 0},
      {"\xC3" "a", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(LooseSize(c.text, 0), c.first);
    EXPECT_EQ(LooseLastStart(c.text), c.last_start);
  }
}

TEST(Utf8, LeadSizeAnnouncesOnlyWellFormedLengths) {
  struct Case {
    unsigned char lead;
    size_t size;
  };
  const Case cases[] = {{0x00, 1}, {0x7F, 1}, {0x80, 1}, {0xBF, 1}, {0xC0, 1}, {0xC1, 1},
                        {0xC2, 2}, {0xDF, 2}, {0xE0, 3}, {0xEF, 3}, {0xF0, 4}, {0xF4, 4},
                        {0xF5, 1}, {0xFF, 1}};
  for (const Case& c : cases) EXPECT_EQ(LeadSize(c.lead), c.size) << int{c.lead};
}

}  // namespace
}  // namespace mirelda::platform::utf8

// Edges of text conversion through each converter that shares the iconv wrapper: the byte 0x80,
// the last code page of the Windows range (1258, whose converter holds letters back), invalid
// and cut-off sequences.
#include <gtest/gtest.h>

#include <string>

#include "data/charset_codec.h"
#include "data/charset_conversion.h"
#include "host/objects/code_page.h"
#include "support/error_matchers.h"
#include "upload/text_decoder.h"

namespace mirelda {
namespace {

constexpr const char* kEuro = "\xE2\x82\xAC";
constexpr const char* kReplacement = "\xEF\xBF\xBD";
const std::string k80a = std::string("\x80") + "a";  // 0x80 before an ASCII letter

struct Decoded {
  std::string text;
  size_t used;
};

Decoded CodecDecode(const std::string& charset, std::string_view bytes, size_t max_chars) {
  data::CharsetCodec codec(charset);
  Decoded d;
  d.used = codec.Decode(bytes, max_chars, d.text);
  return d;
}

// Regression: the stream codec lost the last letter of CP1258 text, which its converter holds
// back until it is told that the bytes ended.
TEST(TextConversionEdges, TheStreamCodecDecodesEveryCharacter) {
  struct Case {
    const char* charset;
    std::string bytes;
    size_t max_chars;
    std::string text;
    size_t used;
  };
  const Case cases[] = {
      {"CP1258", "abc", 100, "abc", 3},
      {"CP1258", "abc", 2, "ab", 2},
      {"CP1258", "a", 1, "a", 1},
      {"CP1250", "abc", 100, "abc", 3},
      {"GBK", k80a, 100, std::string(kEuro) + "a", 2},
      {"GBK", "a\x81", 100, std::string("a") + kReplacement, 2},
      {"UTF-8", "a\xC3", 100, std::string("a") + kReplacement, 2},
      {"UTF-8", "\xF0\x9F\x98", 100, std::string(kReplacement) + kReplacement + kReplacement, 3},
      {"ISO-8859-1", "\x80", 100, "\xC2\x80", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.charset) + " max " + std::to_string(c.max_chars));
    Decoded d = CodecDecode(c.charset, c.bytes, c.max_chars);
    EXPECT_EQ(d.text, c.text);
    EXPECT_EQ(d.used, c.used);
  }
}

TEST(TextConversionEdges, EachConverterKeepsItsRuleForBadBytes) {
  struct Case {
    const char* name;
    std::string decoded;
    std::string expected;
  };
  const Case cases[] = {
      {"mail/HTTP cp1252 0x80 0x81", data::DecodeCharset("\x80\x81", "CP1252"),
       std::string(kEuro) + kReplacement},
      {"mail/HTTP unknown charset reads UTF-8", data::DecodeCharset("\xC3\xA9", "no-such-set"),
       "\xC3\xA9"},
      {"mail/HTTP cp1258", data::DecodeCharset("abc", "CP1258"), "abc"},
      {"host 936 0x80", host::DecodeFromCodePage(k80a, 936), std::string(kEuro) + "a"},
      {"host 1252 0x80", host::DecodeFromCodePage("\x80", 1252), kEuro},
      {"host 1258", host::DecodeFromCodePage("abc", 1258), "abc"},
      // The upload format pairs a high byte with the next one, whatever that is.
      {"upload 936 0x80 pairs", upload::TextDecoder::ForCodePage(936).Decode(k80a), "?"},
      {"upload 936 cut-off pair", upload::TextDecoder::ForCodePage(936).Decode("a\x81"), "a?"},
      {"upload 65001 stray 0x80", upload::TextDecoder::ForCodePage(65001).Decode("a\x80"),
       std::string("a") + kReplacement},
  };
  for (const Case& c : cases) EXPECT_EQ(c.decoded, c.expected) << c.name;
}

TEST(TextConversionEdges, EncodingRefusesOrMarksWhatTheCharsetCannotHold) {
  data::CharsetCodec gbk("GBK");
  EXPECT_EQ(gbk.Encode(kEuro, data::Unmappable::kRefuse), "\x80");
  data::CharsetCodec latin("ISO-8859-1");
  EXPECT_EQ(latin.Encode(std::string("a") + kEuro + "b", data::Unmappable::kQuestionMark), "a?b");
  EXPECT_ERROR(latin.Encode(kEuro, data::Unmappable::kRefuse), errc::kInvalidProcedureCall);
  EXPECT_ERROR(data::EncodeCharset(kEuro, "iso-8859-1"), -2147024809);
  EXPECT_ERROR(data::EncodeCharset("a", "no-such-set"), -2147024809);
  EXPECT_ERROR(data::CharsetCodec("no-such-set"), errc::kInvalidProcedureCall);
}

}  // namespace
}  // namespace mirelda

// Decoding posted bytes with the host's code page, and which bytes begin a character.
#include "upload/text_decoder.h"

#include <gtest/gtest.h>

#include "support/error_matchers.h"

namespace mirelda::upload {
namespace {

using namespace std::string_literals;

TEST(TextDecoder, CodePage936PairsHighBytes) {
  const TextDecoder& gbk = TextDecoder::ForCodePage(936);
  EXPECT_EQ(gbk.Decode("plain ASCII"), "plain ASCII");
  EXPECT_EQ(gbk.Decode("\xD6\xD0\xCE\xC4"), "中文");
  // A second byte may be ASCII ...
  EXPECT_EQ(gbk.Decode("\x81\x40x"), "丂x");
  // ... and is taken even when the pair is no character.
  EXPECT_EQ(gbk.Decode("\x81\x22x"), "?x");
  EXPECT_EQ(gbk.Decode("\xFF\xFF"), "?");
  EXPECT_EQ(gbk.Decode("\x80\x41"), "?");
  // A pair cut short at the end.
  EXPECT_EQ(gbk.Decode("a\xD6"), "a?");
  EXPECT_EQ(gbk.Decode("a\0b"s), "a\0b"s);
  EXPECT_EQ(gbk.Decode(""), "");
}

TEST(TextDecoder, CodePage65001DecodesUtf8) {
  const TextDecoder& utf8 = TextDecoder::ForCodePage(65001);
  EXPECT_EQ(utf8.Decode("中文 ok 😀"), "中文 ok 😀");
  const std::string bad = "\xEF\xBF\xBD";
  EXPECT_EQ(utf8.Decode("\xC3("), bad + "(");
  EXPECT_EQ(utf8.Decode("\xC0\xAF"), bad + bad);            // overlong
  EXPECT_EQ(utf8.Decode("\xED\xA0\x80"), bad + bad + bad);  // a surrogate
  EXPECT_EQ(utf8.Decode("x\xE4\xB8"), "x" + bad);           // cut short
  EXPECT_EQ(utf8.Decode("\xF4\x90\x80\x80"), bad + bad + bad + bad);
  EXPECT_EQ(utf8.Decode("\xF4\x8F\xBF\xBF"), "\xF4\x8F\xBF\xBF");
}

TEST(TextDecoder, AnAsciiByteBeginsACharacterAfterAnEvenRunOfHighBytes) {
  const TextDecoder& gbk = TextDecoder::ForCodePage(936);
  std::string bytes = "a\xB0;\xB0\xA1;\xB0\xA1\xB0;;";
  EXPECT_TRUE(gbk.StartsCharacter(bytes, 0));
  EXPECT_FALSE(gbk.StartsCharacter(bytes, 2));
  EXPECT_TRUE(gbk.StartsCharacter(bytes, 5));
  EXPECT_FALSE(gbk.StartsCharacter(bytes, 9));
  EXPECT_TRUE(gbk.StartsCharacter(bytes, 10));
  EXPECT_TRUE(TextDecoder::ForCodePage(65001).StartsCharacter(bytes, 2));
}

TEST(TextDecoder, OtherDoubleBytePagesComeFromTheSystemAndUnknownOnesFail) {
  EXPECT_EQ(TextDecoder::ForCodePage(950).Decode("\xA4\xA4"), "中");
  EXPECT_EQ(&TextDecoder::ForCodePage(936), &TextDecoder::ForCodePage(936));
  EXPECT_ERROR(TextDecoder::ForCodePage(12345), errc::kInvalidProcedureCall);
}

}  // namespace
}  // namespace mirelda::upload

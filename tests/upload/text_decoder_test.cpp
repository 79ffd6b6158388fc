// Decoding edge cases that posted forms rarely show.
#include "upload/text_decoder.h"

#include <gtest/gtest.h>

#include "support/error_matchers.h"

namespace mirelda::upload {
namespace {

TEST(TextDecoder, PairsCutShortOrUnknownAndBrokenUtf8) {
  const TextDecoder& gbk = TextDecoder::ForCodePage(936);
  EXPECT_EQ(gbk.Decode("\x81\x40x\xFF\xFF"), "丂x?");  // an ASCII second byte is taken too
  EXPECT_EQ(gbk.Decode("a\xD6"), "a?");
  EXPECT_EQ(TextDecoder::ForCodePage(950).Decode("\xA4\xA4"), "中");
  EXPECT_ERROR(TextDecoder::ForCodePage(12345), errc::kInvalidProcedureCall);

  const TextDecoder& utf8 = TextDecoder::ForCodePage(65001);
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(utf8.Decode("😀\xC3("), "😀" + r + "(");
  EXPECT_EQ(utf8.Decode("\xC0\xAF\xED\xA0\x80"), r + r + r + r + r);  // overlong, surrogate
  EXPECT_EQ(utf8.Decode("\xF4\x90\x80\x80x\xE4\xB8"), r + r + r + r + "x" + r);
}

}  // namespace
}  // namespace mirelda::upload

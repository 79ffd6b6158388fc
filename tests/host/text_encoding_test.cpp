// Code pages, percent-encoding and HTTP dates: the text forms at the edge of the host.
#include <gtest/gtest.h>

#include "host/http/http_date.h"
#include "host/objects/code_page.h"
#include "host/objects/url_encoding.h"
#include "support/error_matchers.h"

namespace mirelda::host {
namespace {

// 张三 in GBK and in UTF-8.
const std::string kZhangSanGbk = "\xD5\xC5\xC8\xFD";
const std::string kZhangSanUtf8 = "\xE5\xBC\xA0\xE4\xB8\x89";

TEST(CodePage, ChineseRoundTripsThroughGbkAndUtf8) {
  EXPECT_EQ(DecodeFromCodePage(kZhangSanGbk, kCodePageGbk), kZhangSanUtf8);
  EXPECT_EQ(EncodeToCodePage(kZhangSanUtf8, kCodePageGbk), kZhangSanGbk);
  EXPECT_EQ(DecodeFromCodePage(kZhangSanUtf8, kCodePageUtf8), kZhangSanUtf8);
  EXPECT_EQ(EncodeToCodePage("a" + kZhangSanUtf8 + "b", kCodePageUtf8), "a" + kZhangSanUtf8 + "b");
  EXPECT_EQ(CharsetName(kCodePageGbk), "GBK");
  EXPECT_EQ(CharsetName(kCodePageUtf8), "utf-8");
}

TEST(CodePage, BadBytesAndUnmappableCharactersNeverBreakTheText) {
  // A lead byte with nothing after it, and a byte GBK does not use, become U+FFFD each.
  EXPECT_EQ(DecodeFromCodePage("a\xD5", kCodePageGbk), "a\xEF\xBF\xBD");
  EXPECT_EQ(DecodeFromCodePage("\xFF" + kZhangSanGbk, kCodePageGbk),
            "\xEF\xBF\xBD" + kZhangSanUtf8);
  EXPECT_EQ(DecodeFromCodePage("x\xC0y", kCodePageUtf8), "x\xEF\xBF\xBDy");
  // An emoji has no GBK form: a character reference in HTML, "?" in URLs and cookies.
  std::string emoji = "\xF0\x9F\x98\x80";
  EXPECT_EQ(EncodeToCodePage("a" + emoji + kZhangSanUtf8, kCodePageGbk),
            "a&#128512;" + kZhangSanGbk);
  EXPECT_EQ(EncodeToCodePage(emoji, kCodePageGbk, Unmappable::kQuestionMark), "?");
  EXPECT_EQ(EncodeToCodePage(std::string("a\xFF") + "b", kCodePageGbk), "a?b");
  // Malformed UTF-8 is no character: an overlong "/" and a surrogate half never become references.
  EXPECT_EQ(EncodeToCodePage(std::string("a\xC0\xAF") + "b\xED\xA0\x80", kCodePageGbk), "a??b???");
  EXPECT_FALSE(IsSupportedCodePage(12345));
  EXPECT_FALSE(IsSupportedCodePage(-1));
  EXPECT_TRUE(IsSupportedCodePage(1252));
  EXPECT_ERROR(DecodeFromCodePage("x", 12345), errc::kInvalidProcedureCall);
}

TEST(UrlEncoding, DecodesPairsAndRefusesBadEscapes) {
  auto pairs = ParseUrlEncodedPairs("a=1&b=x+y%26z&&flag&empty=&%D5%C5=%C8%FD");
  EXPECT_EQ(
      pairs,
      (std::vector<std::pair<std::string, std::string>>{
          {"a", "1"}, {"b", "x y&z"}, {"flag", ""}, {"empty", ""}, {"\xD5\xC5", "\xC8\xFD"}}));
  EXPECT_EQ(PercentDecode("100%", false), "100%");
  EXPECT_EQ(PercentDecode("%zz+%41", false), "%zz+A");
  for (const char* bad : {"/a%2", "/a%00b", "/a%g1"})
    EXPECT_TRUE(HasBadPercentEncoding(bad)) << bad;
  EXPECT_FALSE(HasBadPercentEncoding("/a%2e%2E/b"));
  EXPECT_EQ(UrlEncodeBytes("a b&c=" + kZhangSanGbk), "a+b%26c%3D%D5%C5%C8%FD");
  EXPECT_EQ(EscapeUrlForHeader("/a b?x=\r\nSet-Cookie:1"), "/a%20b?x=%0D%0ASet-Cookie:1");
}

}  // namespace
}  // namespace mirelda::host

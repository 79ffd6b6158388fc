// Upload's cuts of a posted body, kept in memory (UpToFile 2): parts, names, sizes, values, the
// size limit, the part count and its limits, the failure slot and malformed bodies.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "multipart_form.h"
#include "support/temp_dir.h"
#include "upload/upload_failure.h"

namespace mirelda::upload {
namespace {

using namespace std::string_literals;
using testing::BytesOf;
using testing::MultipartForm;
using testing::UploadPage;

constexpr std::string_view kMalformed = "Invalid procedure call or argument";

bool IsMalformedMessage(const std::string& message) { return message.rfind(kMalformed, 0) == 0; }

class UploadParse : public ::testing::Test {
 protected:
  UploadParse() { page.file_system->UpToFile(2); }

  FileSystem& fs() { return *page.file_system; }

  UploadPage page;
};

TEST_F(UploadParse, AFieldAndAFileBecomeTwoParts) {
  std::string body = MultipartForm().Field("a", "1").File("f", "x.bin", "\x01\x00\xFF"s).Body();
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(fs().count(), Variant(int32_t{2}));
  EXPECT_EQ(fs().Size("a"), 1);
  EXPECT_EQ(fs().Form("a"), Variant("1"));
  EXPECT_EQ(fs().FileName("a"), "");
  EXPECT_EQ(fs().FileName("f"), "x.bin");
  EXPECT_EQ(fs().Size("f"), 3);
  ASSERT_TRUE(fs().Form("f").is_bytes());
  EXPECT_EQ(BytesOf(fs().Form("f")), "\x01\x00\xFF"s);
}

TEST_F(UploadParse, TheFolderPartOfAClientNameIsCutOff) {
  std::string body = MultipartForm()
                         .File("a", "C:\\docs\\report.txt", "1")
                         .File("b", "report.txt", "2")
                         .File("c", "D:report.txt", "3")
                         .File("d", "/home/ann/report.txt", "4")
                         .File("e", "..\\..\\etc/report.txt", "5")
                         .Body();
  EXPECT_EQ(page.Upload(body), "OK");
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    EXPECT_EQ(fs().FileName(name), "report.txt") << name;
  }
}

TEST_F(UploadParse, AnEmptyFileInputGivesAnEmptyPartAndNoFailure) {
  std::string body = MultipartForm().File("f", "", "").Field("t", "x").Body();
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(fs().FileName("f"), "");
  EXPECT_EQ(fs().Size("f"), 0);
  ASSERT_TRUE(fs().Form("f").is_bytes());
  EXPECT_TRUE(fs().Form("f").AsBytes().empty());
  EXPECT_EQ(fs().Form("t"), Variant("x"));
}

TEST_F(UploadParse, AFileAtTheLimitIsKeptAndOneByteMoreIsNot) {
  std::string at_limit(10, 'a');
  std::string over(11, 'b');
  std::string body =
      MultipartForm().File("ok", "ok.txt", at_limit).File("big", "big.txt", over).Body();
  EXPECT_EQ(page.Upload(body, 10), "对不起，文件名为[big.txt] 的文件大小超出了范围。");
  EXPECT_EQ(BytesOf(fs().Form("ok")), at_limit);
  EXPECT_EQ(fs().Size("big"), 11);
  ASSERT_TRUE(fs().Form("big").is_bytes());
  EXPECT_TRUE(fs().Form("big").AsBytes().empty());
  EXPECT_EQ(fs().FileName("big"), "big.txt");
}

TEST_F(UploadParse, TheLimitComesFromMaxSizeThenTheArgumentThenTheDefault) {
  std::string body = MultipartForm().File("f", "f.txt", std::string(100001, 'z')).Body();
  std::string too_large = "对不起，文件名为[f.txt] 的文件大小超出了范围。";
  EXPECT_EQ(page.Upload(body), too_large);
  EXPECT_EQ(page.Upload(body, 100001), "OK");
  fs().MaxSize(5);
  EXPECT_EQ(page.Upload(body, 100001), too_large);
  fs().MaxSize(0);
  EXPECT_EQ(page.Upload(body, 200000), "OK");
  EXPECT_EQ(page.Upload(body, -1), too_large);
  std::string small = MultipartForm().File("f", "f.txt", std::string(100000, 'z')).Body();
  EXPECT_EQ(page.Upload(small), "OK");
}

TEST_F(UploadParse, TheLastPendingFailureWins) {
  std::string two_big = MultipartForm()
                            .File("one", "first.bin", "12345")
                            .Field("between", "x")
                            .File("two", "second.bin", "123456")
                            .Body();
  EXPECT_EQ(page.Upload(two_big, 4), "对不起，文件名为[second.bin] 的文件大小超出了范围。");
  // A relative folder is recorded before the loop, so a file too large replaces it ...
  EXPECT_EQ(page.Upload(two_big, 4, "uploads"),
            "对不起，文件名为[second.bin] 的文件大小超出了范围。");
  // ... and it is reported when nothing later replaces it.
  EXPECT_EQ(page.Upload(two_big, 0, "uploads"), "对不起，路径必须为绝对路径.");
  EXPECT_EQ(page.Upload(two_big, 0, "d:\\up"), "OK");
  EXPECT_EQ(page.Upload(two_big, 0, "/srv/uploads"), "OK");
}

TEST_F(UploadParse, TwoHundredFiftyFivePartsAreTheMostAccepted) {
  MultipartForm most;
  for (int i = 0; i < 255; ++i) most.Field("f" + std::to_string(i), std::to_string(i));
  EXPECT_EQ(page.Upload(most.Body()), "OK");
  EXPECT_EQ(fs().count(), Variant(int32_t{255}));
  EXPECT_EQ(fs().Form("f254"), Variant("254"));

  MultipartForm too_many;
  for (int i = 0; i < 256; ++i) too_many.Field("g" + std::to_string(i), "v");
  EXPECT_EQ(page.Upload(too_many.Body()), "对不起，文件总数不得超过255");
  // The count is the new one at once; the parts are still those of the run before.
  EXPECT_EQ(fs().count(), Variant(int32_t{256}));
  EXPECT_EQ(fs().Form("f254"), Variant("254"));
  EXPECT_EQ(fs().Form("g0"), Variant(""));
}

TEST_F(UploadParse, ABodyWithoutPartsIsRefused) {
  EXPECT_EQ(page.Upload(MultipartForm().Body()), "对不起，您没有选择文件上传.");
  EXPECT_EQ(fs().count(), Variant(int32_t{0}));
  // Without any line break there is not even a boundary line.
  EXPECT_TRUE(IsMalformedMessage(page.Upload("")));
  EXPECT_TRUE(IsMalformedMessage(page.Upload("--abc")));
}

TEST_F(UploadParse, NameMarkersInFileContentRaiseTheCountAndTheRunFails) {
  EXPECT_EQ(page.Upload(MultipartForm().Field("keep", "me").Body()), "OK");
  std::string body =
      MultipartForm().Field("a", "1").File("f", "notes.txt", "x; name=\"y\" z").Body();
  std::string result = page.Upload(body);
  EXPECT_TRUE(IsMalformedMessage(result)) << result;
  EXPECT_EQ(fs().count(), Variant(int32_t{3}));
  EXPECT_EQ(fs().Form("keep"), Variant("me"));
  EXPECT_EQ(fs().Form("a"), Variant(""));
}

TEST_F(UploadParse, AFieldWithAnExtraHeaderLineKeepsItInItsValue) {
  std::string body = MultipartForm()
                         .Part(
                             "Content-Disposition: form-data; name=\"t\"\r\n"
                             "Content-Type: text/plain\r\n\r\nvalue")
                         .Body();
  EXPECT_EQ(page.Upload(body), "OK");
  std::string expected = "ntent-Type: text/plain\r\n\r\nvalue";
  EXPECT_EQ(fs().Form("t"), Variant(expected));
  EXPECT_EQ(fs().Size("t"), static_cast<int32_t>(expected.size()));
}

TEST_F(UploadParse, GbkNamesAndValuesAreDecodedAndSizedInBytes) {
  // "标题" = "中文", and the file "报告.txt", in the default code page 936.
  std::string body =
      MultipartForm()
          .Field("\xB1\xEA\xCC\xE2", "\xD6\xD0\xCE\xC4")
          .File("\xCE\xC4\xBC\xFE", "C:\\\xCE\xC4\xB5\xB5\\\xB1\xA8\xB8\xE6.txt", "\xD6\xD0")
          .Body();
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(fs().Form("标题"), Variant("中文"));
  EXPECT_EQ(fs().Size("标题"), 4);
  EXPECT_EQ(fs().FileName("文件"), "报告.txt");
  // File contents stay bytes, whatever the code page.
  EXPECT_EQ(BytesOf(fs().Form("文件")), "\xD6\xD0");
}

TEST_F(UploadParse, TheSessionCodePageDecidesTheDecoding) {
  std::string body = MultipartForm().Field("标题", "中文 \xFF").Body();
  page.host.session().code_page = 65001;
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(fs().Form("标题"), Variant("中文 \xEF\xBF\xBD"));
  page.host.session().code_page = 936;
  EXPECT_EQ(page.Upload(body), "OK");
  // UTF-8 bytes read as pairs of code page 936 are other characters, and the lone 0xFF has no
  // partner.
  EXPECT_EQ(fs().Form("标题"), Variant(""));
  EXPECT_EQ(fs().Size("鏍囬?"), 8);
  EXPECT_EQ(fs().Form("鏍囬?"), Variant("涓?枃 ?"));
}

TEST_F(UploadParse, AMarkerTakenIntoAPairIsNotCounted) {
  // In code page 936 the high byte 0xB0 takes the ";" after it into a pair, so the marker text
  // in this value is no marker; an even run of high bytes leaves it whole.
  std::string odd = MultipartForm().Field("v", "\xB0; name=\"x\"").Body();
  EXPECT_EQ(page.Upload(odd), "OK");
  EXPECT_EQ(fs().count(), Variant(int32_t{1}));
  EXPECT_EQ(fs().Form("v"), Variant("? name=\"x\""));

  std::string even = MultipartForm().Field("v", "\xB0\xA1; name=\"x\"").Body();
  EXPECT_TRUE(IsMalformedMessage(page.Upload(even)));
  EXPECT_EQ(fs().count(), Variant(int32_t{2}));

  // UTF-8 takes no ASCII byte into a sequence, so there the odd run counts as well.
  page.host.session().code_page = 65001;
  EXPECT_TRUE(IsMalformedMessage(page.Upload(odd)));
  EXPECT_EQ(fs().count(), Variant(int32_t{2}));
}

TEST_F(UploadParse, AStoredUpToFileOfTwoKeepsFilesInMemory) {
  mirelda::testing::TempDir dir;
  std::string body = MultipartForm().File("f", "kept.txt", "abc").Body();
  EXPECT_EQ(page.Upload(body, 0, dir.path().string()), "OK");
  EXPECT_EQ(BytesOf(fs().Form("f")), "abc");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(UploadParse, PartsArePublishedOnlyWhenTheWholeBodyWasCut) {
  EXPECT_EQ(page.Upload(MultipartForm().Field("old", "1").Body()), "OK");
  // The second part has no blank line after its header and no boundary after it.
  std::string body =
      "--B\r\nContent-Disposition: form-data; name=\"new\"\r\n\r\nv\r\n--B\r\n"
      "Content-Disposition: form-data; name=\"f\"; filename=\"a\"\r\n";
  EXPECT_TRUE(IsMalformedMessage(page.Upload(body)));
  EXPECT_EQ(fs().count(), Variant(int32_t{2}));
  EXPECT_EQ(fs().Form("old"), Variant("1"));
  EXPECT_EQ(fs().Form("new"), Variant(""));
}

TEST_F(UploadParse, MalformedBodiesEndInAMessage) {
  const char* bodies[] = {
      "\r\n; name=\"a\"\r\n\r\nv\r\n",  // an empty boundary line ends every part at once
      "--B\r\n; name=\"a",              // no closing quote
      "--B\r\n; name=\"a\"; filename=\"x\r\n\r\n",  // a file name without its closing quote
      "--B\r\n; name=\"a\"; filename=\"x\"\r\n",    // no end of the part header
      "--B\r\n; name=\"a\"\r\n\r\nno boundary",     // no closing boundary
      "--B\r\n; name=\"a\"--B",                     // a part that ends before its value
  };
  for (const char* body : bodies) {
    std::string result = page.Upload(body);
    EXPECT_TRUE(IsMalformedMessage(result)) << body << " gave " << result;
  }
}

TEST_F(UploadParse, EveryCutOfAValidBodyEndsInAMessageNeverAnError) {
  std::string body = MultipartForm()
                         .Field("name", "\xD5\xC5\xC8\xFD")
                         .File("photo", "C:\\p\\me.jpg", "\xFF\xD8\xFF\xE0 jpeg", "image/jpeg")
                         .File("empty", "", "")
                         .Body();
  std::set<std::string> fixed = {"OK", NoPartMessage(), TooManyPartsMessage()};
  for (size_t length = 0; length <= body.size(); ++length) {
    std::string result = page.Upload(body.substr(0, length));
    EXPECT_TRUE(fixed.count(result) || IsMalformedMessage(result)) << length << ": " << result;
    if (result == "OK") {
      EXPECT_EQ(fs().results().parts().size(), static_cast<size_t>(fs().results().part_count()));
    }
  }
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(fs().Form("name"), Variant("张三"));
  EXPECT_EQ(fs().FileName("photo"), "me.jpg");
  EXPECT_EQ(fs().Size("photo"), 9);
}

TEST_F(UploadParse, UploadOutsideAPageReturnsTheFailure) {
  FileSystem alone;
  EXPECT_EQ(alone.Upload(0, "", 0).rfind("Object variable not set", 0), 0u);
  EXPECT_EQ(alone.count(), Variant(int32_t{0}));
}

TEST_F(UploadParse, PagesReachEveryMemberByName) {
  std::string body = MultipartForm().Field("Title", "t").File("f", "a.txt", "xyz").Body();
  page.host.NewPage();
  fs().Call("OnStartPage", page.host.context_ptr());
  page.host.request().body = body;
  EXPECT_EQ(fs().Call("upload"), Variant("OK"));
  EXPECT_EQ(fs().Get("Count"), Variant(int32_t{2}));
  EXPECT_EQ(fs().Call("Form", "Title"), Variant("t"));
  EXPECT_EQ(fs().Call("Form", "title"), Variant(""));
  EXPECT_EQ(fs().Call("Size", "f"), Variant(int32_t{3}));
  EXPECT_EQ(fs().Call("FileName", "f"), Variant("a.txt"));
  EXPECT_EQ(BytesOf(fs().Call("Form", "f")), "xyz");
}

}  // namespace
}  // namespace mirelda::upload

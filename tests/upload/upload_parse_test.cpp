// Upload's cuts of a posted body with files kept in memory (UpToFile 2): parts, names, sizes,
// the size limit, the part count and its limits, the failure slot and malformed bodies; the
// settings a page gives before Upload, the lookups of the results by name, and decoding.
#include <gtest/gtest.h>

#include <filesystem>

#include "multipart_form.h"
#include "support/error_matchers.h"
#include "support/temp_dir.h"
#include "upload/text_decoder.h"

namespace mirelda::upload {
namespace {

using namespace std::string_literals;
using testing::BytesOf;
using testing::MultipartForm;

bool IsMalformed(const std::string& message) {
  return message.rfind("Invalid procedure call or argument", 0) == 0;
}

const std::string kTooLarge2 = "对不起，文件名为[second.bin] 的文件大小超出了范围。";

class UploadParse : public ::testing::Test {
 protected:
  UploadParse() { page.file_system->UpToFile(2); }
  FileSystem& fs() { return *page.file_system; }
  testing::UploadPage page;
};

TEST_F(UploadParse, FieldsAndFilesBecomePartsByName) {
  mirelda::testing::TempDir dir;
  std::string body = MultipartForm()
                         .Field("a", "1")
                         .File("f", "C:\\docs\\x.bin", "\x01\x00\xFF"s)
                         .File("empty", "", "")
                         .File("b", "D:report.txt", "2")
                         .File("c", "/home/ann/report.txt", "3")
                         .Body();
  EXPECT_EQ(page.Upload(body, 0, dir.path().string()), "OK");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // kept in memory only
  EXPECT_EQ(fs().count(), Variant(int32_t{5}));
  EXPECT_EQ(fs().Form("a"), Variant("1"));
  EXPECT_EQ(fs().FileName("a"), "");
  EXPECT_EQ(fs().FileName("f"), "x.bin");
  EXPECT_EQ(fs().Size("f"), 3);
  EXPECT_EQ(BytesOf(fs().Form("f")), "\x01\x00\xFF"s);
  EXPECT_EQ(fs().FileName("empty"), "");
  EXPECT_TRUE(fs().Form("empty").AsBytes().empty());
  EXPECT_EQ(fs().FileName("b"), "report.txt");
  EXPECT_EQ(fs().FileName("c"), "report.txt");
  // Pages reach the same through late binding.
  page.host.NewPage();
  fs().Call("OnStartPage", page.host.context_ptr());
  page.host.request().body = body;
  EXPECT_EQ(fs().Call("upload"), Variant("OK"));
  EXPECT_EQ(fs().Call("Size", "f"), Variant(int32_t{3}));
  EXPECT_EQ(fs().Call("Form", "A"), Variant(""));
}

TEST_F(UploadParse, AFileOverTheLimitKeepsItsSizeButNotItsContentAndTheLastFailureWins) {
  std::string body = MultipartForm()
                         .File("one", "first.bin", std::string(10, 'a'))
                         .File("two", "second.bin", std::string(11, 'b'))
                         .Body();
  EXPECT_EQ(page.Upload(body, 11), "OK");
  EXPECT_EQ(page.Upload(body, 10), kTooLarge2);
  EXPECT_EQ(BytesOf(fs().Form("one")), std::string(10, 'a'));
  EXPECT_EQ(fs().Size("two"), 11);
  EXPECT_TRUE(fs().Form("two").AsBytes().empty());
  // The limit comes from MaxSize, then the argument, then 100000; the last failure wins.
  EXPECT_EQ(page.Upload(body, 9), kTooLarge2);
  fs().MaxSize(100);
  EXPECT_EQ(page.Upload(body, 9), "OK");
  fs().MaxSize(0);
  std::string big = MultipartForm().File("two", "second.bin", std::string(100001, 'c')).Body();
  EXPECT_EQ(page.Upload(big), kTooLarge2);
  EXPECT_EQ(page.Upload(big, 100001), "OK");
  // A relative folder is reported unless a later failure replaces it.
  EXPECT_EQ(page.Upload(body, 0, "uploads"), "对不起，路径必须为绝对路径.");
  EXPECT_EQ(page.Upload(body, 10, "uploads"), kTooLarge2);
  EXPECT_EQ(page.Upload(body, 0, "/srv/uploads"), "OK");
}

TEST_F(UploadParse, PartCountLimitsAndResultsKeptFromTheRunBefore) {
  MultipartForm most;
  for (int i = 0; i < 255; ++i) most.Field("f" + std::to_string(i), std::to_string(i));
  EXPECT_EQ(page.Upload(most.Body()), "OK");
  EXPECT_EQ(fs().Form("f254"), Variant("254"));

  MultipartForm too_many;
  for (int i = 0; i < 256; ++i) too_many.Field("g" + std::to_string(i), "v");
  EXPECT_EQ(page.Upload(too_many.Body()), "对不起，文件总数不得超过255");
  EXPECT_EQ(fs().count(), Variant(int32_t{256}));
  EXPECT_EQ(fs().Form("f254"), Variant("254"));

  EXPECT_EQ(page.Upload(MultipartForm().Body()), "对不起，您没有选择文件上传.");
  EXPECT_EQ(fs().count(), Variant(int32_t{0}));

  // The marker in a file's content counts as a part that is not there.
  std::string marker = MultipartForm().Field("a", "1").File("f", "n.txt", "x; name=\"y\"").Body();
  EXPECT_TRUE(IsMalformed(page.Upload(marker)));
  EXPECT_EQ(fs().count(), Variant(int32_t{3}));
  EXPECT_EQ(fs().results().parts().size(), 255u);
  EXPECT_EQ(fs().Form("a"), Variant(""));
}

TEST_F(UploadParse, TextAndMarkersAreReadInTheSessionCodePage) {
  // "标题" = "中文" and the file "报告.txt" in code page 936; sizes count bytes.
  std::string gbk = MultipartForm()
                        .Field("\xB1\xEA\xCC\xE2", "\xD6\xD0\xCE\xC4")
                        .File("f", "C:\\\xCE\xC4\\\xB1\xA8\xB8\xE6.txt", "\xD6\xD0")
                        .Part(
                            "Content-Disposition: form-data; name=\"t\"\r\n"
                            "Content-Type: text/plain\r\n\r\nv")
                        .Body();
  EXPECT_EQ(page.Upload(gbk), "OK");
  EXPECT_EQ(fs().Form("标题"), Variant("中文"));
  EXPECT_EQ(fs().Size("标题"), 4);
  EXPECT_EQ(fs().FileName("f"), "报告.txt");
  EXPECT_EQ(BytesOf(fs().Form("f")), "\xD6\xD0");
  // A further header line of a field becomes part of its value.
  EXPECT_EQ(fs().Form("t"), Variant("ntent-Type: text/plain\r\n\r\nv"));

  // In code page 936 the odd high byte takes the ";" into a pair; an even run leaves it whole.
  std::string odd = MultipartForm().Field("v", "\xB0; name=\"x\"").Body();
  std::string even = MultipartForm().Field("v", "\xB0\xA1; name=\"x\"").Body();
  EXPECT_EQ(page.Upload(odd), "OK");
  EXPECT_EQ(fs().Form("v"), Variant("? name=\"x\""));
  EXPECT_TRUE(IsMalformed(page.Upload(even)));
  EXPECT_EQ(fs().count(), Variant(int32_t{2}));

  std::string utf8 = MultipartForm().Field("标题", "中文 \xFF").Body();
  EXPECT_EQ(page.Upload(utf8), "OK");
  EXPECT_EQ(fs().Form("鏍囬?"), Variant("涓?枃 ?"));
  EXPECT_EQ(fs().Size("鏍囬?"), 8);
  page.host.session().code_page = 65001;
  EXPECT_EQ(page.Upload(utf8), "OK");
  EXPECT_EQ(fs().Form("标题"), Variant("中文 \xEF\xBF\xBD"));
  EXPECT_TRUE(IsMalformed(page.Upload(odd)));  // UTF-8 takes no ASCII byte into a sequence
}

TEST_F(UploadParse, ABodyThatRepeatsItsBoundaryBetweenPartsIsStillCut) {
  // Between parts the cuts skip to the next name; the boundary's offsets noted on the way run
  // out somewhere among these repeats.
  for (int repeats : {10, 4095, 4096, 5000}) {
    std::string junk;
    for (int i = 0; i < repeats; ++i) junk += "--B";
    std::string body =
        "--B\r\n; name=\"a\"\r\n\r\nv\r\n--B" + junk + "\r\n; name=\"b\"\r\n\r\nw\r\n--B--\r\n";
    EXPECT_EQ(page.Upload(body), "OK") << repeats;
    EXPECT_EQ(fs().Form("a"), Variant("v")) << repeats;
    EXPECT_EQ(fs().Form("b"), Variant("w")) << repeats;
  }
}

TEST_F(UploadParse, MalformedAndCutBodiesEndInAMessageNeverAnError) {
  for (const char* body : {"", "--abc",                                  // no boundary line
                           "\r\n; name=\"a\"\r\n\r\nv\r\n",              // an empty boundary line
                           "--B\r\n; name=\"a",                          // no closing quote
                           "--B\r\n; name=\"a\"; filename=\"x\r\n\r\n",  // a file name without one
                           "--B\r\n; name=\"a\"; filename=\"x\"\r\n",  // no end of the part header
                           "--B\r\n; name=\"a\"\r\n\r\nno boundary", "--B\r\n; name=\"a\"--B"}) {
    EXPECT_TRUE(IsMalformed(page.Upload(body))) << body;
  }
  std::string body = MultipartForm()
                         .Field("name", "\xD5\xC5\xC8\xFD")
                         .File("photo", "C:\\p\\me.jpg", "\xFF\xD8 jpeg", "image/jpeg")
                         .File("empty", "", "")
                         .Body();
  for (size_t length = 0; length < body.size(); ++length) {
    std::string result = page.Upload(body.substr(0, length));
    EXPECT_TRUE(result == "OK" || result == "对不起，您没有选择文件上传." || IsMalformed(result))
        << length << ": " << result;
  }
  EXPECT_EQ(page.Upload(body), "OK");
  EXPECT_EQ(fs().Form("name"), Variant("张三"));
  EXPECT_EQ(FileSystem().Upload(0, "", 0).rfind("Object variable not set", 0), 0u);
}

TEST(UploadSettings, SettersKeepOnlyUsableValuesAndStoredOnesWin) {
  UploadSettings s;
  const std::pair<std::string, std::string> paths[] = {
      {"d:\\files", "d:\\files"},   {"files", ""},          {"\\\\server\\share", ""}, {"d:", "d:"},
      {"/srv/files", "/srv/files"}, {"//server/share", ""}, {"中:\\x", "中:\\x"}};
  for (const auto& [given, kept] : paths) {
    s.SetPath(given);
    EXPECT_EQ(s.path(), kept) << given;
  }
  for (int16_t given : {3, -1, 0}) {
    s.SetOverWrite(2);
    s.SetOverWrite(given);
    EXPECT_EQ(s.overwrite(), 0) << given;
  }
  s.SetUpToFile(7);
  EXPECT_EQ(s.up_to_file(), 1);
  // A stored path of two characters is kept but not used; a folder argument needs two.
  s.SetPath("d:");
  EXPECT_EQ(s.Resolve(0, "e", 0).folder, "c:\\");
  EXPECT_EQ(s.Resolve(0, "e:", 0).folder, "e:");
  EXPECT_FALSE(s.Resolve(0, "", 5).overwrites());  // only 2 overwrites
  s.SetPath("d:\\up");
  s.SetOverWrite(1);
  EffectiveSettings run = s.Resolve(0, "e:\\x", 2);
  EXPECT_EQ(run.folder, "d:\\up");
  EXPECT_EQ(run.overwrite_mode, 1);
}

TEST(UploadResults, LookupsTakeTheFirstExactMatchAmongTheCountedParts) {
  FileSystem fresh;
  EXPECT_EQ(fresh.count(), Variant(int32_t{0}));
  EXPECT_EQ(fresh.FileName("a"), "");
  EXPECT_EQ(fresh.Size("a"), 0);
  EXPECT_EQ(fresh.Form("a"), Variant(""));

  UploadResults results;
  std::vector<UploadPart> parts(3);
  parts[0].form_name = parts[1].form_name = "Title";
  parts[0].value = Variant("first");
  parts[2].form_name = "later";
  results.Publish(parts);
  results.set_part_count(2);
  EXPECT_EQ(results.Find("Title")->value, Variant("first"));
  EXPECT_EQ(results.Find("title"), nullptr);
  EXPECT_EQ(results.Find("later"), nullptr);  // beyond the count
  results.set_part_count(200);                // beyond the parts kept
  EXPECT_NE(results.Find("later"), nullptr);
  EXPECT_EQ(results.Find("missing"), nullptr);
}

TEST(UploadResults, TheInterfaceListsItsMembersInOrder) {
  FileSystem fs;
  std::vector<std::string> names;
  for (const Member& m : fs.Members().members()) names.push_back(m.name);
  EXPECT_EQ(names, (std::vector<std::string>{"OnStartPage", "OnEndPage", "UpToFile", "NewFileName",
                                             "Upload", "count", "MaxSize", "Path", "OverWrite",
                                             "FileName", "Size", "Form"}));
  EXPECT_EQ(fs.Members().Find("Upload", MemberKind::kMethod)->required_count(), 0u);
  fs.Let("maxsize", Variant("12"));
  EXPECT_EQ(fs.settings().max_size(), 12);
}

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

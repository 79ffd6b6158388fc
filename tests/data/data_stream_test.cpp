// ADODB.Stream in memory and on real files: charsets both ways, binary positions and sizes at
// their edges, lines by separator, and the rules of saving over a file.
#include "data/data_stream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "mirelda/error.h"
#include "mirelda/path_map.h"
#include "support/error_matchers.h"
#include "support/temp_dir.h"

namespace mirelda::data {
namespace {

using mirelda::testing::TempDir;
using namespace std::string_literals;

std::shared_ptr<DataStream> Opened(int32_t type, const std::string& charset = "") {
  auto s = std::make_shared<DataStream>();
  s->SetType(type);
  if (!charset.empty()) s->SetCharset(charset);
  s->Open(Variant::Missing(), kModeUnknown, -1, "", "");
  return s;
}

std::string AllBytes(DataStream& s) {
  s.SetPosition(Variant(0));
  s.SetType(kTypeBinary);
  Variant v = s.Read(kReadAll);
  return v.is_null() ? "" : std::string(v.AsBytes().view());
}

struct CharsetCase {
  std::string charset;
  std::string text;
  std::string bytes;  // what the stream holds afterwards
  std::string back;   // what ReadText gives
};

TEST(DataStreamText, CharsetsWriteTheirBytesAndReadThemBack) {
  const CharsetCase table[] = {
      {"Unicode", "a中", "\xFF\xFE\x61\0\x2D\x4E"s, "a中"},
      {"utf-8", "中文", "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87", "中文"},
      {"gb2312", "中文abc", "\xD6\xD0\xCE\xC4"s + "abc", "中文abc"},
      {"GB2312", "汉", "\xBA\xBA", "汉"},
      {"iso-8859-1", "é", "\xE9", "é"},
      {"windows-1252", "€", "\x80", "€"},
      {"us-ascii", "aé", "a?", "a?"},
      {"big5", "中", "\xA4\xA4", "中"},
  };
  for (const CharsetCase& c : table) {
    auto s = Opened(kTypeText, c.charset);
    s->WriteText(c.text, kWriteChar);
    EXPECT_EQ(s->Size().ToLong(), static_cast<int32_t>(c.bytes.size())) << c.charset;
    s->SetPosition(Variant(0));
    EXPECT_EQ(s->ReadText(kReadAll), c.back) << c.charset;
    EXPECT_TRUE(s->EOS());
    EXPECT_EQ(AllBytes(*s), c.bytes) << c.charset;
  }
  EXPECT_ERROR(Opened(kTypeText)->SetCharset("klingon"), errc::kWrongArguments);
}

struct LineCase {
  int32_t separator;
  std::string charset;
};

TEST(DataStreamText, LinesSplitAtTheSeparatorInEveryCharset) {
  const LineCase table[] = {
      {kSeparatorCrLf, "Unicode"}, {kSeparatorLf, "utf-8"},   {kSeparatorCr, "gb2312"},
      {kSeparatorCrLf, "gb2312"},  {kSeparatorLf, "Unicode"},
  };
  for (const LineCase& c : table) {
    auto s = Opened(kTypeText, c.charset);
    s->SetLineSeparator(c.separator);
    s->WriteText("第一", kWriteLine);
    s->WriteText("", kWriteLine);
    s->WriteText("three", kWriteChar);
    s->SetPosition(Variant(0));
    EXPECT_EQ(s->ReadText(kReadLine), "第一") << c.charset << c.separator;
    EXPECT_EQ(s->ReadText(kReadLine), "");
    EXPECT_EQ(s->ReadText(1), "t");
    EXPECT_EQ(s->ReadText(kReadLine), "hree");
    EXPECT_TRUE(s->EOS());
    EXPECT_EQ(s->ReadText(kReadAll), "");
  }
}

TEST(DataStreamBinary, PositionsAndSizesAtTheirEdgesAndCopiesBetweenStreams) {
  auto s = Opened(kTypeBinary);
  EXPECT_TRUE(s->EOS());
  EXPECT_TRUE(s->Read(kReadAll).is_null());
  s->Write(Variant(ByteArray(std::string_view("abc"))));
  EXPECT_EQ(s->Position().ToLong(), 3);
  s->SetPosition(Variant(1));
  EXPECT_EQ(s->Read(1).AsBytes().view(), "b");
  EXPECT_EQ(s->Read(10).AsBytes().view(), "c");
  EXPECT_TRUE(s->Read(1).is_null());
  s->SetPosition(Variant(1));
  s->Write(Variant(VariantArray({Variant(88), Variant(89), Variant(90)})));  // over and past
  EXPECT_EQ(AllBytes(*s), "aXYZ");
  s->SetPosition(Variant(6));  // past the end: zero bytes fill the gap
  EXPECT_EQ(s->Size().ToLong(), 6);
  s->SetPosition(Variant(2));
  s->SetEOS();
  EXPECT_EQ(AllBytes(*s), "aX");
  EXPECT_ERROR(s->SetPosition(Variant(-1)), errc::kWrongArguments);
  EXPECT_ERROR(s->SetPosition(Variant(1.5)), errc::kWrongArguments);
  EXPECT_ERROR(s->Write(Variant("text")), errc::kWrongArguments);
  EXPECT_ERROR(s->Write(Variant(VariantArray({Variant(256)}))), errc::kWrongArguments);
  EXPECT_ERROR(s->ReadText(kReadAll), kIllegalOperation);
  EXPECT_ERROR(s->SetType(kTypeText), kIllegalOperation);  // not at position 0
  EXPECT_ERROR(s->SetCharset("utf-8"), kIllegalOperation);
  EXPECT_ERROR(s->SetMode(kModeRead), errc::kObjectOpen);
  EXPECT_ERROR(s->Open(Variant::Missing(), 0, -1, "", ""), errc::kObjectOpen);
  s->Close();
  EXPECT_ERROR(s->Read(1), errc::kObjectClosed);
  EXPECT_ERROR(s->Size(), errc::kObjectClosed);
  EXPECT_ERROR(s->Close(), errc::kObjectClosed);
  auto text = Opened(kTypeText);
  EXPECT_ERROR(text->Write(Variant(ByteArray(std::string_view("x")))), kIllegalOperation);
  auto read_only = std::make_shared<DataStream>();
  read_only->Open(Variant::Missing(), kModeRead, -1, "", "");
  EXPECT_ERROR(read_only->WriteText("x", kWriteChar), kIllegalOperation);

  // CopyTo moves bytes, or converts text.
  auto from = Opened(kTypeBinary);
  from->Write(Variant(ByteArray(std::string_view("12345"))));
  from->SetPosition(Variant(1));
  auto to = Opened(kTypeBinary);
  from->CopyTo(to, 3);
  EXPECT_EQ(from->Position().ToLong(), 4);
  EXPECT_EQ(AllBytes(*to), "234");
  auto unicode = Opened(kTypeText);
  unicode->WriteText("汉字", kWriteChar);
  unicode->SetPosition(Variant(0));
  auto gbk = Opened(kTypeText, "gb2312");
  unicode->CopyTo(gbk, kReadAll);
  EXPECT_EQ(AllBytes(*gbk), "\xBA\xBA\xD7\xD6");
  EXPECT_ERROR(unicode->CopyTo(nullptr, kReadAll), errc::kWrongArguments);
}

class DataStreamFiles : public ::testing::Test {
 protected:
  void SetUp() override { paths::MapDrive('S', dir_.path()); }
  void TearDown() override { paths::UnmapDrive('S'); }
  std::string Bytes(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  TempDir dir_;
};

TEST_F(DataStreamFiles, SaveToFileReplacesOnlyWhenAskedAndLeavesNoTemporaryFile) {
  auto s = Opened(kTypeText, "utf-8");
  s->WriteText("第一版", kWriteChar);
  s->SaveToFile("S:\\out.txt", kSaveCreateNotExist);
  EXPECT_EQ(Bytes("out.txt"), "\xEF\xBB\xBF第一版");
  // The temporary file's private mode does not stay with the saved file.
  struct stat st;
  ASSERT_EQ(::stat((dir_ / "out.txt").c_str(), &st), 0);
  mode_t mask = ::umask(022);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  auto other = Opened(kTypeBinary);
  other->Write(Variant(ByteArray(std::string_view("v2"))));
  EXPECT_ERROR(other->SaveToFile("S:\\out.txt", kSaveCreateNotExist), kFileWriteFailed);
  EXPECT_EQ(Bytes("out.txt"), "\xEF\xBB\xBF第一版");
  other->SaveToFile("S:\\out.txt", kSaveCreateOverWrite);
  EXPECT_EQ(Bytes("out.txt"), "v2");
  EXPECT_ERROR(other->SaveToFile("S:\\none\\out.txt", kSaveCreateOverWrite), kFileWriteFailed);
  EXPECT_ERROR(other->SaveToFile("S:\\x", 3), errc::kWrongArguments);
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir_.path())) entries += e.exists();
  EXPECT_EQ(entries, 1u);

  auto loaded = Opened(kTypeText, "utf-8");
  loaded->WriteText("replaced", kWriteChar);
  loaded->LoadFromFile("S:\\out.txt");
  EXPECT_EQ(loaded->Position().ToLong(), 0);
  EXPECT_EQ(loaded->ReadText(kReadAll), "v2");
  EXPECT_ERROR(loaded->LoadFromFile("S:\\missing.bin"), kFileOpenFailed);
}

}  // namespace
}  // namespace mirelda::data

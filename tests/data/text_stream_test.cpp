// Text files of the file system object on real files: each format and mode, line ends, the
// errors past the end and of the wrong mode, and the path map's rules on the way in.
#include "data/text_stream.h"

#include <gtest/gtest.h>

#include <fstream>

#include "data/file_system_object.h"
#include "mirelda/path_map.h"
#include "support/error_matchers.h"
#include "support/temp_dir.h"

namespace mirelda::data {
namespace {

using mirelda::testing::TempDir;
using namespace std::string_literals;

class TextFiles : public ::testing::Test {
 protected:
  void SetUp() override { paths::MapDrive('T', dir_.path()); }
  void TearDown() override { paths::UnmapDrive('T'); }
  void Put(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Bytes(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Writes text in a format and code page, then reads it back whole.
  std::string RoundTrip(const std::string& text, int32_t format, int32_t code_page) {
    auto out = TextStream::Open(dir_ / "f.txt", "T:\\f.txt", kForWriting, OpenRule::kReplace,
                                format, code_page);
    out->Write(text);
    out->Close();
    auto in = TextStream::Open(dir_ / "f.txt", "T:\\f.txt", kForReading, OpenRule::kExisting,
                               format, code_page);
    return in->ReadAll();
  }

  TempDir dir_;
  FileSystemObjectImpl fso_;
};

struct Encoding {
  int32_t format;
  int32_t code_page;
  std::string text;
  std::string bytes;  // on disk
};

TEST_F(TextFiles, EachFormatWritesItsBytesAndReadsThemBackAndAppendsAfterOneMark) {
  const Encoding table[] = {
      {kTristateFalse, 936, "ab\r\n", "ab\r\n"},
      {kTristateFalse, 936, "中文", "\xD6\xD0\xCE\xC4"},
      {kTristateUseDefault, 936, "中", "\xD6\xD0"},
      {kTristateFalse, 65001, "中", "\xE4\xB8\xAD"},
      {kTristateFalse, 1252, "é", "\xE9"},
      {kTristateTrue, 936, "a中", "\xFF\xFE\x61\0\x2D\x4E"s},
      {kTristateTrue, 936, "😀", "\xFF\xFE\x3D\xD8\0\xDE"s},
  };
  for (const Encoding& e : table) {
    EXPECT_EQ(RoundTrip(e.text, e.format, e.code_page), e.text) << e.text;
    EXPECT_EQ(Bytes("f.txt"), e.bytes) << e.text;
  }
  // Appending goes on after the text, and a Unicode mark comes once.
  fso_.OpenTextFile("T:\\u.txt", kForAppending, true, kTristateTrue)->Write("a");
  fso_.OpenTextFile("T:\\u.txt", kForAppending, false, kTristateTrue)->Write("b");
  EXPECT_EQ(Bytes("u.txt"), "\xFF\xFE\x61\0\x62\0"s);
  EXPECT_EQ(fso_.OpenTextFile("T:\\u.txt", kForReading, false, kTristateTrue)->ReadAll(), "ab");
  fso_.OpenTextFile("T:\\u.txt", kForWriting, false, kTristateFalse)->Write("new");
  EXPECT_EQ(Bytes("u.txt"), "new");
}

TEST_F(TextFiles, LinesEndInCrLfOrLfAndCountLinesAndColumns) {
  Put("l.txt", "one\r\ntwo\nthree\rstill\n\nlast");
  auto s = fso_.OpenTextFile("T:\\l.txt", kForReading, false, kTristateFalse);
  const char* lines[] = {"one", "two", "three\rstill", "", "last"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(s->Line(), i + 1);
    EXPECT_FALSE(s->AtEndOfStream());
    EXPECT_EQ(s->ReadLine(), lines[i]);
  }
  EXPECT_TRUE(s->AtEndOfStream());
  EXPECT_TRUE(s->AtEndOfLine());
  s = fso_.OpenTextFile("T:\\l.txt", kForReading, false, kTristateFalse);
  EXPECT_EQ(s->Read(2), "on");
  EXPECT_EQ(s->Column(), 3);
  s->Skip(1);
  EXPECT_TRUE(s->AtEndOfLine());
  s->SkipLine();
  EXPECT_EQ(s->Read(3), "two");
  EXPECT_EQ(s->Read(100).size(), std::string("\nthree\rstill\n\nlast").size());
  auto w = fso_.CreateTextFile("T:\\w.txt", true, false);
  w->WriteLine("a");
  w->WriteBlankLines(2);
  w->Write("b");
  EXPECT_EQ(w->Line(), 4);
  EXPECT_EQ(w->Column(), 2);
  w->WriteLine("");
  w->Close();
  EXPECT_EQ(Bytes("w.txt"), "a\r\n\r\n\r\nb\r\n");
}

TEST_F(TextFiles, ReadingPastTheEndAndInTheWrongModeAreErrors) {
  Put("empty.txt", "");
  auto at_end = [&] { return fso_.OpenTextFile("T:\\empty.txt", kForReading, false, 0); };
  EXPECT_ERROR(at_end()->Read(1), kInputPastEndOfFile);
  EXPECT_ERROR(at_end()->ReadLine(), kInputPastEndOfFile);
  EXPECT_ERROR(at_end()->ReadAll(), kInputPastEndOfFile);
  EXPECT_ERROR(at_end()->Skip(1), kInputPastEndOfFile);
  EXPECT_ERROR(at_end()->SkipLine(), kInputPastEndOfFile);
  EXPECT_ERROR(at_end()->Read(-1), errc::kInvalidProcedureCall);
  EXPECT_ERROR(at_end()->Write("x"), kBadFileMode);
  auto w = fso_.OpenTextFile("T:\\empty.txt", kForAppending, false, 0);
  EXPECT_ERROR(w->ReadLine(), kBadFileMode);
  EXPECT_ERROR(w->AtEndOfStream(), kBadFileMode);
  EXPECT_ERROR(w->WriteBlankLines(-1), errc::kInvalidProcedureCall);
  // A character the code page lacks is refused, and nothing of that write reaches the file.
  EXPECT_ERROR(w->Write("a😀"), errc::kInvalidProcedureCall);
  w->Close();
  EXPECT_EQ(Bytes("empty.txt"), "");
  EXPECT_ERROR(w->Write("x"), kBadFileNameOrNumber);
}

struct Opening {
  std::string path;
  int32_t iomode;
  bool create;
  int32_t expected_error;  // 0: opens
};

TEST_F(TextFiles, OpeningFollowsTheModeAndTheCreateFlag) {
  Put("here.txt", "old");
  std::filesystem::create_directory(dir_ / "folder");
  const Opening table[] = {
      {"T:\\here.txt", kForReading, false, 0},
      {"T:\\missing.txt", kForReading, false, errc::kFileNotFound},
      {"T:\\missing.txt", kForWriting, false, errc::kFileNotFound},
      {"T:\\missing.txt", kForAppending, false, errc::kFileNotFound},
      {"T:\\made.txt", kForAppending, true, 0},
      {"T:\\nofolder\\x.txt", kForWriting, true, errc::kPathNotFound},
      {"T:\\folder", kForReading, false, errc::kPermissionDenied},
      {"T:\\folder\\", kForWriting, true, errc::kInvalidProcedureCall},
      {"T:\\here.txt", 3, false, errc::kInvalidProcedureCall},
      {"Q:\\x.txt", kForReading, false, errc::kPathNotFound},
      {"\\\\server\\share\\x.txt", kForReading, false, errc::kPathNotFound},
  };
  for (const Opening& o : table) {
    if (o.expected_error == 0) {
      EXPECT_NO_THROW(fso_.OpenTextFile(o.path, o.iomode, o.create, 0)) << o.path;
    } else {
      EXPECT_ERROR(fso_.OpenTextFile(o.path, o.iomode, o.create, 0), o.expected_error);
    }
  }
  EXPECT_TRUE(std::filesystem::exists(dir_ / "made.txt"));
  // ".." stays inside the drive's folder.
  fso_.OpenTextFile("T:\\..\\..\\up.txt", kForWriting, true, 0)->Write("in");
  EXPECT_EQ(Bytes("up.txt"), "in");
  EXPECT_ERROR(fso_.CreateTextFile("T:\\here.txt", false, false), errc::kFileAlreadyExists);
  EXPECT_EQ(Bytes("here.txt"), "old");
}

}  // namespace
}  // namespace mirelda::data

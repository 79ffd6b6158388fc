// The settings a page gives before Upload, the settings a run resolves from them, and the
// lookups of the results by form field name.
#include <gtest/gtest.h>

#include "multipart_form.h"
#include "support/error_matchers.h"

namespace mirelda::upload {
namespace {

using testing::MultipartForm;
using testing::UploadPage;

TEST(UploadSettings, PathKeepsDriveAndPosixFoldersOnly) {
  UploadSettings s;
  s.SetPath("d:\\files");
  EXPECT_EQ(s.path(), "d:\\files");
  s.SetPath("files");
  EXPECT_EQ(s.path(), "");
  s.SetPath("d:\\files");
  s.SetPath("\\\\server\\share");
  EXPECT_EQ(s.path(), "");
  s.SetPath("d:");
  EXPECT_EQ(s.path(), "d:");
  s.SetPath("/srv/files");
  EXPECT_EQ(s.path(), "/srv/files");
  s.SetPath("//server/share");
  EXPECT_EQ(s.path(), "");
  // The second character, not the second byte, must be the colon.
  s.SetPath("中:\\x");
  EXPECT_EQ(s.path(), "中:\\x");
}

TEST(UploadSettings, OverWriteAndUpToFileKeepOnlyTheirMeaningfulValues) {
  UploadSettings s;
  for (int16_t v : {1, 2}) {
    s.SetOverWrite(v);
    EXPECT_EQ(s.overwrite(), v);
  }
  for (int16_t v : {0, 3, -1}) {
    s.SetOverWrite(2);
    s.SetOverWrite(v);
    EXPECT_EQ(s.overwrite(), 0) << v;
  }
  s.SetUpToFile(2);
  EXPECT_EQ(s.up_to_file(), 2);
  for (int32_t v : {0, 1, 7}) {
    s.SetUpToFile(v);
    EXPECT_EQ(s.up_to_file(), 1) << v;
  }
}

TEST(UploadSettings, StoredSettingsOverrideArgumentsWhichOverrideDefaults) {
  UploadSettings s;
  EffectiveSettings none = s.Resolve(0, "", 0);
  EXPECT_EQ(none.size_limit, 100000);
  EXPECT_EQ(none.overwrite_mode, 1);
  EXPECT_EQ(none.folder, "c:\\");
  EXPECT_TRUE(none.store_files);
  EXPECT_EQ(none.new_file_name, "");

  EffectiveSettings args = s.Resolve(50, "e:", 2);
  EXPECT_EQ(args.size_limit, 50);
  EXPECT_EQ(args.overwrite_mode, 2);
  EXPECT_EQ(args.folder, "e:");
  // A folder argument shorter than two characters is not used.
  EXPECT_EQ(s.Resolve(0, "e", 0).folder, "c:\\");
  // Any overwrite argument other than 0 counts; only 2 overwrites.
  EXPECT_EQ(s.Resolve(0, "", 5).overwrite_mode, 5);
  EXPECT_FALSE(s.Resolve(0, "", 5).overwrites());

  s.SetMaxSize(7);
  s.SetOverWrite(1);
  s.SetPath("d:\\up");
  s.SetUpToFile(2);
  s.SetNewFileName("same.txt");
  EffectiveSettings stored = s.Resolve(50, "e:\\x", 2);
  EXPECT_EQ(stored.size_limit, 7);
  EXPECT_EQ(stored.overwrite_mode, 1);
  EXPECT_EQ(stored.folder, "d:\\up");
  EXPECT_FALSE(stored.store_files);
  EXPECT_EQ(stored.new_file_name, "same.txt");

  // A stored path of only two characters is kept but not used.
  s.SetPath("d:");
  EXPECT_EQ(s.Resolve(0, "e:\\x", 0).folder, "e:\\x");
  EXPECT_EQ(s.Resolve(0, "", 0).folder, "c:\\");
}

TEST(UploadSettings, AFolderIsAbsoluteWithAColonAnywhereOrAsAPosixPath) {
  EXPECT_TRUE(IsAbsoluteFolder("c:\\"));
  EXPECT_TRUE(IsAbsoluteFolder("uploads:x"));
  EXPECT_TRUE(IsAbsoluteFolder("/srv/up"));
  EXPECT_FALSE(IsAbsoluteFolder("uploads"));
  EXPECT_FALSE(IsAbsoluteFolder("\\\\server\\share"));
  EXPECT_FALSE(IsAbsoluteFolder("//server/share"));
}

TEST(UploadResults, AFreshInstanceHasNothingToFind) {
  FileSystem fs;
  EXPECT_EQ(fs.count(), Variant(int32_t{0}));
  EXPECT_EQ(fs.FileName("a"), "");
  EXPECT_EQ(fs.Size("a"), 0);
  EXPECT_EQ(fs.Form("a"), Variant(""));
  EXPECT_EQ(fs.Form(""), Variant(""));
}

TEST(UploadResults, LookupsTakeTheFirstExactMatch) {
  UploadPage page;
  page.file_system->UpToFile(2);
  std::string body = MultipartForm()
                         .Field("Title", "first")
                         .Field("Title", "second")
                         .File("f", "one.txt", "1")
                         .File("f", "two.txt", "22")
                         .Body();
  ASSERT_EQ(page.Upload(body), "OK");
  FileSystem& fs = *page.file_system;
  EXPECT_EQ(fs.Form("Title"), Variant("first"));
  EXPECT_EQ(fs.Form("title"), Variant(""));
  EXPECT_EQ(fs.Size("TITLE"), 0);
  EXPECT_EQ(fs.FileName("f"), "one.txt");
  EXPECT_EQ(fs.Size("f"), 1);
  EXPECT_EQ(fs.FileName("Title"), "");
  // Form hands out a copy: changing it changes nothing inside.
  Variant copy = fs.Form("Title");
  copy = Variant("changed");
  EXPECT_EQ(fs.Form("Title"), Variant("first"));
}

TEST(UploadResults, LookupsStopAtTheCountEvenWhenMorePartsAreKept) {
  UploadResults results;
  std::vector<UploadPart> parts(3);
  parts[0].form_name = "a";
  parts[1].form_name = "b";
  parts[2].form_name = "c";
  results.Publish(parts);
  results.set_part_count(2);
  EXPECT_NE(results.Find("b"), nullptr);
  EXPECT_EQ(results.Find("c"), nullptr);
  results.set_part_count(200);
  EXPECT_NE(results.Find("c"), nullptr);
  EXPECT_EQ(results.Find("d"), nullptr);
}

TEST(UploadResults, TheInterfaceListsItsMembersInOrder) {
  FileSystem fs;
  std::vector<std::pair<std::string, MemberKind>> expected = {
      {"OnStartPage", MemberKind::kMethod}, {"OnEndPage", MemberKind::kMethod},
      {"UpToFile", MemberKind::kLet},       {"NewFileName", MemberKind::kLet},
      {"Upload", MemberKind::kMethod},      {"count", MemberKind::kGet},
      {"MaxSize", MemberKind::kLet},        {"Path", MemberKind::kLet},
      {"OverWrite", MemberKind::kLet},      {"FileName", MemberKind::kMethod},
      {"Size", MemberKind::kMethod},        {"Form", MemberKind::kMethod}};
  const auto& members = fs.Members().members();
  ASSERT_EQ(members.size(), expected.size());
  for (size_t i = 0; i < members.size(); ++i) {
    EXPECT_EQ(members[i].name, expected[i].first);
    EXPECT_EQ(members[i].kind, expected[i].second) << members[i].name;
  }
  const Member* upload = fs.Members().Find("Upload", MemberKind::kMethod);
  ASSERT_NE(upload, nullptr);
  EXPECT_EQ(upload->required_count(), 0u);
  EXPECT_EQ(upload->result, ParamType::kString);
}

TEST(UploadResults, SettersTakeValuesByNameAndCoerceThem) {
  FileSystem fs;
  fs.Let("maxsize", Variant("12"));
  fs.Let("OverWrite", Variant(2.0));
  fs.Let("Path", Variant("d:\\x"));
  fs.Let("UpToFile", Variant(int32_t{2}));
  fs.Let("NewFileName", Variant("n.txt"));
  EXPECT_EQ(fs.settings().max_size(), 12);
  EXPECT_EQ(fs.settings().overwrite(), 2);
  EXPECT_EQ(fs.settings().path(), "d:\\x");
  EXPECT_EQ(fs.settings().up_to_file(), 2);
  EXPECT_EQ(fs.settings().new_file_name(), "n.txt");
  // A value outside a 16-bit integer is the page's error, raised before the setter runs.
  EXPECT_ERROR(fs.Let("OverWrite", Variant(int32_t{70000})), errc::kOverflow);
  EXPECT_EQ(fs.settings().overwrite(), 2);
}

}  // namespace
}  // namespace mirelda::upload

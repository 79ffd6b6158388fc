// The settings a page gives before Upload and the lookups of the results by name.
#include <gtest/gtest.h>

#include "upload/file_system.h"

namespace mirelda::upload {
namespace {

TEST(UploadSettings, SettersKeepOnlyUsableValuesAndStoredOnesWin) {
  UploadSettings s;
  for (auto [given, kept] :
       std::vector<std::pair<std::string, std::string>>{{"d:\\files", "d:\\files"},
                                                        {"files", ""},
                                                        {"\\\\server\\share", ""},
                                                        {"d:", "d:"},
                                                        {"/srv/files", "/srv/files"},
                                                        {"//server/share", ""},
                                                        {"中:\\x", "中:\\x"}}) {
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

}  // namespace
}  // namespace mirelda::upload

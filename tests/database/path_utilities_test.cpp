// Path utilities that need only the page host.
#include <gtest/gtest.h>

#include "database/database.h"
#include "host/test_host/test_host.h"
#include "mirelda/path_map.h"
#include "support/error_matchers.h"
#include "support/temp_dir.h"

namespace mirelda::database {
namespace {

class PathUtilities : public ::testing::Test {
 protected:
  void SetUp() override {
    paths::MapDrive('S', site_.path());
    host_ = std::make_unique<host::TestHost>(site_.path(), "/shop/admin/login.asp");
    db_ = std::make_shared<Database>();
    db_->OnStartPage(host_->context_ptr());
  }
  void TearDown() override {
    db_->OnEndPage();
    paths::UnmapDrive('S');
  }

  mirelda::testing::TempDir site_;
  std::unique_ptr<host::TestHost> host_;
  std::shared_ptr<Database> db_;
};

TEST_F(PathUtilities, AppNameIsTheTextAfterTheLastSlashAndAppPathThePageFolder) {
  EXPECT_EQ(db_->AppPath().ToString(), "S:\\shop\\admin");
  EXPECT_EQ(db_->AppName().ToString(), "login.asp");
  host_->request().server_variables["SCRIPT_NAME"] = "login.asp";
  EXPECT_EQ(db_->AppName().ToString(), "login.asp");
  host_->request().server_variables["SCRIPT_NAME"] = "/shop/";
  EXPECT_EQ(db_->AppName().ToString(), "");
}

TEST_F(PathUtilities, ConvertPathJoinsTheApplicationRoot) {
  const std::pair<const char*, const char*> cases[] = {
      {"upload", "S:\\upload\\"},
      {"/upload/", "S:\\upload/"},
      {"", "S:\\"},
      {"\\", "S:\\"},
      {" data ", "S:\\data\\"},
      {"/a/b", "S:\\a/b\\"},
      {"数据", "S:\\数据\\"},
  };
  for (auto [path, expected] : cases) {
    EXPECT_EQ(db_->ConvertPath(Variant(path)).ToString(), expected) << path;
  }
}

TEST_F(PathUtilities, ArrayToStringJoinsFromTheFirstNonEmptyElement) {
  auto join = [&](std::vector<Variant> items, int32_t lower = 0) {
    return db_->ArrayToString(Variant(VariantArray(std::move(items), lower))).ToString();
  };
  EXPECT_EQ(join({"a", "", "b"}), "a,,b");
  EXPECT_EQ(join({"", Variant(), "x"}), "x");
  EXPECT_EQ(join({int32_t{1}, true, 2.5}), "1,True,2.5");
  EXPECT_EQ(join({"a", Variant::Null(), "b"}), "a,,b");
  EXPECT_ERROR(join({Variant::Null(), "a"}), errc::kInvalidUseOfNull);
  EXPECT_EQ(join({"p", "q", "r"}, 5), "p,q,r");
  EXPECT_EQ(join({}), "");
  EXPECT_ERROR(db_->ArrayToString(Variant("a,b")), errc::kTypeMismatch);
  EXPECT_ERROR(join({"a"}, 40000), errc::kOverflow);
  // The upper bound may reach 32767 and no further.
  EXPECT_EQ(join({"z", "z", "z"}, 32764), "z,z,z");
  EXPECT_ERROR(join({"z", "z", "z"}, 32765), errc::kOverflow);
}

TEST(PathUtilitiesOutsideAPage, NeedThePage) {
  Database db;
  EXPECT_ERROR(db.AppName(), errc::kObjectVariableNotSet);
  EXPECT_ERROR(db.ConvertPath("x"), errc::kObjectVariableNotSet);
  EXPECT_EQ(db.ArrayToString(Variant(VariantArray({Variant("a")}))).ToString(), "a");
}

}  // namespace
}  // namespace mirelda::database

// Jet database files: created, probed and compacted in place, through the path map.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "data/jet_file.h"
#include "database/database.h"
#include "support/component_page.h"

namespace mirelda::database {
namespace {

class DatabaseFiles : public testing::ComponentPage {
 protected:
  void SetUp() override {
    ComponentPage::SetUp();
    db_ = Start<Database>();
    std::filesystem::create_directories(HostPath("db"));
  }
  std::shared_ptr<Connection> OpenShop() {
    return Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\db\\shop.mdb");
  }
  data::JetFormat FormatOf(const std::string& relative) {
    return data::InspectJetFile(HostPath(relative), relative);
  }
  std::shared_ptr<Database> db_;
};

TEST_F(DatabaseFiles, CreatesTheFileInEitherFormat) {
  EXPECT_EQ(db_->CreateAccessDbFile("shop.mdb", 0, "C:\\db\\"), Variant(true));
  EXPECT_EQ(FormatOf("db/shop.mdb"), data::JetFormat::kJet35);
  EXPECT_EQ(db_->CreateAccessDbFile("/new.mdb", 2, "C:\\db"), Variant(true));
  EXPECT_EQ(FormatOf("db/new.mdb"), data::JetFormat::kJet40);
  EXPECT_EQ(db_->CreateAccessDbFile("any.mdb", Variant(), "C:\\db"), Variant(true));
  EXPECT_EQ(FormatOf("db/any.mdb"), data::JetFormat::kJet35);  // an empty version counts as 0
  EXPECT_EQ(Output(), "");
  EXPECT_EQ(db_->AccessDbExists("C:\\db\\shop.mdb"), Variant(true));
  EXPECT_EQ(db_->AccessDbExists("C:\\db\\missing.mdb"), Variant(false));
  EXPECT_EQ(db_->AccessDbExists("C:\\db"), Variant(false));
}

TEST_F(DatabaseFiles, HostFoldersWorkBesideDriveFolders) {
  const std::string folder = HostPath("db").string();  // a POSIX absolute folder
  EXPECT_EQ(db_->CreateAccessDbFile("posix.mdb", 1, folder), Variant(true));
  EXPECT_EQ(FormatOf("db/posix.mdb"), data::JetFormat::kJet40);
  EXPECT_EQ(db_->AccessDbExists("C:\\db\\posix.mdb"), Variant(true));
  EXPECT_EQ(db_->CompressAccessDb("posix.mdb", 0, folder + "/"), Variant(true));
  EXPECT_EQ(FormatOf("db/posix.mdb"), data::JetFormat::kJet35);
  EXPECT_EQ(db_->AccessDbExists("Q:\\db\\posix.mdb"), Variant(false));  // no such drive
  EXPECT_EQ(Output(), "");
}

TEST_F(DatabaseFiles, AnExistingDatabaseIsLeftAlone) {
  ASSERT_EQ(db_->CreateAccessDbFile("shop.mdb", 1, "C:\\db"), Variant(true));
  auto connection = OpenShop();
  connection->Execute("CREATE TABLE kept (id int)", -1);
  connection->Close();
  EXPECT_EQ(db_->Call("CreateAccessDbFile", "shop.mdb", 1, "C:\\db"), Variant(false));
  EXPECT_EQ(Writes(), (std::vector<std::string>{"对不起，该数据库已经存在!"}));
  EXPECT_EQ(db_->TableExists("kept"), Variant(false));  // no connection handed over
  auto again = OpenShop();
  EXPECT_EQ(testing::Query(*again, "select * from kept").size(), 0u);
}

TEST_F(DatabaseFiles, AFailingCreateIsReportedNotPassedOffAsSuccess) {
  std::ofstream(HostPath("db/text.mdb")) << "not a database";
  EXPECT_EQ(db_->CreateAccessDbFile("text.mdb", 1, "C:\\db"), Variant(false));
  EXPECT_EQ(db_->CreateAccessDbFile("x.mdb", 1, "C:\\no\\such\\folder"), Variant(false));
  ASSERT_EQ(Writes().size(), 2u);
  for (const std::string& w : Writes()) {
    EXPECT_EQ(w.rfind("无法建立，请检查错误信息<br>-", 0), 0u) << w;
  }
  std::ifstream kept(HostPath("db/text.mdb"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "not a database");
  EXPECT_FALSE(std::filesystem::exists(HostPath("no")));
  EXPECT_FALSE(PendingError().pending());
}

TEST_F(DatabaseFiles, CompactsInPlaceKeepingTheDataButNeverAMissingFile) {
  ASSERT_EQ(db_->CreateAccessDbFile("shop.mdb", 1, "C:\\db"), Variant(true));
  {
    auto c = OpenShop();
    c->Execute("CREATE TABLE t (id int, name char(20))", -1);
    for (int i = 0; i < 50; ++i)
      c->Execute("insert into t values (" + std::to_string(i) + ",'x')", -1);
    c->Execute("delete from t where id >= 10", -1);
  }
  // A copy left over from an earlier run must not get in the way.
  std::ofstream(HostPath("db/shop.mdb.bak.mdb")) << "stale";
  EXPECT_EQ(db_->CompressAccessDb("/shop.mdb", 0, "C:\\db"), Variant(true));
  EXPECT_EQ(Output(), "");
  EXPECT_FALSE(std::filesystem::exists(HostPath("db/shop.mdb.bak.mdb")));
  EXPECT_EQ(FormatOf("db/shop.mdb"), data::JetFormat::kJet35);
  auto c = OpenShop();
  EXPECT_EQ(testing::Query(*c, "select count(*) from t"), (testing::Rows{{Variant(10)}}));
  c->Close();
  EXPECT_EQ(db_->CompressAccessDb("shop.mdb", 1, "C:\\db\\"), Variant(true));
  EXPECT_EQ(FormatOf("db/shop.mdb"), data::JetFormat::kJet40);
  // A missing database is not compacted.
  EXPECT_EQ(db_->CompressAccessDb("none.mdb", 1, "C:\\db"), Variant(false));
  EXPECT_EQ(Writes(), (std::vector<std::string>{"对不起，该数据库不存在!"}));
  EXPECT_FALSE(std::filesystem::exists(HostPath("db/none.mdb")));
  EXPECT_FALSE(std::filesystem::exists(HostPath("db/none.mdb.bak.mdb")));
}

TEST_F(DatabaseFiles, AFailedCompactionLeavesTheDatabaseAsItWas) {
  ASSERT_EQ(db_->CreateAccessDbFile("shop.mdb", 1, "C:\\db"), Variant(true));
  {
    auto c = OpenShop();
    c->Execute("CREATE TABLE t (id int)", -1);
  }
  // A folder where the compacted copy would go: the compaction cannot write it.
  std::filesystem::create_directories(HostPath("db/shop.mdb.bak.mdb/inside"));
  EXPECT_EQ(db_->CompressAccessDb("shop.mdb", 1, "C:\\db"), Variant(false));
  ASSERT_EQ(Writes().size(), 1u);
  EXPECT_EQ(Writes()[0].rfind("删除文件发生错误!请查看错误信息<br>", 0), 0u) << Writes()[0];
  EXPECT_EQ(FormatOf("db/shop.mdb"), data::JetFormat::kJet40);
  auto c = OpenShop();
  EXPECT_EQ(testing::Query(*c, "select * from t").size(), 0u);
  EXPECT_TRUE(std::filesystem::is_directory(HostPath("db/shop.mdb.bak.mdb/inside")));
  EXPECT_FALSE(PendingError().pending());
}

// Server databases on the PostgreSQL server of the run.
class ServerDatabases : public testing::ComponentPage {
 protected:
  void SetUp() override {
    ComponentPage::SetUp();
    db_ = Start<Database>();
  }
  static std::string UniqueName() {
    static int counter = 0;
    return "mirelda_made_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
  }
  Variant Exists(const std::string& name, const std::string& pwd) {
    const auto& pg = testing::Postgres();
    return db_->SqlServerDbExists(pg.Server(), pg.user, pwd, name);
  }
  Variant Make(const std::string& name, const std::string& pwd) {
    const auto& pg = testing::Postgres();
    return db_->Call("CreateSqlServerDB", pg.Server(), pg.user, pwd, name);
  }
  std::shared_ptr<Database> db_;
};

TEST_F(ServerDatabases, CreatesOnceThenSaysItExists) {
  const std::string password = testing::Postgres().password;
  const std::string name = UniqueName();
  EXPECT_EQ(Exists(name, password), Variant(false));
  EXPECT_EQ(Make(name, password), Variant(true));
  EXPECT_EQ(Exists(name, password), Variant(true));
  EXPECT_EQ(Output(), "");
  EXPECT_EQ(Make(name, password), Variant(false));
  EXPECT_EQ(Writes(), (std::vector<std::string>{"对不起，数据库" + name + "已存在！"}));
  auto made = Open(testing::Postgres().ConnectionString(name));
  EXPECT_EQ(made->State(), kStateOpen);
}

TEST_F(ServerDatabases, AQuoteCanNeitherBreakNorWidenTheLookup) {
  const std::string password = testing::Postgres().password;
  EXPECT_EQ(Exists("postgres", password), Variant(true));
  EXPECT_EQ(Exists("x' or '1'='1", password), Variant(false));
  EXPECT_EQ(Exists("postgres' --", password), Variant(false));
  EXPECT_EQ(Exists("postgres", "wrong password"), Variant(false));
  EXPECT_EQ(Output(), "");
}

TEST_F(ServerDatabases, FailuresAreReportedWithTheirNumber) {
  const std::string password = testing::Postgres().password;
  // Not a plain identifier: refused before anything runs.
  EXPECT_EQ(Make("shop; drop database postgres", password), Variant(false));
  EXPECT_EQ(Make("1shop", password), Variant(false));
  // A plain identifier that the server refuses as a name.
  EXPECT_EQ(Make("select", password), Variant(false));
  // No connection: the component that was needed is missing.
  EXPECT_EQ(Make(UniqueName(), "wrong password"), Variant());
  const std::string prefix = "无法建立，请检查错误信息<br>";
  const std::string starts[] = {prefix + "5<br>Invalid database name", prefix + "5<br>",
                                prefix + "-2147217900<br>", prefix + "-2147217843<br>"};
  ASSERT_EQ(Writes().size(), std::size(starts));
  for (size_t i = 0; i < std::size(starts); ++i) {
    EXPECT_EQ(Writes()[i].rfind(starts[i], 0), 0u) << Writes()[i];
  }
  EXPECT_EQ(Exists("postgres", password), Variant(true));
  EXPECT_FALSE(PendingError().pending());
}

}  // namespace
}  // namespace mirelda::database

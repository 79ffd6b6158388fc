// Creating Jet files through the catalog and compacting them through the Jet engine.
#include "data/jet_catalog.h"

#include <gtest/gtest.h>

#include <fstream>

#include "data/engines.h"
#include "data/file_system_object.h"
#include "mirelda/path_map.h"
#include "mirelda/registry.h"
#include "support/error_matchers.h"

namespace mirelda::data::testing {
namespace {

using mirelda::testing::TempDir;

class JetFiles : public ::testing::Test {
 protected:
  void SetUp() override { paths::MapDrive('D', dir_.path()); }
  void TearDown() override { paths::UnmapDrive('D'); }

  static std::string Jet(const std::string& provider, const std::string& path,
                         const std::string& extra = "") {
    return "Provider=Microsoft.Jet.OLEDB." + provider + ";Data Source=" + path + extra;
  }
  JetFormat FormatOf(const std::string& name) { return InspectJetFile(dir_ / name, name); }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir_.path())) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  void Fill(const std::string& name, int rows) {
    auto conn = Connect(Jet("4.0", "D:\\" + name));
    conn->Execute("CREATE TABLE news (id autoincrement ,title char ,PRIMARY KEY (id))", -1);
    for (int i = 0; i < rows; ++i) {
      conn->Execute("insert into news (title) values ('" + std::string(200, 'x') + "')", -1);
    }
    conn->Execute("delete from news where id > 3", -1);
  }

  TempDir dir_;
  JetCatalog catalog_;
  JetCompactor engine_;
};

TEST_F(JetFiles, TheCatalogCreatesEmptyFilesInTheFormatAskedFor) {
  catalog_.Create(Jet("3.51", "D:\\db351.mdb"));
  catalog_.Create(Jet("4.0", "D:\\db40.mdb"));
  catalog_.Create(Jet("4.0", "D:\\db3x.mdb", ";Jet OLEDB:Engine Type=4"));
  EXPECT_EQ(FormatOf("db351.mdb"), JetFormat::kJet35);
  EXPECT_EQ(FormatOf("db40.mdb"), JetFormat::kJet40);
  EXPECT_EQ(FormatOf("db3x.mdb"), JetFormat::kJet35);
  auto conn = Connect(Jet("4.0", "D:\\db351.mdb"));
  EXPECT_TRUE(Rows(*conn, "select name from sqlite_master").empty());
  EXPECT_EQ(Names(), (std::vector<std::string>{"db351.mdb", "db3x.mdb", "db40.mdb"}));
}

TEST_F(JetFiles, TheCatalogNeverTouchesAnExistingFileOrMakesAFolder) {
  std::ofstream(dir_ / "shop.mdb") << "not mine";
  EXPECT_ERROR(catalog_.Create(Jet("4.0", "D:\\shop.mdb")), errc::kDatabaseExists);
  std::ifstream in(dir_ / "shop.mdb");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not mine");
  EXPECT_ERROR(catalog_.Create(Jet("4.0", "D:\\missing\\shop.mdb")), errc::kUnspecified);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
  EXPECT_ERROR(catalog_.Create(Jet("4.0", "X:\\shop.mdb")), errc::kPathNotFound);
  EXPECT_ERROR(catalog_.Create("driver={sql server};server=h"), errc::kUnspecified);
  EXPECT_EQ(Names(), (std::vector<std::string>{"shop.mdb"}));
}

TEST_F(JetFiles, CompactionWritesASmallerCopyInTheDestinationsFormat) {
  catalog_.Create(Jet("4.0", "D:\\shop.mdb"));
  Fill("shop.mdb", 400);
  engine_.CompactDatabase(Jet("4.0", "D:\\shop.mdb"),
                          Jet("4.0", "D:\\shop.mdb.bak.mdb", ";Jet OLEDB:Engine Type=4"));
  engine_.CompactDatabase(Jet("4.0", "D:\\shop.mdb"), Jet("4.0", "D:\\copy40.mdb"));
  EXPECT_EQ(FormatOf("shop.mdb.bak.mdb"), JetFormat::kJet35);
  EXPECT_EQ(FormatOf("copy40.mdb"), JetFormat::kJet40);
  EXPECT_LT(std::filesystem::file_size(dir_ / "copy40.mdb"),
            std::filesystem::file_size(dir_ / "shop.mdb"));
  for (const char* name : {"shop.mdb", "shop.mdb.bak.mdb", "copy40.mdb"}) {
    EXPECT_EQ(Rows(*Connect(Jet("4.0", std::string("D:\\") + name)), "select count(*) from news"),
              (Table{{3}}))
        << name;
  }
}

TEST_F(JetFiles, AFailedCompactionLeavesNoDestination) {
  catalog_.Create(Jet("4.0", "D:\\shop.mdb"));
  std::ofstream(dir_ / "text.mdb") << "This is no database at all, just some words in a file that "
                                      "is long enough to look like it has a header of 100 bytes.";
  EXPECT_ERROR(engine_.CompactDatabase(Jet("4.0", "D:\\gone.mdb"), Jet("4.0", "D:\\out1.mdb")),
               errc::kUnspecified);
  EXPECT_ERROR(engine_.CompactDatabase(Jet("4.0", "D:\\text.mdb"), Jet("4.0", "D:\\out2.mdb")),
               errc::kUnspecified);
  std::ofstream(dir_ / "taken.mdb") << "keep";
  EXPECT_ERROR(engine_.CompactDatabase(Jet("4.0", "D:\\shop.mdb"), Jet("4.0", "D:\\taken.mdb")),
               errc::kDatabaseExists);
  EXPECT_ERROR(engine_.CompactDatabase(Jet("4.0", "D:\\shop.mdb"), Jet("4.0", "D:\\shop.mdb")),
               errc::kDatabaseExists);
  EXPECT_ERROR(
      engine_.CompactDatabase(Jet("4.0", "D:\\shop.mdb"), Jet("4.0", "D:\\none\\out3.mdb")),
      errc::kUnspecified);
  EXPECT_EQ(Names(), (std::vector<std::string>{"shop.mdb", "taken.mdb", "text.mdb"}));
}

// What a page does to compact a file in place: compact to F.bak.mdb, delete F, copy the copy over
// F and delete the copy; all through objects created by ProgID and reached by name.
TEST_F(JetFiles, CompactingInPlaceThroughTheScriptingObjects) {
  std::shared_ptr<Dispatch> catalog = CreateObject("ADOX.Catalog");
  catalog->Call("Create", Jet("3.51", "D:\\db\\..\\site.mdb"));
  Fill("site.mdb", 50);
  const std::string file = "D:\\site.mdb";
  std::shared_ptr<Dispatch> jro = CreateObject("JRO.JetEngine");
  jro->Call("CompactDatabase", Jet("4.0", file), Jet("4.0", file + ".bak.mdb"));
  std::shared_ptr<Dispatch> fso = CreateObject("Scripting.FileSystemObject");
  fso->Call("DeleteFile", file);
  fso->Call("CopyFile", file + ".bak.mdb", file, true);
  fso->Call("DeleteFile", file + ".bak.mdb");
  EXPECT_EQ(Names(), (std::vector<std::string>{"site.mdb"}));
  EXPECT_EQ(FormatOf("site.mdb"), JetFormat::kJet40);
  EXPECT_EQ(Rows(*Connect(Jet("4.0", file)), "select count(*) from news"), (Table{{3}}));
}

}  // namespace
}  // namespace mirelda::data::testing

// The Access sample (fruit.mdb, fetched by fetch_sample.sh) converted by mirelda-import-mdb and
// read back through the Jet-file engine that pages use. Expected values were read by hand from
// mdb-export's output for the sample.
#include "import/mdb_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "data/sqlite_engine.h"
#include "mirelda/data.h"
#include "mirelda/error.h"
#include "support/temp_dir.h"

namespace mirelda::testing {
namespace {

// The engine's target for a converted file, opened as a Jet file.
data::JetTarget JetFileAt(const std::string& path) {
  data::JetTarget target;
  target.path = path;
  return target;
}

std::filesystem::path Sample() { return BuildDir() / "tests" / "mdb-sample" / "fruit.mdb"; }

std::string RunTool(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  int status = ::pclose(pipe);
  return std::to_string(WEXITSTATUS(status)) + "\n" + out;
}

std::string Tool() { return (BuildDir() / "mirelda-import-mdb").string(); }

class ImportedSample : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    report_ =
        new import::ImportReport(import::ImportAccessFile(Sample(), *dir_ / "fruit.mdb", false));
    engine_ = new data::SqliteEngine(JetFileAt((*dir_ / "fruit.mdb").string()));
  }
  static void TearDownTestSuite() {
    delete engine_;
    delete report_;
    delete dir_;
  }
  static std::shared_ptr<const data::ResultTable> Query(const std::string& sql) {
    return engine_->Run(sql);
  }
  static bool Reported(const std::string& line) {
    const auto& lost = report_->not_converted;
    return std::find(lost.begin(), lost.end(), line) != lost.end();
  }

  static inline TempDir* dir_ = nullptr;
  static inline import::ImportReport* report_ = nullptr;
  static inline data::SqliteEngine* engine_ = nullptr;
};

TEST_F(ImportedSample, EveryTableArrivesWithAllItsRows) {
  const std::pair<const char*, size_t> expected[] = {
      {"Fruit", 37}, {"Fruit Salad", 18}, {"Veggie Salad", 4}, {"Muffin/Bread", 13}, {"Dried", 12}};
  ASSERT_EQ(report_->tables.size(), std::size(expected));
  EXPECT_EQ(report_->source_format, "Jet 4");
  for (size_t i = 0; i < std::size(expected); ++i) {
    auto [name, rows] = expected[i];
    EXPECT_EQ(report_->tables[i].name, name);
    EXPECT_EQ(report_->tables[i].rows, rows) << name;
    EXPECT_EQ(report_->tables[i].failed_rows, 0u) << name;
    auto count = Query(std::string("SELECT COUNT(*) FROM [") + name + "]");
    EXPECT_EQ(count->Value(0, 0).ToLong(), static_cast<int32_t>(rows)) << name;
  }
}

TEST_F(ImportedSample, ColumnsKeepTheirJetTypes) {
  auto table = Query("SELECT * FROM Fruit WHERE 1 = 0");
  ASSERT_EQ(table->columns().size(), 11u);
  EXPECT_EQ(table->columns()[0].name, "Fruit");
  EXPECT_EQ(table->columns()[0].type, field_type::kVarWChar);
  EXPECT_EQ(table->columns()[5].name, "Vit A");
  for (size_t c = 1; c < 11; ++c) EXPECT_EQ(table->columns()[c].type, field_type::kInteger);
  auto declared = Query("SELECT sql FROM sqlite_master WHERE name = 'Fruit Salad'");
  EXPECT_EQ(
      declared->Value(0, 0).ToString(),
      "CREATE TABLE [Fruit Salad] ([Fruit] VARCHAR(50) COLLATE NOCASE, PRIMARY KEY ([Fruit]))");
}

TEST_F(ImportedSample, ValuesAndNullsAreThoseOfTheAccessFile) {
  // Fruit, Fat, Vit A, Vit B6, Vit E; "" stands for Null.
  const char* expected[][5] = {
      {"Apricot", "0", "420", "0", "0"},
      {"Avocado", "10", "20", "0", "3"},
      {"Kumquat", "0", "160", "", ""},
      {"Passion Fruit", "0", "125", "", "0"},
  };
  for (const auto& row : expected) {
    auto t = Query(std::string("SELECT Fruit, Fat, [Vit A], [Vit B6], [Vit E] FROM Fruit WHERE "
                               "Fruit = '") +
                   row[0] + "'");
    ASSERT_EQ(t->RowCount(), 1u) << row[0];
    for (size_t c = 0; c < 5; ++c) {
      Variant v = t->Value(0, c);
      EXPECT_EQ(v.is_null() ? "" : v.ToString(), row[c]) << row[0] << " column " << c;
    }
  }
  auto dried = Query("SELECT Fruit FROM Dried WHERE Fruit = 'Tomato'");
  EXPECT_EQ(dried->RowCount(), 1u);
}

TEST_F(ImportedSample, PrimaryKeysAndIndexesHoldInTheCopy) {
  auto indexes = Query(
      "SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' AND sql IS "
      "NOT NULL ORDER BY name");
  ASSERT_EQ(indexes->RowCount(), 2u);
  // The index Access names after its table takes the table's name as a prefix in the copy.
  EXPECT_EQ(indexes->Value(0, 0).ToString(), "Fruit_Fruit");
  EXPECT_EQ(indexes->Value(1, 0).ToString(), "IDNum");
  EXPECT_EQ(indexes->Value(1, 1).ToString(), "Fruit Salad");
  // The key compares without regard to case, as Jet's does.
  EXPECT_THROW(Query("INSERT INTO Fruit (Fruit) VALUES ('APPLE')"), Error);
  Query("INSERT INTO Dried (Fruit) VALUES ('Quince')");
  Query("INSERT INTO Fruit (Fruit) VALUES ('Quince')");
  auto defaults = Query("SELECT Fiber, [Vit E] FROM Fruit WHERE Fruit = 'quince'");
  EXPECT_EQ(defaults->Value(0, 0).ToString() + "," + defaults->Value(0, 1).ToString(), "0,0");
  EXPECT_THROW(Query("INSERT INTO Dried (Fruit) VALUES ('quince')"), Error);
}

TEST_F(ImportedSample, ReportNamesWhatTheCopyLacks) {
  for (const char* line :
       {"saved query In Dried: not converted", "saved query ~sq_fFruit: not converted",
        "form Fruit: not converted",
        "relationship FruitDried: Dried.Fruit -> Fruit.Fruit is not enforced in the copy"}) {
    EXPECT_TRUE(Reported(line)) << line;
  }
  auto count = [&](const std::string& part) {
    return std::count_if(report_->not_converted.begin(), report_->not_converted.end(),
                         [&](const std::string& l) { return l.find(part) != std::string::npos; });
  };
  EXPECT_EQ(count("saved query "), 6);
  EXPECT_EQ(count("relationship "), 4);
  // The sample's defaults are all 0, which the copy keeps.
  EXPECT_EQ(count("DefaultValue"), 0);
  EXPECT_EQ(count("MSys"), 0);
}

// Files the tool must refuse, each with its message, leaving no destination and no temporary
// file behind.
TEST(ImportRefusal, BadInputsGiveAClearErrorAndNoFile) {
  TempDir dir;
  {
    std::ofstream(dir / "text.mdb") << "just some text, no database at all";
    std::ifstream in(Sample(), std::ios::binary);
    std::string head(8192, '\0');
    in.read(head.data(), head.size());
    std::ofstream(dir / "cut.mdb", std::ios::binary) << head;
  }
  std::filesystem::create_directory(dir / "folder.mdb");
  const std::pair<std::string, std::string> cases[] = {
      {(dir / "missing.mdb").string(), "File not found"},
      {(dir / "text.mdb").string(), "is not an Access database file"},
      {(dir / "folder.mdb").string(), "is a folder"},
      {(dir / "cut.mdb").string(), "mirelda-import-mdb: "},
  };
  for (const auto& [input, message] : cases) {
    std::string out = RunTool(Tool() + " '" + input + "' '" + (dir / "out.mdb").string() + "'");
    EXPECT_EQ(out.substr(0, 2), "1\n") << input << out;
    EXPECT_NE(out.find(message), std::string::npos) << input << out;
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      files += e.path().filename().string().starts_with(".") || e.path().filename() == "out.mdb";
    }
    EXPECT_EQ(files, 0u) << input;
  }
  EXPECT_EQ(RunTool(Tool() + " only-one").substr(0, 2), "2\n");
  EXPECT_NE(RunTool(Tool() + " --help").find("Usage: mirelda-import-mdb [--force]"),
            std::string::npos);
}

TEST(ImportRefusal, ExistingDestinationNeedsForce) {
  TempDir dir;
  std::string dest = (dir / "fruit.mdb").string();
  std::ofstream(dest) << "keep me";
  std::string out = RunTool(Tool() + " '" + Sample().string() + "' '" + dest + "'");
  EXPECT_EQ(out.substr(0, 2), "1\n") << out;
  EXPECT_NE(out.find("--force replaces it"), std::string::npos) << out;
  std::stringstream kept;
  kept << std::ifstream(dest).rdbuf();
  EXPECT_EQ(kept.str(), "keep me");
  out = RunTool(Tool() + " --force '" + Sample().string() + "' '" + dest + "'");
  EXPECT_EQ(out.substr(0, 2), "0\n") << out;
  EXPECT_NE(out.find("table Fruit: 37 rows"), std::string::npos) << out;
  data::SqliteEngine engine(JetFileAt(dest));
  EXPECT_EQ(engine.Run("SELECT COUNT(*) FROM [Muffin/Bread]")->Value(0, 0).ToLong(), 13);
}

}  // namespace
}  // namespace mirelda::testing

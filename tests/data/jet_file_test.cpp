// Jet files: what opens as one, what does not, and how they are created.
#include "data/jet_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <thread>

#include "data/engines.h"
#include "mirelda/path_map.h"
#include "support/error_matchers.h"

namespace mirelda::data::testing {
namespace {

using mirelda::testing::TempDir;

std::string OpenError(const std::string& connection_string) {
  try {
    Connect(connection_string);
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kUnspecified);
    return e.description();
  }
  ADD_FAILURE() << "opened " << connection_string;
  return {};
}

void Write(const std::filesystem::path& file, const std::string& content) {
  std::ofstream(file, std::ios::binary) << content;
}

std::string Read(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(JetFile, FilesThatAreNotJetDatabasesCannotBeOpenedAndBothFormatMarksCan) {
  TempDir dir;
  Write(dir / "empty.mdb", "");
  Write(dir / "notes.mdb",
        "This is a text file, not a database, though it is long enough to "
        "fill a database header of one hundred bytes and more.\n");
  std::filesystem::create_directory(dir / "folder.mdb");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open((dir / "other.db").c_str(), &other), SQLITE_OK);
  sqlite3_exec(other, "create table t (a)", nullptr, nullptr, nullptr);
  sqlite3_close(other);

  EXPECT_NE(OpenError(JetConnectionString(dir / "missing.mdb")).find("Could not find file"),
            std::string::npos);
  EXPECT_NE(OpenError(JetConnectionString(dir / "folder.mdb")).find("is a folder"),
            std::string::npos);
  for (const char* name : {"empty.mdb", "notes.mdb", "other.db"}) {
    EXPECT_NE(OpenError(JetConnectionString(dir / name)).find("Unrecognized database format"),
              std::string::npos)
        << name;
  }
  // Nothing was created or changed by the attempts.
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.mdb"));
  EXPECT_EQ(std::filesystem::file_size(dir / "empty.mdb"), 0u);

  // Both format marks open with either provider string.
  CreateJetFile(dir / "old.mdb", "old.mdb", JetFormat::kJet35);
  CreateJetFile(dir / "new.mdb", "new.mdb", JetFormat::kJet40);
  EXPECT_EQ(InspectJetFile(dir / "old.mdb", "old.mdb"), JetFormat::kJet35);
  EXPECT_EQ(InspectJetFile(dir / "new.mdb", "new.mdb"), JetFormat::kJet40);
  for (const char* name : {"old.mdb", "new.mdb"}) {
    std::string file = (dir / name).string();
    for (std::string cs : {"Provider=Microsoft.Jet.OLEDB.3.51;Data Source=" + file,
                           "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file,
                           "driver={Microsoft Access Driver (*.mdb)};dbq=" + file}) {
      EXPECT_EQ(Connect(cs)->State(), kStateOpen) << cs;
    }
  }
}

TEST(JetFile, CreationNeverReplacesAFileAndNeedsItsFolder) {
  TempDir dir;
  Write(dir / "taken.mdb", "precious");
  EXPECT_ERROR(CreateJetFile(dir / "taken.mdb", "taken.mdb", JetFormat::kJet40),
               errc::kDatabaseExists);
  EXPECT_EQ(Read(dir / "taken.mdb"), "precious");
  EXPECT_ERROR(CreateJetFile(dir / "no" / "x.mdb", "no\\x.mdb", JetFormat::kJet40),
               errc::kUnspecified);
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) entries += e.exists();
  EXPECT_EQ(entries, 1u);  // no temporary file stays behind
}

TEST(JetFile, DataSourcePathsGoThroughThePathMap) {
  TempDir dir;
  paths::MapDrive('Q', dir.path());
  NewJetFile(dir, "mapped.mdb");
  EXPECT_EQ(Connect("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Q:\\mapped.mdb")->State(),
            kStateOpen);
  EXPECT_EQ(Connect("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=q:/sub/../mapped.mdb")->State(),
            kStateOpen);
  paths::UnmapDrive('Q');
  EXPECT_ERROR(Connect("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Q:\\mapped.mdb"),
               errc::kPathNotFound);
}

TEST(JetFile, TwoConnectionsWritingOneFileAtOnceBothSucceed) {
  TempDir dir;
  std::string cs = JetConnectionString(NewJetFile(dir));
  Connect(cs)->Execute("create table log (id counter, who int, n int)", -1);
  constexpr int kRows = 150;
  std::string failures[2];
  auto writer = [&](int who) {
    try {
      auto conn = Connect(cs);
      for (int n = 0; n < kRows; ++n) {
        conn->Execute("insert into log (who, n) values (" + std::to_string(who) + "," +
                          std::to_string(n) + ")",
                      -1);
      }
    } catch (const Error& e) {
      failures[who - 1] = e.description();
    }
  };
  std::thread a(writer, 1), b(writer, 2);
  a.join();
  b.join();
  EXPECT_EQ(failures[0], "");
  EXPECT_EQ(failures[1], "");
  auto conn = Connect(cs);
  EXPECT_EQ(Rows(*conn, "select who, count(*) from log group by who order by who"),
            (Table{{1, kRows}, {2, kRows}}));
  EXPECT_EQ(Rows(*conn, "select count(distinct id), min(id), max(id) from log"),
            (Table{{2 * kRows, 1, 2 * kRows}}));
}

}  // namespace
}  // namespace mirelda::data::testing

// The installation page with the host dying at each step point in turn
// (MIRELDA_EXIT_AT_STEP_POINT): those of the dictionary steps and those of the site's own steps
// (its tables with their registration, its menu entries), then run again. Every time the database
// ends up holding exactly the tables and rows of a clean installation, on the Jet file and on the
// server database, and the second run reports the steps in the order of a clean one, each either
// done or found in place.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "site/jet_rows.h"
#include "site/server_rows.h"
#include "site/site_visitor.h"

namespace mirelda::testing {
namespace {

namespace fs = std::filesystem;

enum class Engine { kJet, kServer };

// One installation: a work folder with its own registry and site copy, and its own database.
class Installation {
 public:
  Installation(Engine engine, const std::string& name) : engine_(engine), database_(name) {
    CopySite(site());
    RegisterLibrary(dir_.path() / "registry", "libmirelda-data.so");
    if (engine == Engine::kServer) UseServerDatabase(site(), name);
  }

  // Each point's database is dropped once compared, so the server holds two at a time.
  ~Installation() {
    if (engine_ == Engine::kServer) ServerRows("postgres", "DROP DATABASE IF EXISTS " + database_);
  }

  // Runs the installation page on a new host; with exit_at, the host dies at that step point.
  // Returns the page's text, or "" when the host died before it answered. As the administrator,
  // the visitor logs on first (an installed site answers nobody else).
  std::string Install(int exit_at = 0, bool as_admin = false) {
    if (exit_at > 0) ::setenv("MIRELDA_EXIT_AT_STEP_POINT", std::to_string(exit_at).c_str(), 1);
    HostProcess host(dir_.path(), site());
    ::unsetenv("MIRELDA_EXIT_AT_STEP_POINT");
    std::string text;
    try {
      Visitor visitor(host.port());
      if (as_admin) visitor.LogOnAdmin();
      text = visitor.Get("/install.asp").text;
    } catch (const std::exception&) {
      text.clear();
    }
    int code = text.empty() ? host.Wait() : host.Stop();
    EXPECT_EQ(code, text.empty() ? 137 : 0) << host.Log();
    return text;
  }

  // Every table with every row, in key order; date and time values (the seeding moment) masked.
  Rows Snapshot() const {
    Rows all;
    for (const auto& table :
         Query(engine_ == Engine::kJet ? "select name from sqlite_master where type='table' "
                                         "order by name"
                                       : "select table_name from information_schema.tables "
                                         "where table_schema='public' order by 1")) {
      all.push_back({"table " + table[0]});
      for (auto& row : Query("select * from " + table[0] + " order by 1")) {
        for (std::string& value : row) {
          value = std::regex_replace(value, std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$)"),
                                     "<time>");
        }
        all.push_back(std::move(row));
      }
    }
    if (engine_ == Engine::kServer) {
      for (auto& row : Query("select sequencename, last_value from pg_sequences order by 1")) {
        all.push_back(std::move(row));
      }
    }
    return all;
  }

 private:
  fs::path site() const { return dir_.path() / "site"; }
  Rows Query(const std::string& sql) const {
    return engine_ == Engine::kJet
               ? JetRows(dir_.path() / "var" / "c" / "mirelda" / "mirelda.mdb", sql)
               : ServerRows(database_, sql);
  }

  Engine engine_;
  std::string database_;
  TempDir dir_;
};

// The report lines of an installation page, in order; each installation's own database name
// masked.
std::vector<std::string> ReportLines(const std::string& page) {
  std::vector<std::string> lines;
  const std::regex line(R"(<li[^>]*>([^<]*)</li>)");
  const std::regex name(R"(mirelda_crash_\d+_\d+)");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), line); it != std::sregex_iterator();
       ++it) {
    lines.push_back(std::regex_replace((*it)[1].str(), name, "<database>"));
  }
  return lines;
}

constexpr const char* kLocked = "只有管理员可以再次运行安装页面";

class InstallCrash : public ::testing::TestWithParam<Engine> {
 protected:
  std::string NewName() {
    return "mirelda_crash_" + std::to_string(::getpid()) + "_" + std::to_string(++databases_);
  }
  int databases_ = 0;
};

TEST_P(InstallCrash, ARerunAfterACrashAtAnyStepPointInstallsWhatACleanRunDoes) {
  Installation clean(GetParam(), NewName());
  const std::string first_page = clean.Install();
  ASSERT_NE(first_page.find("安装完成。"), std::string::npos) << first_page;
  const Rows expected = clean.Snapshot();
  ASSERT_GT(expected.size(), 60u);
  // Each step's line as a run reports it that does the step, and as one that finds it in place.
  const std::vector<std::string> done = ReportLines(first_page);
  const std::vector<std::string> same = ReportLines(clean.Install(0, true));
  ASSERT_EQ(done.size(), same.size());

  int recovered = 0;
  int point = 1;
  std::vector<int> found_installed;
  for (;; ++point) {
    Installation crashed(GetParam(), NewName());
    std::string first = crashed.Install(point);
    // A point past the last one: the page ran to its end, and every point has been tried.
    if (!first.empty()) {
      EXPECT_NE(first.find("安装完成。"), std::string::npos) << first;
      EXPECT_EQ(ReportLines(first), done);
      break;
    }
    std::string again = crashed.Install();
    if (again.find(kLocked) != std::string::npos) {
      // Only a crash after the last step's commit leaves nothing for a second run to do.
      found_installed.push_back(point);
    } else {
      EXPECT_NE(again.find("安装完成。"), std::string::npos) << "point " << point << "\n" << again;
      std::vector<std::string> lines = ReportLines(again);
      ASSERT_EQ(lines.size(), done.size()) << "point " << point << "\n" << again;
      for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i] == done[i] || lines[i] == same[i])
            << "point " << point << " line " << i << ": " << lines[i];
      }
    }
    Rows rows = crashed.Snapshot();
    EXPECT_EQ(rows, expected) << "point " << point;
    if (rows == expected) ++recovered;
  }
  // The dictionary's points, then at least a write and a commit for each table and menu entry.
  EXPECT_GT(point, 71 + 2 * 8);
  EXPECT_EQ(found_installed, std::vector<int>{point - 1});
  std::cout << "recovered " << recovered << " of " << point - 1 << " step points\n";
}

INSTANTIATE_TEST_SUITE_P(Engines, InstallCrash, ::testing::Values(Engine::kJet, Engine::kServer),
                         [](const auto& info) {
                           return info.param == Engine::kJet ? "Jet" : "Server";
                         });

}  // namespace
}  // namespace mirelda::testing

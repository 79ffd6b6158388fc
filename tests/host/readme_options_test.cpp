// The README's list of mirelda-host options against the host's own table, so that neither
// names an option the other lacks.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "host/options/option_table.h"

namespace mirelda::host {
namespace {

// The first cell of each row of the options table under "## The page host", as "--name ARG".
std::set<std::string> ReadmeOptions() {
  std::ifstream in(std::string(MIRELDA_SOURCE_DIR) + "/README.md");
  std::set<std::string> options;
  std::string line;
  bool in_section = false;
  bool in_table = false;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) in_section = line == "## The page host";
    if (!in_section) continue;
    if (line.rfind("| Flag |", 0) == 0) {
      in_table = true;
      continue;
    }
    if (!in_table) continue;
    if (line.rfind("|", 0) != 0) break;
    size_t open = line.find('`');
    size_t close = open == std::string::npos ? open : line.find('`', open + 1);
    if (close == std::string::npos) continue;  // the "| --- |" line
    std::string cell = line.substr(open + 1, close - open - 1);
    for (size_t at; (at = cell.find("\\|")) != std::string::npos;) cell.erase(at, 1);
    options.insert(cell);
  }
  return options;
}

TEST(Readme, ListsEveryHostOptionAndNoOther) {
  std::set<std::string> readme = ReadmeOptions();
  ASSERT_FALSE(readme.empty()) << "no options table in README.md";
  std::set<std::string> table;
  for (const HostOption& option : HostOptionTable()) table.insert(OptionSynopsis(option));
  for (const std::string& option : table) {
    EXPECT_TRUE(readme.contains(option)) << option << " is missing from README.md";
  }
  for (const std::string& option : readme) {
    EXPECT_TRUE(table.contains(option)) << option << " in README.md is no option of the host";
  }
}

}  // namespace
}  // namespace mirelda::host

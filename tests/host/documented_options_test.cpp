// The README's and the manual page's lists of mirelda-host options against the host's own
// table, so that neither names an option the table lacks or lacks one it has.
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
  bool in_section = false;
  bool in_table = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("## ", 0) == 0) in_section = line == "## The page host";
    if (!in_section) continue;
    in_table = in_table || line.rfind("| Flag |", 0) == 0;  // a header without code cells
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

// The tag of each ".TP" paragraph of the manual page's OPTIONS section, as "--name ARG".
std::set<std::string> ManPageOptions() {
  std::ifstream in(std::string(MIRELDA_SOURCE_DIR) + "/man/mirelda-host.1");
  std::set<std::string> options;
  bool in_section = false;
  bool tag_next = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(".SH ", 0) == 0) in_section = line == ".SH OPTIONS";
    if (!in_section) continue;
    bool tag = tag_next;
    tag_next = line == ".TP";
    if (!tag) continue;
    size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    std::string tag_text = line.substr(blank + 1);
    for (size_t at; (at = tag_text.find("\\-")) != std::string::npos;) tag_text.erase(at, 1);
    // .BI \-\-name " ARG": the quotes keep the blank before the argument.
    std::erase(tag_text, '"');
    for (size_t at; (at = tag_text.find("  ")) != std::string::npos;) tag_text.erase(at, 1);
    options.insert(tag_text);
  }
  return options;
}

void ExpectSameOptions(const std::set<std::string>& listed, const std::string& where) {
  ASSERT_FALSE(listed.empty()) << "no options in " << where;
  std::set<std::string> table;
  for (const HostOption& option : HostOptionTable()) table.insert(OptionSynopsis(option));
  for (const std::string& option : table) {
    EXPECT_TRUE(listed.contains(option)) << option << " is missing from " << where;
  }
  for (const std::string& option : listed) {
    EXPECT_TRUE(table.contains(option)) << option << " in " << where << " is no option of the host";
  }
}

TEST(Readme, ListsEveryHostOptionAndNoOther) { ExpectSameOptions(ReadmeOptions(), "README.md"); }

TEST(ManPage, ListsEveryHostOptionAndNoOther) {
  ExpectSameOptions(ManPageOptions(), "man/mirelda-host.1");
}

}  // namespace
}  // namespace mirelda::host

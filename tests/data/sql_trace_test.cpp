// The statement trace: each statement once as received and once as sent.
#include "data/sql_trace.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "data/engines.h"

namespace mirelda::data::testing {
namespace {

std::vector<std::string> Lines(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class Trace : public BothEngines {
 protected:
  void TearDown() override { ::unsetenv("MIRELDA_TRACE_SQL"); }
};

TEST_P(Trace, EachStatementAppearsAsReceivedAndAsSentWithItsLineBreaksEscaped) {
  std::filesystem::path file = dir_ / "trace.log";
  ::setenv("MIRELDA_TRACE_SQL", file.c_str(), 1);
  const std::string engine = IsJet() ? "sqlite" : "postgresql";
  const std::string create = "CREATE TABLE t (id autoincrement ,c char ,PRIMARY KEY (id))";
  const std::string insert = "insert into t (c) values ('a\tb\\n')";
  Exec(create);
  Exec(insert);
  ::unsetenv("MIRELDA_TRACE_SQL");
  Exec("select * from t");  // not traced any more

  std::vector<std::string> lines = Lines(file);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "received\t" + engine + "\t" + create);
  EXPECT_TRUE(lines[1].starts_with("sent\t" + engine + "\t")) << lines[1];
  EXPECT_NE(lines[1].find("CREATE TABLE t (id "), std::string::npos) << lines[1];
  EXPECT_NE(lines[1], "sent\t" + engine + "\t" + create);
  EXPECT_EQ(lines[2], "received\t" + engine + "\t" + insert);
  EXPECT_EQ(lines[3], "sent\t" + engine + "\t" + insert);

  // Line breaks are written as escapes.
  ::setenv("MIRELDA_TRACE_SQL", (dir_ / "breaks.log").c_str(), 1);
  Exec("select 1\r\nas one");
  lines = Lines(dir_ / "breaks.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].ends_with("\tselect 1\\r\\nas one")) << lines[0];
}

INSTANTIATE_TEST_SUITE_P(Engines, Trace, ::testing::Values(EngineKind::kJet, EngineKind::kServer),
                         EngineName);

}  // namespace
}  // namespace mirelda::data::testing

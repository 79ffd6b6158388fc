// What ends a page that would run away: the time limit, the stack limit, the memory limit,
// and Response.End, none of which a page's own error handling can swallow.
#include "script/vbscript/page_run.h"

namespace mirelda::script::vbscript::testing {
namespace {

using Outcome = host::PageRun::Outcome;

TEST(VbsLimits, RunawayLoopsStopAtTheDeadline) {
  const char* pages[] = {
      "<% Do\n x = x + 1\nLoop %>",
      "<% On Error Resume Next\nWhile True\nWend %>",
      "<% Sub Spin\n Spin2\nEnd Sub\nSub Spin2\n For i = 1 To 10\n i = 1\n Next\nEnd Sub\nSpin %>",
  };
  VbsSite site;
  PageOptions options;
  options.time_limit = std::chrono::milliseconds(200);
  for (const char* page : pages) {
    SCOPED_TRACE(page);
    PageOutcome outcome = site.Run(page, options);
    EXPECT_EQ(outcome.run.outcome, Outcome::kFailed);
    EXPECT_NE(outcome.run.description.find("time limit"), std::string::npos)
        << outcome.run.description;
  }
}

TEST(VbsLimits, DeepRecursionIsOutOfStackSpace) {
  VbsSite site;
  PageOutcome outcome = site.Run(
      "<%\nFunction Down(n)\n Down = Down(n + 1)\nEnd Function\nx = Down(1) %>");
  EXPECT_EQ(outcome.run.outcome, Outcome::kFailed);
  EXPECT_EQ(outcome.run.number, 28);
  EXPECT_EQ(outcome.run.description, "Out of stack space");
  // Under a handler the error is trapped like any other, and the page goes on.
  outcome = site.Run(
      "<%\nSub Deep\n Deep\nEnd Sub\nOn Error Resume Next\nDeep\nResponse.Write Err.Number %>");
  EXPECT_EQ(outcome.run.outcome, Outcome::kCompleted);
  EXPECT_EQ(outcome.output, "28");
}

TEST(VbsLimits, HugeValuesAreOutOfMemory) {
  const struct {
    const char* page;
    int line;  // of the statement that asked for too much
  } pages[] = {
      {"<% s = \"0123456789\"\nDo\n s = s & s\nLoop %>", 3},
      {"<% s = \"x\"\nDo\n t = s + s : s = t\nLoop %>", 3},
      {"<% ReDim a(100000000) %>", 1},
      {"<% Dim a(5000, 5000, 50) %>", 1},
      {"<% s = Space(100000000) %>", 1},
      {"<% x = Replace(\"aaaaaaaaaaaaaaaa\", \"a\", Space(200000)) %>", 1},
  };
  VbsSite site;
  PageOptions options;
  options.memory_limit = size_t{1} << 20;
  for (const auto& p : pages) {
    SCOPED_TRACE(p.page);
    PageOutcome outcome = site.Run(p.page, options);
    EXPECT_EQ(outcome.run.outcome, Outcome::kFailed);
    EXPECT_EQ(outcome.run.number, 7) << outcome.run.description;
    EXPECT_EQ(outcome.run.where.line, p.line);
  }
}

TEST(VbsLimits, ResponseEndStopsThePageEvenUnderResumeNext) {
  VbsSite site;
  PageOutcome outcome = site.Run(
      "a<% On Error Resume Next\nResponse.Write \"b\"\nResponse.End\nResponse.Write \"c\" %>d");
  EXPECT_EQ(outcome.run.outcome, Outcome::kEnded);
  EXPECT_EQ(outcome.output, "ab");
  outcome = site.Run(
      "<% Sub Finish\n Response.End\nEnd Sub\nOn Error Resume Next\nFinish\nResponse.Write \"x\" %>");
  EXPECT_EQ(outcome.run.outcome, Outcome::kEnded);
  EXPECT_EQ(outcome.output, "");
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing

#include "host/http/quick_pages.h"

#include <gtest/gtest.h>

#include <chrono>

namespace mirelda::host {
namespace {

using namespace std::chrono_literals;

constexpr QuickPages::Limits kLimits{
    .quick = 1ms, .held_up = 20ms, .first_streak = 3, .most_strikes = 2, .most_pages = 2};

// After each kind of run, the quick runs in a row that the page needs to run in place again.
TEST(QuickPages, QuickRunsAskedAfterEachKindOfRun) {
  QuickPages pages(kLimits);
  auto quick_runs_to_earn = [&pages] {
    int runs = 0;
    for (; runs < 100 && !pages.RunsInPlace("/p"); ++runs) pages.Record("/p", 100us, false);
    return runs;
  };
  EXPECT_EQ(quick_runs_to_earn(), 3);
  struct Step {
    const char* run;
    QuickPages::Duration elapsed;
    bool in_place;
    int asked_then;
  } steps[] = {
      {"quick, in place", 100us, true, 0},
      {"slow, on a worker", 50ms, false, 3},
      {"not quick, in place, holding nothing up", 5ms, true, 3},
      {"in place, holding its thread up", 50ms, true, 6},
      {"the same again", 50ms, true, 12},
      {"the same once more: no further", 50ms, true, 12},
      {"slow, on a worker: what is asked stays", 50ms, false, 12},
  };
  for (const Step& step : steps) {
    pages.Record("/p", step.elapsed, step.in_place);
    EXPECT_EQ(quick_runs_to_earn(), step.asked_then) << step.run;
  }
}

TEST(QuickPages, PagesPastTheLimitAreAlwaysHandedOver) {
  QuickPages pages(kLimits);
  for (const char* page : {"/a", "/b", "/c"}) {
    for (int i = 0; i < 5; ++i) pages.Record(page, 10us, false);
  }
  EXPECT_TRUE(pages.RunsInPlace("/a"));
  EXPECT_TRUE(pages.RunsInPlace("/b"));
  EXPECT_FALSE(pages.RunsInPlace("/c"));
  EXPECT_FALSE(pages.RunsInPlace("/never-run"));
}

}  // namespace
}  // namespace mirelda::host

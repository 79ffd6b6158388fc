#include "host/http/quick_pages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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
    for (; runs < 100 && !pages.RunsInPlace("/p"); ++runs) pages.Record("/p", {.elapsed = 100us});
    return runs;
  };
  EXPECT_EQ(quick_runs_to_earn(), 3);
  struct Step {
    const char* what;
    QuickPages::Run run;
    int asked_then;
  } steps[] = {
      {"quick, in place", {.elapsed = 100us, .in_place = true}, 0},
      {"slow, on a worker", {.elapsed = 50ms}, 3},
      {"quick but waiting, on a worker", {.elapsed = 100us, .waited = true}, 3},
      {"not quick, in place, holding nothing up", {.elapsed = 5ms, .in_place = true}, 3},
      {"in place, holding its thread up", {.elapsed = 50ms, .in_place = true}, 6},
      {"the same again", {.elapsed = 50ms, .in_place = true}, 12},
      {"the same once more: no further", {.elapsed = 50ms, .in_place = true}, 12},
      {"slow, on a worker: what is asked stays", {.elapsed = 50ms}, 12},
  };
  for (const Step& step : steps) {
    pages.Record("/p", step.run);
    EXPECT_EQ(quick_runs_to_earn(), step.asked_then) << step.what;
  }
}

// On a worker the timer tells a run that waited from one that computed; in place it reads the
// clock alone, which still shows a long wait.
TEST(QuickPages, TheTimerTellsARunThatWaitedFromOneThatComputed) {
  QuickPages::Timer computing(false);
  volatile unsigned sum = 0;
  for (unsigned i = 0; i < 1000; ++i) sum = sum + i;
  QuickPages::Run computed = computing.Stop();
  QuickPages::Timer sleeping(false);
  std::this_thread::sleep_for(2ms);
  QuickPages::Run slept = sleeping.Stop();
  QuickPages::Timer sleeping_in_place(true);
  std::this_thread::sleep_for(2ms);
  QuickPages::Run slept_in_place = sleeping_in_place.Stop();
  EXPECT_FALSE(computed.in_place);
  EXPECT_TRUE(slept.waited);
  EXPECT_GE(slept.elapsed, 2ms);
  EXPECT_LT(computed.elapsed, slept.elapsed);
  EXPECT_TRUE(slept_in_place.in_place);
  EXPECT_FALSE(slept_in_place.waited);
  EXPECT_GE(slept_in_place.elapsed, 2ms);
}

TEST(QuickPages, PagesPastTheLimitAreAlwaysHandedOver) {
  QuickPages pages(kLimits);
  for (const char* page : {"/a", "/b", "/c"}) {
    for (int i = 0; i < 5; ++i) pages.Record(page, {.elapsed = 10us});
  }
  EXPECT_TRUE(pages.RunsInPlace("/a"));
  EXPECT_TRUE(pages.RunsInPlace("/b"));
  EXPECT_FALSE(pages.RunsInPlace("/c"));
  EXPECT_FALSE(pages.RunsInPlace("/never-run"));
}

}  // namespace
}  // namespace mirelda::host

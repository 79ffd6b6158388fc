#include "host/http/doorbell.h"

#include <gtest/gtest.h>

#include <thread>

namespace mirelda::host {
namespace {

TEST(Doorbell, RingsHandWritesOverBetweenThreadsWhetherTheWaiterSleepsOrNot) {
  // Two threads take turns on a plain counter, each ringing the other when done: each ring finds
  // its waiter sometimes asleep and sometimes not yet waiting, and every write made before a ring
  // must be seen after the Wait it ends (ThreadSanitizer checks the same).
  constexpr int kRounds = 20000;
  Doorbell ping;
  Doorbell pong;
  int counter = 0;
  bool lost = false;
  std::thread other([&] {
    for (int i = 0; i < kRounds; ++i) {
      ping.Wait();
      if (counter != 2 * i + 1) lost = true;
      ++counter;
      pong.Ring();
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    ++counter;
    ping.Ring();
    pong.Wait();
  }
  other.join();
  EXPECT_FALSE(lost);
  EXPECT_EQ(counter, 2 * kRounds);
}

}  // namespace
}  // namespace mirelda::host

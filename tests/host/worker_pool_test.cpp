#include "host/http/worker_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace mirelda::host {
namespace {

using namespace std::chrono_literals;

TEST(WorkerPool, OneJobAtATimeStaysOnTheWorkerThatWentIdleLast) {
  WorkerPool pool(4);
  std::set<std::thread::id> threads;
  for (int i = 0; i < 40; ++i) {
    // Once all four wait again, the one that ran the last job is the last to have gone idle.
    while (pool.Idle() < 4) std::this_thread::yield();
    std::promise<std::thread::id> ran;
    pool.Submit([&ran] { ran.set_value(std::this_thread::get_id()); });
    threads.insert(ran.get_future().get());
  }
  EXPECT_EQ(threads.size(), 1u);
}

TEST(WorkerPool, QueuedJobsRunInOrderOfArrivalAndAllRunBeforeThePoolIsGone) {
  std::vector<int> order;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  {
    WorkerPool pool(1);
    pool.Submit([released] { released.wait(); });
    for (int i = 0; i < 50; ++i) pool.Submit([&order, i] { order.push_back(i); });
    release.set_value();
  }
  ASSERT_EQ(order.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(WorkerPool, EveryWorkerTakesAJobWhenJobsWaitForEachOther) {
  // Each job waits for all the others to have started: only a pool that puts every worker to
  // work, whether the job was queued or handed to an idle one, gets them all through.
  constexpr int kWorkers = 4;
  std::mutex mutex;
  std::condition_variable all_started;
  int started = 0;
  int met = 0;
  {
    WorkerPool pool(kWorkers);
    for (int round = 0; round < 3; ++round) {
      for (int i = 0; i < kWorkers; ++i) {
        pool.Submit([&] {
          std::unique_lock lock(mutex);
          ++started;
          all_started.notify_all();
          if (all_started.wait_for(lock, 30s, [&] { return started % kWorkers == 0; })) ++met;
          all_started.notify_all();
        });
      }
      std::unique_lock lock(mutex);
      ASSERT_TRUE(all_started.wait_for(lock, 30s, [&] { return met == (round + 1) * kWorkers; }));
    }
  }
  EXPECT_EQ(met, 3 * kWorkers);
}

}  // namespace
}  // namespace mirelda::host

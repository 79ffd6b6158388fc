// A fixed set of threads that run queued jobs in order of arrival. Each job runs on one thread
// from start to end.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "host/state/guarded.h"

namespace mirelda::host {

class WorkerPool {
 public:
  explicit WorkerPool(size_t threads);
  // Runs the jobs still queued, then joins the threads.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void Submit(std::function<void()> job);

 private:
  void Work();

  Mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_ MIRELDA_GUARDED_BY(mutex_);
  bool stopping_ MIRELDA_GUARDED_BY(mutex_) = false;
  std::vector<std::thread> threads_;
};

}  // namespace mirelda::host

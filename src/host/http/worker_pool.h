// A fixed set of threads that run queued jobs in order of arrival. Each job runs on one thread
// from start to end.
//
// A job goes to the worker that went idle last. Each worker keeps its own script heaps, and
// handing out work round the whole pool would cycle all of them through the processor's caches:
// on a lightly loaded host the same one or two workers, hot, take every page.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "host/http/doorbell.h"
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
  // Workers waiting for a job at this moment.
  size_t Idle();

 private:
  struct Worker {
    Doorbell bell;
    // A job given to this worker while it was idle: written under the lock by the one who takes
    // the worker off the idle list, read by the worker once its bell rings.
    std::function<void()> handed;
  };

  void Work(Worker& self);

  Mutex mutex_;
  std::deque<std::function<void()>> jobs_ MIRELDA_GUARDED_BY(mutex_);
  // Workers waiting for a job, the one that went idle last at the back.
  std::vector<Worker*> idle_ MIRELDA_GUARDED_BY(mutex_);
  bool stopping_ MIRELDA_GUARDED_BY(mutex_) = false;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<std::thread> threads_;
};

}  // namespace mirelda::host

#include "host/http/worker_pool.h"

#include <pthread.h>
#include <sched.h>

namespace mirelda::host {

WorkerPool::WorkerPool(size_t threads) {
  if (threads == 0) threads = 1;
  workers_.reserve(threads);
  threads_.reserve(threads);
  for (size_t i = 0; i < threads; ++i) {
    workers_.push_back(std::make_unique<Worker>());
    threads_.emplace_back([this, worker = workers_.back().get()] { Work(*worker); });
  }
}

WorkerPool::~WorkerPool() {
  {
    MutexLock lock(mutex_);
    stopping_ = true;
  }
  for (const std::unique_ptr<Worker>& worker : workers_) worker->bell.Ring();
  for (std::thread& t : threads_) t.join();
}

void WorkerPool::Submit(std::function<void()> job) {
  Worker* woken = nullptr;
  {
    MutexLock lock(mutex_);
    // An idle worker means an empty queue, so handing the job over keeps the order of arrival.
    if (idle_.empty()) {
      jobs_.push_back(std::move(job));
      return;
    }
    woken = idle_.back();
    idle_.pop_back();
    woken->handed = std::move(job);
  }
  // Outside the lock, so the worker does not wake only to wait for it.
  woken->bell.Ring();
}

size_t WorkerPool::Idle() {
  MutexLock lock(mutex_);
  return idle_.size();
}

void WorkerPool::Work(Worker& self) {
  // A worker woken for a page does not preempt the connection thread that woke it: that thread
  // goes on reading and sending for other connections, and the page runs on a free core or when
  // the thread next waits. Woken as ordinary threads, each page cost the connection thread a
  // switch away and back (one-line page about 30 to 23 us of CPU). The worker's share of the
  // processor is as before; the policy only tells the scheduler the thread is not interactive.
  sched_param normal{};
  ::pthread_setschedparam(::pthread_self(), SCHED_BATCH, &normal);
  while (true) {
    std::function<void()> job;
    {
      MutexLock lock(mutex_);
      if (!jobs_.empty()) {
        job = std::move(jobs_.front());
        jobs_.pop_front();
      } else if (stopping_) {
        return;
      } else {
        idle_.push_back(&self);
      }
    }
    if (!job) {
      self.bell.Wait();
      if (!self.handed) {
        // Rung to stop while still listed: off the list, so no job is handed to a worker that
        // left; the queue is seen to again before leaving.
        MutexLock lock(mutex_);
        std::erase(idle_, &self);
        continue;
      }
      job = std::move(self.handed);
      self.handed = nullptr;
    }
    job();
  }
}

}  // namespace mirelda::host

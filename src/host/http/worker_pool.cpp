#include "host/http/worker_pool.h"

namespace mirelda::host {

WorkerPool::WorkerPool(size_t threads) {
  if (threads == 0) threads = 1;
  threads_.reserve(threads);
  for (size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

WorkerPool::~WorkerPool() {
  {
    MutexLock lock(mutex_);
    stopping_ = true;
  }
  ready_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void WorkerPool::Submit(std::function<void()> job) {
  {
    MutexLock lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  ready_.notify_one();
}

void WorkerPool::Work() {
  while (true) {
    std::function<void()> job;
    {
      MutexLock lock(mutex_);
      while (!stopping_ && jobs_.empty()) mutex_.Wait(ready_);
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

}  // namespace mirelda::host

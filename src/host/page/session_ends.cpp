#include "host/page/session_ends.h"

namespace mirelda::host {

SessionEnds::SessionEnds(SessionStore& store, EndSession end, std::chrono::seconds sweep_every)
    : store_(store),
      end_(std::move(end)),
      sweep_every_(sweep_every),
      thread_([this] { Work(); }) {}

SessionEnds::~SessionEnds() { Stop(); }

void SessionEnds::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void SessionEnds::Push(const std::string& id, SessionState state) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    queue_.emplace_back(id, std::move(state));
  }
  wake_.notify_one();
}

void SessionEnds::Work() {
  auto next_sweep = std::chrono::steady_clock::now() + sweep_every_;
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (!queue_.empty()) {
      auto [id, state] = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      end_(id, std::move(state));
      lock.lock();
      continue;
    }
    if (std::chrono::steady_clock::now() >= next_sweep) {
      lock.unlock();
      // Ended sessions come back through Push, so the queue is looked at again at once. A
      // shared store that is down now is swept on a later round.
      try {
        store_.Sweep();
      } catch (const std::exception&) {
      }
      next_sweep = std::chrono::steady_clock::now() + sweep_every_;
      lock.lock();
      continue;
    }
    wake_.wait_until(lock, next_sweep, [this] { return stopping_ || !queue_.empty(); });
  }
}

}  // namespace mirelda::host

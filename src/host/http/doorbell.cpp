#include "host/http/doorbell.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace mirelda::host {
namespace {

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t),
              "the futex word is the atomic itself");

void FutexWait(std::atomic<uint32_t>& word, uint32_t asleep) {
  // Returns at once when the word no longer holds asleep; a signal or a spurious return is
  // sorted out by the caller's loop.
  ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, asleep, nullptr,
            nullptr, 0);
}

void FutexWakeOne(std::atomic<uint32_t>& word) {
  ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr,
            0);
}

}  // namespace

void Doorbell::Wait() {
  uint32_t seen = state_.load(std::memory_order_acquire);
  if (seen == kQuiet &&
      state_.compare_exchange_strong(seen, kAsleep, std::memory_order_acquire)) {
    do {
      FutexWait(state_, kAsleep);
    } while (state_.load(std::memory_order_acquire) == kAsleep);
  }
  // Rung, before the wait or during it: the ring is used up.
  state_.store(kQuiet, std::memory_order_relaxed);
}

void Doorbell::Ring() {
  if (state_.exchange(kRung, std::memory_order_release) == kAsleep) FutexWakeOne(state_);
}

}  // namespace mirelda::host

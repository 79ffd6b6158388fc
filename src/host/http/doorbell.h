// Wakes one waiting thread, for a thread that has nothing to do until someone rings.
//
// A worker used to wait on a condition variable, and glibc takes the mutex back after such a
// wait as if others wanted it too: the worker's next unlock then made a futex call every time,
// one system call per page for nothing. The doorbell waits on the futex itself, so a ring costs
// a system call only when its thread is asleep, and waking costs none besides the wait.
//
// One thread waits on a doorbell; any thread may ring it. A ring happens before the return of
// the Wait it ends, so what the ringer wrote before ringing is seen after Wait.
#pragma once

#include <atomic>
#include <cstdint>

namespace mirelda::host {

class Doorbell {
 public:
  // Returns once the doorbell has been rung since the last Wait returned (at once if it was).
  void Wait();
  void Ring();

 private:
  enum : uint32_t { kQuiet = 0, kRung = 1, kAsleep = 2 };
  std::atomic<uint32_t> state_{kQuiet};
};

}  // namespace mirelda::host

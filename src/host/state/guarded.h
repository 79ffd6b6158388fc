// A mutex that clang's -Wthread-safety analysis understands, so that a member marked
// MIRELDA_GUARDED_BY(mutex_) touched without the lock is a compile error in the clang build. Under
// other compilers the marks are empty and Mutex is a plain std::mutex.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define MIRELDA_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define MIRELDA_THREAD_ATTRIBUTE(x)
#endif

#define MIRELDA_CAPABILITY(x) MIRELDA_THREAD_ATTRIBUTE(capability(x))
#define MIRELDA_SCOPED_CAPABILITY MIRELDA_THREAD_ATTRIBUTE(scoped_lockable)
#define MIRELDA_GUARDED_BY(x) MIRELDA_THREAD_ATTRIBUTE(guarded_by(x))
#define MIRELDA_PT_GUARDED_BY(x) MIRELDA_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define MIRELDA_REQUIRES(...) MIRELDA_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define MIRELDA_EXCLUDES(...) MIRELDA_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define MIRELDA_ACQUIRE(...) MIRELDA_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define MIRELDA_RELEASE(...) MIRELDA_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))

namespace mirelda::host {

class MIRELDA_CAPABILITY("mutex") Mutex {
 public:
  void lock() MIRELDA_ACQUIRE() { mutex_.lock(); }
  void unlock() MIRELDA_RELEASE() { mutex_.unlock(); }

  // Waits for a notification on ready, the mutex let go meanwhile and held again on return.
  // Notifications may come for nothing: callers wait in a loop on their condition.
  void Wait(std::condition_variable& ready) MIRELDA_REQUIRES(this) {
    std::unique_lock<std::mutex> lock(mutex_, std::adopt_lock);
    ready.wait(lock);
    lock.release();
  }
  // The same, giving up at deadline; false when the deadline has passed.
  template <class Clock, class Duration>
  bool WaitUntil(std::condition_variable& ready,
                 const std::chrono::time_point<Clock, Duration>& deadline) MIRELDA_REQUIRES(this) {
    std::unique_lock<std::mutex> lock(mutex_, std::adopt_lock);
    bool in_time = ready.wait_until(lock, deadline) == std::cv_status::no_timeout;
    lock.release();
    return in_time;
  }

 private:
  std::mutex mutex_;
};

// Holds a Mutex for the scope it lives in.
class MIRELDA_SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) MIRELDA_ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexLock() MIRELDA_RELEASE() { mutex_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

}  // namespace mirelda::host

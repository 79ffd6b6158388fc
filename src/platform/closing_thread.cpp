#include "platform/closing_thread.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace mirelda::platform {
namespace {

// Past this many waiting descriptors the caller closes its own: the thread has fallen behind, and
// the disk space it would hold back grows with its queue.
constexpr size_t kMostPending = 16;

class ClosingThread {
 public:
  ClosingThread() {
    // Both lists keep this room as they trade places, so queueing never allocates.
    pending_.reserve(kMostPending);
    closing_.reserve(kMostPending);
  }

  // Takes fd over and returns true, or leaves it to the caller: when the thread cannot start or
  // has too many waiting. Raises only what starting a thread raises.
  bool Take(FileDescriptor& fd) {
    {
      std::lock_guard lock(mutex_);
      if (!started_) {
        std::thread(&ClosingThread::Run, this).detach();
        started_ = true;
      }
      if (pending_.size() >= kMostPending) return false;
      pending_.push_back(std::move(fd));
    }
    wake_.notify_one();
    return true;
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !pending_.empty(); });
      closing_.swap(pending_);
      lock.unlock();
      closing_.clear();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<FileDescriptor> pending_;
  std::vector<FileDescriptor> closing_;  // the thread's own
  bool started_ = false;
};

}  // namespace

void CloseLater(FileDescriptor fd) noexcept {
  try {
    // Never destroyed: the thread still waits on it while the process exits.
    static ClosingThread* const closing = new ClosingThread;
    if (closing->Take(fd)) return;
  } catch (...) {
    // No thread to take it (out of memory or threads): it is closed here instead.
  }
  fd.Close();
}

}  // namespace mirelda::platform

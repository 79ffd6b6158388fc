#include "platform/closing_thread.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace mirelda::platform {
namespace {

// Past this many waiting descriptors the caller closes its own: the thread has fallen behind, and
// the disk space it would hold back grows with its queue.
constexpr size_t kMostPending = 16;

class ClosingThread {
 public:
  void Add(FileDescriptor fd) {
    std::unique_lock lock(mutex_);
    if (!started_) {
      try {
        std::thread(&ClosingThread::Run, this).detach();
        started_ = true;
      } catch (const std::system_error&) {
        lock.unlock();
        fd.Close();
        return;
      }
    }
    if (pending_.size() >= kMostPending) {
      lock.unlock();
      fd.Close();
      return;
    }
    pending_.push_back(std::move(fd));
    lock.unlock();
    wake_.notify_one();
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !pending_.empty(); });
      std::vector<FileDescriptor> closing;
      closing.swap(pending_);
      lock.unlock();
      closing.clear();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<FileDescriptor> pending_;
  bool started_ = false;
};

}  // namespace

void CloseLater(FileDescriptor fd) {
  // Never destroyed: the thread still waits on it while the process exits.
  static ClosingThread* const closing = new ClosingThread;
  closing->Add(std::move(fd));
}

}  // namespace mirelda::platform

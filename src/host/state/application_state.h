// Values shared by every page of the site. Lock gives one page the right to change them until it
// calls Unlock or ends; other pages that write meanwhile wait, until their own deadline at most.
// A page is known by its thread, which runs it from start to end. The interface lets several
// hosts share the values; MemoryApplicationState keeps them for the life of this process. Shared
// by all threads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "host/objects/name_map.h"
#include "host/state/guarded.h"
#include "mirelda/variant.h"

namespace mirelda::host {

using Deadline = std::chrono::steady_clock::time_point;

class ApplicationState {
 public:
  virtual ~ApplicationState();

  virtual Variant Get(const std::string& name) = 0;
  // Waits while another page holds the lock; past deadline raises an Error instead.
  virtual void Set(const std::string& name, const Variant& value, std::thread::id page,
                   Deadline deadline) = 0;
  // Waits, as Set does, while another page holds the lock. A name not there is no error.
  virtual void Remove(const std::string& name, std::thread::id page, Deadline deadline) = 0;
  virtual void RemoveAll(std::thread::id page, Deadline deadline) = 0;
  // The names of the values, alphabetical without regard to case.
  virtual std::vector<std::string> Names() = 0;
  // Nests: the page holds the lock until as many Unlocks.
  virtual void Lock(std::thread::id page, Deadline deadline) = 0;
  virtual void Unlock(std::thread::id page) = 0;
};

// Raises the error of a page that waited for Application.Lock until its deadline.
[[noreturn]] void LockWaitedTooLong();

class MemoryApplicationState final : public ApplicationState {
 public:
  Variant Get(const std::string& name) override;
  void Set(const std::string& name, const Variant& value, std::thread::id page,
           Deadline deadline) override;
  void Remove(const std::string& name, std::thread::id page, Deadline deadline) override;
  void RemoveAll(std::thread::id page, Deadline deadline) override;
  std::vector<std::string> Names() override;
  void Lock(std::thread::id page, Deadline deadline) override;
  void Unlock(std::thread::id page) override;

 private:
  void WaitForTurn(std::thread::id page, Deadline deadline) MIRELDA_REQUIRES(mutex_);

  Mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, Variant, LessIgnoreCase> values_ MIRELDA_GUARDED_BY(mutex_);
  std::thread::id owner_ MIRELDA_GUARDED_BY(mutex_);
  int depth_ MIRELDA_GUARDED_BY(mutex_) = 0;
};

}  // namespace mirelda::host

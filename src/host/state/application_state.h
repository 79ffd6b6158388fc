// Values shared by every page of the site for the life of the process. Lock gives one page the
// right to change them until it calls Unlock or ends; other pages that write meanwhile wait.
// Shared by all threads.
#pragma once

#include <condition_variable>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "host/objects/name_map.h"
#include "host/state/guarded.h"
#include "mirelda/variant.h"

namespace mirelda::host {

class ApplicationState {
 public:
  Variant Get(const std::string& name);
  // Waits while another page holds the lock.
  void Set(const std::string& name, const Variant& value, std::thread::id page);
  // Waits, as Set does, while another page holds the lock. A name not there is no error.
  void Remove(const std::string& name, std::thread::id page);
  void RemoveAll(std::thread::id page);
  // The names of the values, alphabetical without regard to case.
  std::vector<std::string> Names();
  void Lock(std::thread::id page);
  void Unlock(std::thread::id page);

 private:
  void WaitForTurn(std::thread::id page) MIRELDA_REQUIRES(mutex_);

  Mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, Variant, LessIgnoreCase> values_ MIRELDA_GUARDED_BY(mutex_);
  std::thread::id owner_ MIRELDA_GUARDED_BY(mutex_);
  int depth_ MIRELDA_GUARDED_BY(mutex_) = 0;
};

}  // namespace mirelda::host

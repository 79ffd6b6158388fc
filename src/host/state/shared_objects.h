// Objects that the pages of one session, or of the whole site, share: the session and
// application objects that global.asa's object tags declare. Each is made on its first use. A
// page that uses one holds it until the page ends, so a component only ever serves one page at a
// time; a page that wants it meanwhile waits, at most until its own deadline.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/objects/name_map.h"
#include "host/state/guarded.h"
#include "mirelda/dispatch.h"

namespace mirelda::host {

class HeldObjects;

class SharedObjects : public std::enable_shared_from_this<SharedObjects> {
 public:
  // The object of that id (any letter case), made by make on first use, and held by held until
  // it lets go. Throws make's Error, or Error when another page holds the object past deadline.
  std::shared_ptr<Dispatch> Use(const std::string& id,
                                const std::function<std::shared_ptr<Dispatch>()>& make,
                                std::chrono::steady_clock::time_point deadline, HeldObjects& held);

 private:
  friend class HeldObjects;
  // A page's script may take an object on one thread and the request end on another, so being in
  // use is a flag under mutex_ rather than a lock that only its taker may let go.
  struct Slot {
    bool in_use = false;                // guarded by mutex_
    std::shared_ptr<Dispatch> object;   // touched only by the page that has the slot in use
  };
  // Lets the slot go and wakes the pages that wait for it.
  void Return(Slot* slot);

  Mutex mutex_;
  std::condition_variable returned_;
  std::map<std::string, std::unique_ptr<Slot>, LessIgnoreCase> slots_ MIRELDA_GUARDED_BY(mutex_);
};

// The shared objects one request's pages hold; released together when the request ends. A page
// that executes another holds them for both. Belongs to the request's thread.
class HeldObjects {
 public:
  HeldObjects() = default;
  HeldObjects(const HeldObjects&) = delete;
  HeldObjects& operator=(const HeldObjects&) = delete;
  ~HeldObjects() { Release(); }

  void Release();

 private:
  friend class SharedObjects;
  struct Hold {
    std::shared_ptr<SharedObjects> owner;  // keeps the slot alive while it is in use
    SharedObjects::Slot* slot = nullptr;
    std::shared_ptr<Dispatch> object;
  };
  // Released in the reverse order of taking.
  std::vector<Hold> holds_;
};

}  // namespace mirelda::host

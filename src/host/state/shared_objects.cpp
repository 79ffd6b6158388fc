#include "host/state/shared_objects.h"

#include "mirelda/error.h"

namespace mirelda::host {

std::shared_ptr<Dispatch> SharedObjects::Use(
    const std::string& id, const std::function<std::shared_ptr<Dispatch>()>& make,
    std::chrono::steady_clock::time_point deadline, HeldObjects& held) {
  Slot* slot = nullptr;
  {
    MutexLock lock(mutex_);
    std::unique_ptr<Slot>& entry = slots_[id];
    if (!entry) entry = std::make_unique<Slot>();
    slot = entry.get();
  }
  for (const HeldObjects::Hold& hold : held.holds_) {
    if (hold.slot == slot) return hold.object;
  }
  std::unique_lock<std::timed_mutex> lock(slot->in_use, std::defer_lock);
  if (!lock.try_lock_until(deadline)) {
    throw Error(errc::kUnspecified, "The shared object \"" + id +
                                        "\" stayed in use by another page until this page's "
                                        "time limit");
  }
  if (!slot->object) {
    slot->object = make();
    if (!slot->object) throw Error(errc::kCannotCreateObject, "The object \"" + id + "\" was not made");
  }
  std::shared_ptr<Dispatch> object = slot->object;
  held.holds_.push_back({shared_from_this(), slot, std::move(lock), object});
  return object;
}

void HeldObjects::Release() {
  while (!holds_.empty()) holds_.pop_back();
}

}  // namespace mirelda::host

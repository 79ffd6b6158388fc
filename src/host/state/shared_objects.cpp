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
  {
    MutexLock lock(mutex_);
    while (slot->in_use) {
      if (!mutex_.WaitUntil(returned_, deadline) && slot->in_use) {
        throw Error(errc::kUnspecified, "The shared object \"" + id +
                                            "\" stayed in use by another page until this page's "
                                            "time limit");
      }
    }
    slot->in_use = true;
  }
  // From here the slot is this page's; a failed make gives it back for the next page to try.
  try {
    if (!slot->object) {
      slot->object = make();
      if (!slot->object) {
        throw Error(errc::kCannotCreateObject, "The object \"" + id + "\" was not made");
      }
    }
  } catch (...) {
    Return(slot);
    throw;
  }
  held.holds_.push_back({shared_from_this(), slot, slot->object});
  return slot->object;
}

void SharedObjects::Return(Slot* slot) {
  {
    MutexLock lock(mutex_);
    slot->in_use = false;
  }
  returned_.notify_all();
}

void HeldObjects::Release() {
  while (!holds_.empty()) {
    Hold hold = std::move(holds_.back());
    holds_.pop_back();
    hold.owner->Return(hold.slot);
  }
}

}  // namespace mirelda::host

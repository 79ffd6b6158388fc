#include "host/state/application_state.h"

#include "mirelda/error.h"

namespace mirelda::host {

ApplicationState::~ApplicationState() = default;

void LockWaitedTooLong() {
  throw Error(errc::kUnspecified,
              "Another page held Application.Lock until this page's time limit ran out");
}

Variant MemoryApplicationState::Get(const std::string& name) {
  MutexLock lock(mutex_);
  auto it = values_.find(name);
  return it == values_.end() ? Variant() : it->second;
}

void MemoryApplicationState::WaitForTurn(std::thread::id page, Deadline deadline) {
  while (depth_ != 0 && owner_ != page) {
    if (!mutex_.WaitUntil(released_, deadline) && depth_ != 0 && owner_ != page) {
      LockWaitedTooLong();
    }
  }
}

void MemoryApplicationState::Set(const std::string& name, const Variant& value,
                                 std::thread::id page, Deadline deadline) {
  if (value.is_object()) {
    throw Error(errc::kInvalidProcedureCall, "An application value cannot hold an object");
  }
  MutexLock lock(mutex_);
  WaitForTurn(page, deadline);
  values_[name] = value;
}

void MemoryApplicationState::Remove(const std::string& name, std::thread::id page,
                                    Deadline deadline) {
  MutexLock lock(mutex_);
  WaitForTurn(page, deadline);
  values_.erase(name);
}

void MemoryApplicationState::RemoveAll(std::thread::id page, Deadline deadline) {
  MutexLock lock(mutex_);
  WaitForTurn(page, deadline);
  values_.clear();
}

std::vector<std::string> MemoryApplicationState::Names() {
  MutexLock lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [name, value] : values_) names.push_back(name);
  return names;
}

void MemoryApplicationState::Lock(std::thread::id page, Deadline deadline) {
  MutexLock lock(mutex_);
  WaitForTurn(page, deadline);
  owner_ = page;
  ++depth_;
}

void MemoryApplicationState::Unlock(std::thread::id page) {
  MutexLock lock(mutex_);
  if (depth_ == 0 || owner_ != page) return;
  if (--depth_ == 0) {
    owner_ = std::thread::id();
    released_.notify_all();
  }
}

}  // namespace mirelda::host

#include "host/state/application_state.h"

#include "mirelda/error.h"

namespace mirelda::host {

ApplicationState::~ApplicationState() = default;

void LockWaitedTooLong() {
  throw Error(errc::kUnspecified,
              "Another page held Application.Lock until this page's time limit ran out");
}

Variant MemoryApplicationState::Get(const std::string& name) {
  std::lock_guard lock(mutex_);
  auto it = values_.find(name);
  return it == values_.end() ? Variant() : it->second;
}

void MemoryApplicationState::WaitForTurn(std::unique_lock<std::mutex>& lock, std::thread::id page,
                                         Deadline deadline) {
  if (!released_.wait_until(lock, deadline, [&] { return depth_ == 0 || owner_ == page; })) {
    LockWaitedTooLong();
  }
}

void MemoryApplicationState::Set(const std::string& name, const Variant& value,
                                 std::thread::id page, Deadline deadline) {
  if (value.is_object()) {
    throw Error(errc::kInvalidProcedureCall, "An application value cannot hold an object");
  }
  std::unique_lock lock(mutex_);
  WaitForTurn(lock, page, deadline);
  values_[name] = value;
}

void MemoryApplicationState::Remove(const std::string& name, std::thread::id page,
                                    Deadline deadline) {
  std::unique_lock lock(mutex_);
  WaitForTurn(lock, page, deadline);
  values_.erase(name);
}

void MemoryApplicationState::RemoveAll(std::thread::id page, Deadline deadline) {
  std::unique_lock lock(mutex_);
  WaitForTurn(lock, page, deadline);
  values_.clear();
}

std::vector<std::string> MemoryApplicationState::Names() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [name, value] : values_) names.push_back(name);
  return names;
}

void MemoryApplicationState::Lock(std::thread::id page, Deadline deadline) {
  std::unique_lock lock(mutex_);
  WaitForTurn(lock, page, deadline);
  owner_ = page;
  ++depth_;
}

void MemoryApplicationState::Unlock(std::thread::id page) {
  std::lock_guard lock(mutex_);
  if (depth_ == 0 || owner_ != page) return;
  if (--depth_ == 0) {
    owner_ = std::thread::id();
    released_.notify_all();
  }
}

}  // namespace mirelda::host

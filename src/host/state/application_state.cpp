#include "host/state/application_state.h"

#include "mirelda/error.h"

namespace mirelda::host {

Variant ApplicationState::Get(const std::string& name) {
  MutexLock lock(mutex_);
  auto it = values_.find(name);
  return it == values_.end() ? Variant() : it->second;
}

void ApplicationState::WaitForTurn(std::thread::id page) {
  while (depth_ != 0 && owner_ != page) mutex_.Wait(released_);
}

void ApplicationState::Set(const std::string& name, const Variant& value, std::thread::id page) {
  if (value.is_object()) {
    throw Error(errc::kInvalidProcedureCall, "An application value cannot hold an object");
  }
  MutexLock lock(mutex_);
  WaitForTurn(page);
  values_[name] = value;
}

void ApplicationState::Remove(const std::string& name, std::thread::id page) {
  MutexLock lock(mutex_);
  WaitForTurn(page);
  values_.erase(name);
}

void ApplicationState::RemoveAll(std::thread::id page) {
  MutexLock lock(mutex_);
  WaitForTurn(page);
  values_.clear();
}

std::vector<std::string> ApplicationState::Names() {
  MutexLock lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [name, value] : values_) names.push_back(name);
  return names;
}

void ApplicationState::Lock(std::thread::id page) {
  MutexLock lock(mutex_);
  WaitForTurn(page);
  owner_ = page;
  ++depth_;
}

void ApplicationState::Unlock(std::thread::id page) {
  MutexLock lock(mutex_);
  if (depth_ == 0 || owner_ != page) return;
  if (--depth_ == 0) {
    owner_ = std::thread::id();
    released_.notify_all();
  }
}

}  // namespace mirelda::host

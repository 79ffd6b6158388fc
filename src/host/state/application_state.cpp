#include "host/state/application_state.h"

#include "mirelda/error.h"

namespace mirelda::host {

Variant ApplicationState::Get(const std::string& name) {
  std::lock_guard lock(mutex_);
  auto it = values_.find(name);
  return it == values_.end() ? Variant() : it->second;
}

void ApplicationState::WaitForTurn(std::unique_lock<std::mutex>& lock, std::thread::id page) {
  released_.wait(lock, [&] { return depth_ == 0 || owner_ == page; });
}

void ApplicationState::Set(const std::string& name, const Variant& value, std::thread::id page) {
  if (value.is_object()) {
    throw Error(errc::kInvalidProcedureCall, "An application value cannot hold an object");
  }
  std::unique_lock lock(mutex_);
  WaitForTurn(lock, page);
  values_[name] = value;
}

void ApplicationState::Remove(const std::string& name, std::thread::id page) {
  std::unique_lock lock(mutex_);
  WaitForTurn(lock, page);
  values_.erase(name);
}

void ApplicationState::RemoveAll(std::thread::id page) {
  std::unique_lock lock(mutex_);
  WaitForTurn(lock, page);
  values_.clear();
}

std::vector<std::string> ApplicationState::Names() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [name, value] : values_) names.push_back(name);
  return names;
}

void ApplicationState::Lock(std::thread::id page) {
  std::unique_lock lock(mutex_);
  WaitForTurn(lock, page);
  owner_ = page;
  ++depth_;
}

void ApplicationState::Unlock(std::thread::id page) {
  std::lock_guard lock(mutex_);
  if (depth_ == 0 || owner_ != page) return;
  if (--depth_ == 0) {
    owner_ = std::thread::id();
    released_.notify_all();
  }
}

}  // namespace mirelda::host

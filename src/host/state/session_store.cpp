#include "host/state/session_store.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "mirelda/error.h"

namespace mirelda::host {

SessionStore::~SessionStore() = default;

std::string NewSessionId() {
  unsigned char bytes[16];
  size_t filled = 0;
  while (filled < sizeof bytes) {
    ssize_t n = ::getrandom(bytes + filled, sizeof bytes - filled, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Error(errc::kUnspecified, "The system's random source failed");
    }
    filled += static_cast<size_t>(n);
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string id;
  for (unsigned char b : bytes) {
    id += kDigits[b >> 4];
    id += kDigits[b & 0x0F];
  }
  return id;
}

std::string MemorySessionStore::Create(SessionState state) {
  std::string id = NewSessionId();
  std::lock_guard lock(mutex_);
  Clock::time_point now = Clock::now();
  SweepLocked(now);
  if (sessions_.size() >= max_sessions_) {
    last_sweep_ = Clock::time_point();
    SweepLocked(now);
    if (sessions_.size() >= max_sessions_) EvictLocked();
  }
  sessions_[id] = Entry{std::move(state), now};
  return id;
}

void MemorySessionStore::EvictLocked() {
  std::vector<std::pair<Clock::time_point, const std::string*>> by_age;
  by_age.reserve(sessions_.size());
  for (const auto& [id, entry] : sessions_) by_age.emplace_back(entry.last_access, &id);
  size_t evict = std::max<size_t>(1, sessions_.size() / 10);
  std::nth_element(by_age.begin(), by_age.begin() + static_cast<ptrdiff_t>(evict - 1),
                   by_age.end());
  std::vector<std::string> doomed;
  for (size_t i = 0; i < evict; ++i) doomed.push_back(*by_age[i].second);
  for (const std::string& id : doomed) sessions_.erase(id);
}

bool MemorySessionStore::Update(const std::string& id,
                                const std::function<void(SessionState&)>& change) {
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return false;
  Clock::time_point now = Clock::now();
  if (now - it->second.last_access >= it->second.state.timeout) {
    sessions_.erase(it);
    return false;
  }
  it->second.last_access = now;
  change(it->second.state);
  return true;
}

std::optional<std::string> MemorySessionStore::Renew(const std::string& id) {
  std::string fresh = NewSessionId();
  std::lock_guard lock(mutex_);
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return std::nullopt;
  Clock::time_point now = Clock::now();
  if (now - it->second.last_access >= it->second.state.timeout) {
    sessions_.erase(it);
    return std::nullopt;
  }
  Entry entry = std::move(it->second);
  sessions_.erase(it);
  entry.last_access = now;
  sessions_[fresh] = std::move(entry);
  return fresh;
}

void MemorySessionStore::Remove(const std::string& id) {
  std::lock_guard lock(mutex_);
  sessions_.erase(id);
}

size_t MemorySessionStore::size() const {
  std::lock_guard lock(mutex_);
  return sessions_.size();
}

void MemorySessionStore::SweepLocked(Clock::time_point now) {
  if (now - last_sweep_ < std::chrono::seconds(30)) return;
  last_sweep_ = now;
  std::erase_if(sessions_, [now](const auto& item) {
    return now - item.second.last_access >= item.second.state.timeout;
  });
}

}  // namespace mirelda::host

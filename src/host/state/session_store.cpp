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
  Ended ended;
  {
    std::lock_guard lock(mutex_);
    Clock::time_point now = Clock::now();
    SweepLocked(now, ended);
    if (sessions_.size() >= max_sessions_) {
      SweepLocked(now, ended, true);
      if (sessions_.size() >= max_sessions_) EvictLocked(ended);
    }
    sessions_[id] = Entry{std::move(state), now};
  }
  Tell(ended);
  return id;
}

void MemorySessionStore::EvictLocked(Ended& ended) {
  std::vector<std::pair<Clock::time_point, const std::string*>> by_age;
  by_age.reserve(sessions_.size());
  for (const auto& [id, entry] : sessions_) by_age.emplace_back(entry.last_access, &id);
  size_t evict = std::max<size_t>(1, sessions_.size() / 10);
  std::nth_element(by_age.begin(), by_age.begin() + static_cast<ptrdiff_t>(evict - 1),
                   by_age.end());
  std::vector<std::string> doomed;
  for (size_t i = 0; i < evict; ++i) doomed.push_back(*by_age[i].second);
  for (const std::string& id : doomed) {
    auto it = sessions_.find(id);
    ended.emplace_back(id, std::move(it->second.state));
    sessions_.erase(it);
  }
}

bool MemorySessionStore::Update(const std::string& id,
                                const std::function<void(SessionState&)>& change) {
  Ended ended;
  bool live = false;
  {
    std::lock_guard lock(mutex_);
    Clock::time_point now = Clock::now();
    SweepLocked(now, ended);
    auto it = sessions_.find(id);
    if (it != sessions_.end() && now - it->second.last_access >= it->second.state.timeout) {
      ended.emplace_back(id, std::move(it->second.state));
      sessions_.erase(it);
    } else if (it != sessions_.end()) {
      it->second.last_access = now;
      change(it->second.state);
      live = true;
    }
  }
  Tell(ended);
  return live;
}

std::optional<std::string> MemorySessionStore::Renew(const std::string& id) {
  std::string fresh = NewSessionId();
  Ended ended;
  std::optional<std::string> renewed;
  {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(id);
    Clock::time_point now = Clock::now();
    if (it != sessions_.end() && now - it->second.last_access >= it->second.state.timeout) {
      ended.emplace_back(id, std::move(it->second.state));
      sessions_.erase(it);
    } else if (it != sessions_.end()) {
      Entry entry = std::move(it->second);
      sessions_.erase(it);
      entry.last_access = now;
      sessions_[fresh] = std::move(entry);
      renewed = fresh;
    }
  }
  Tell(ended);
  return renewed;
}

void MemorySessionStore::Remove(const std::string& id) {
  Ended ended;
  {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(id);
    if (it == sessions_.end()) return;
    ended.emplace_back(id, std::move(it->second.state));
    sessions_.erase(it);
  }
  Tell(ended);
}

void MemorySessionStore::Sweep() {
  Ended ended;
  {
    std::lock_guard lock(mutex_);
    SweepLocked(Clock::now(), ended, true);
  }
  Tell(ended);
}

void MemorySessionStore::Adopt(const std::string& id, SessionState state) {
  std::lock_guard lock(mutex_);
  sessions_[id] = Entry{std::move(state), Clock::now()};
}

size_t MemorySessionStore::size() const {
  std::lock_guard lock(mutex_);
  return sessions_.size();
}

void MemorySessionStore::SweepLocked(Clock::time_point now, Ended& ended, bool forced) {
  if (!forced && now - last_sweep_ < std::chrono::seconds(30)) return;
  last_sweep_ = now;
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    if (now - it->second.last_access >= it->second.state.timeout) {
      ended.emplace_back(it->first, std::move(it->second.state));
      it = sessions_.erase(it);
    } else {
      ++it;
    }
  }
}

void MemorySessionStore::Tell(Ended& ended) {
  if (!on_end_) return;
  for (auto& [id, state] : ended) on_end_(id, std::move(state));
}

}  // namespace mirelda::host

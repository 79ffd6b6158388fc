#include "host/state/session_store.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <tuple>
#include <vector>

#include "mirelda/error.h"

namespace mirelda::host {
namespace {

// Expired sessions are looked for at most this often on the way of a new session; the sweeping
// thread of the page runner comes by on its own as well.
constexpr std::chrono::seconds kSweepEvery{30};

}  // namespace

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

MemorySessionStore::MemorySessionStore(size_t max_sessions, Clock clock)
    : max_sessions_(max_sessions), clock_(std::move(clock)), last_sweep_(clock_()) {}

MemorySessionStore::Shard& MemorySessionStore::ShardOf(const std::string& id) {
  return shards_[std::hash<std::string>{}(id) % kShards];
}

bool MemorySessionStore::Expired(const Entry& entry, TimePoint now) const {
  return now - entry.last_access >= entry.state.timeout;
}

MemorySessionStore::Entry* MemorySessionStore::Find(Shard& shard, const std::string& id,
                                                    TimePoint now, Ended& ended) {
  auto it = shard.sessions.find(id);
  if (it == shard.sessions.end()) return nullptr;
  if (!Expired(it->second, now)) return &it->second;
  ended.emplace_back(id, std::move(it->second.state));
  shard.sessions.erase(it);
  --count_;
  return nullptr;
}

std::string MemorySessionStore::Create(SessionState state) {
  std::string id = NewSessionId();
  Ended ended;
  TimePoint now = clock_();
  {
    std::lock_guard sweep(sweep_mutex_);
    bool full = count_.load() >= max_sessions_;
    if (full || now - last_sweep_ >= kSweepEvery) SweepAll(now, ended);
    if (count_.load() >= max_sessions_) Evict(ended);
  }
  {
    Shard& shard = ShardOf(id);
    std::lock_guard lock(shard.mutex);
    shard.sessions[id] = Entry{std::move(state), 1, now};
    ++count_;
  }
  Tell(ended);
  return id;
}

std::optional<LoadedSession> MemorySessionStore::Load(const std::string& id) {
  Ended ended;
  std::optional<LoadedSession> loaded;
  {
    Shard& shard = ShardOf(id);
    std::lock_guard lock(shard.mutex);
    TimePoint now = clock_();
    if (Entry* entry = Find(shard, id, now, ended)) {
      loaded = LoadedSession{
          entry->state, entry->version,
          std::chrono::duration_cast<std::chrono::milliseconds>(now - entry->last_access)};
    }
  }
  Tell(ended);
  return loaded;
}

SaveOutcome MemorySessionStore::Save(const std::string& id, const SessionState& state,
                                     uint64_t expected) {
  Ended ended;
  SaveOutcome outcome = SaveOutcome::kGone;
  {
    Shard& shard = ShardOf(id);
    std::lock_guard lock(shard.mutex);
    TimePoint now = clock_();
    if (Entry* entry = Find(shard, id, now, ended)) {
      if (entry->version != expected) {
        outcome = SaveOutcome::kConflict;
      } else {
        entry->state = state;
        ++entry->version;
        entry->last_access = now;
        outcome = SaveOutcome::kSaved;
      }
    }
  }
  Tell(ended);
  return outcome;
}

void MemorySessionStore::Touch(const std::string& id) {
  Ended ended;
  {
    Shard& shard = ShardOf(id);
    std::lock_guard lock(shard.mutex);
    TimePoint now = clock_();
    if (Entry* entry = Find(shard, id, now, ended)) entry->last_access = now;
  }
  Tell(ended);
}

std::optional<std::string> MemorySessionStore::Renew(const std::string& id) {
  std::string fresh = NewSessionId();
  Ended ended;
  std::optional<Entry> moved;
  TimePoint now = clock_();
  {
    Shard& shard = ShardOf(id);
    std::lock_guard lock(shard.mutex);
    if (Entry* entry = Find(shard, id, now, ended)) {
      moved = std::move(*entry);
      shard.sessions.erase(id);
    }
  }
  // Between the two locks the session is in neither place: a page of the old identifier finds
  // nothing, which is what it finds afterwards as well.
  if (moved) {
    Shard& shard = ShardOf(fresh);
    std::lock_guard lock(shard.mutex);
    moved->last_access = now;
    shard.sessions[fresh] = std::move(*moved);
  }
  Tell(ended);
  if (!moved) return std::nullopt;
  return fresh;
}

void MemorySessionStore::Remove(const std::string& id) {
  Ended ended;
  {
    Shard& shard = ShardOf(id);
    std::lock_guard lock(shard.mutex);
    auto it = shard.sessions.find(id);
    if (it == shard.sessions.end()) return;
    ended.emplace_back(id, std::move(it->second.state));
    shard.sessions.erase(it);
    --count_;
  }
  Tell(ended);
}

void MemorySessionStore::Sweep() {
  Ended ended;
  {
    std::lock_guard sweep(sweep_mutex_);
    SweepAll(clock_(), ended);
  }
  Tell(ended);
}

void MemorySessionStore::SweepAll(TimePoint now, Ended& ended) {
  last_sweep_ = now;
  for (Shard& shard : shards_) {
    std::lock_guard lock(shard.mutex);
    for (auto it = shard.sessions.begin(); it != shard.sessions.end();) {
      if (Expired(it->second, now)) {
        ended.emplace_back(it->first, std::move(it->second.state));
        it = shard.sessions.erase(it);
        --count_;
      } else {
        ++it;
      }
    }
  }
}

void MemorySessionStore::Evict(Ended& ended) {
  // Every shard is held at once, always in the same order, so the tenth is chosen from one
  // consistent picture.
  std::vector<std::unique_lock<std::mutex>> locks;
  for (Shard& shard : shards_) locks.emplace_back(shard.mutex);
  std::vector<std::tuple<TimePoint, Shard*, const std::string*>> by_age;
  for (Shard& shard : shards_) {
    for (const auto& [id, entry] : shard.sessions)
      by_age.emplace_back(entry.last_access, &shard, &id);
  }
  if (by_age.empty()) return;
  size_t evict = std::max<size_t>(1, by_age.size() / 10);
  std::nth_element(by_age.begin(), by_age.begin() + static_cast<ptrdiff_t>(evict - 1), by_age.end(),
                   [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
  std::vector<std::pair<Shard*, std::string>> doomed;
  for (size_t i = 0; i < evict; ++i)
    doomed.emplace_back(std::get<1>(by_age[i]), *std::get<2>(by_age[i]));
  for (auto& [shard, id] : doomed) {
    auto it = shard->sessions.find(id);
    ended.emplace_back(id, std::move(it->second.state));
    shard->sessions.erase(it);
    --count_;
  }
}

void MemorySessionStore::Adopt(const std::string& id, SessionState state) {
  Shard& shard = ShardOf(id);
  std::lock_guard lock(shard.mutex);
  auto [it, added] = shard.sessions.insert_or_assign(id, Entry{std::move(state), 1, clock_()});
  if (added) ++count_;
}

void MemorySessionStore::Tell(Ended& ended) {
  if (!on_end_) return;
  for (auto& [id, state] : ended) on_end_(id, std::move(state));
}

}  // namespace mirelda::host

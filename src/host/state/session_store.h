// Where sessions live between pages. A session is named by a random 128-bit identifier that the
// browser keeps in a cookie; it holds the values that pages store, its idle timeout and its code
// page. A page loads a session once, works on its own copy and saves it back once, naming the
// version it loaded, so a store shared by several hosts costs one round trip each way. The store
// is an interface so that several hosts can share one; MemorySessionStore keeps sessions in this
// process. Every member is safe to call from any thread.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/objects/name_map.h"
#include "host/state/shared_objects.h"
#include "mirelda/error.h"
#include "mirelda/variant.h"

namespace mirelda::host {

struct SessionState {
  std::map<std::string, Variant, LessIgnoreCase> values;
  std::chrono::seconds timeout{20 * 60};  // idle time after which the session is gone
  int32_t code_page = 936;
  // The session objects of global.asa's object tags, made on first use; they live in this
  // process only and end with the session.
  std::shared_ptr<SharedObjects> objects;
};

// A session as a page loads it: the state, the version that a save must name, and how long it
// has been idle.
struct LoadedSession {
  SessionState state;
  uint64_t version = 0;
  std::chrono::milliseconds idle{0};
};

enum class SaveOutcome {
  kSaved,
  kConflict,  // another page saved since the version named: load again and redo the changes
  kGone,      // the session ended (expired, abandoned, pushed out) meanwhile
};

// A shared store that cannot be reached now (its server is down or restarting). Pages that need
// it fail with 503; they never fall back to another store. The description is the server's or
// the client library's own words.
class StoreUnavailable : public Error {
 public:
  explicit StoreUnavailable(std::string why) : Error(errc::kUnspecified, std::move(why)) {}
};

// Told of each session that ends (idle past its timeout, pushed out, or removed), with its last
// state, after the store has let go of it.
using SessionEndHandler = std::function<void(const std::string& id, SessionState state)>;

// 32 lower-case hex digits from the system's random source.
std::string NewSessionId();

class SessionStore {
 public:
  virtual ~SessionStore();

  // Stores a new session, at version 1, and returns its fresh identifier.
  virtual std::string Create(SessionState state) = 0;
  // The live session of id; nullopt when there is none or it has expired (which ends it).
  // Leaves the idle clock alone.
  virtual std::optional<LoadedSession> Load(const std::string& id) = 0;
  // Replaces the session's state when its version is still expected, moving the version on and
  // restarting the idle clock.
  virtual SaveOutcome Save(const std::string& id, const SessionState& state, uint64_t expected) = 0;
  // Restarts the idle clock of a live session; nothing for one that is gone.
  virtual void Touch(const std::string& id) = 0;
  // Moves a live session to a new identifier, keeping its state and version; the old identifier
  // names nothing afterwards. nullopt when there is no live session of id.
  virtual std::optional<std::string> Renew(const std::string& id) = 0;
  virtual void Remove(const std::string& id) = 0;
  // Drops the sessions idle past their timeout now.
  virtual void Sweep() = 0;
  // Set once, before the store is used.
  virtual void SetEndHandler(SessionEndHandler handler) = 0;
  // True when a load costs no round trip to another process.
  virtual bool local() const = 0;
};

class MemorySessionStore final : public SessionStore {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // At most max_sessions live at once: past that, the sessions idle longest make room, so
  // visitors that never send their cookie back cannot fill the memory. clock tells the time
  // (tests pass their own).
  explicit MemorySessionStore(size_t max_sessions = 100000,
                              Clock clock = &std::chrono::steady_clock::now);

  std::string Create(SessionState state) override;
  std::optional<LoadedSession> Load(const std::string& id) override;
  SaveOutcome Save(const std::string& id, const SessionState& state, uint64_t expected) override;
  void Touch(const std::string& id) override;
  std::optional<std::string> Renew(const std::string& id) override;
  void Remove(const std::string& id) override;
  void Sweep() override;
  void SetEndHandler(SessionEndHandler handler) override { on_end_ = std::move(handler); }
  bool local() const override { return true; }
  // Stores state under a known identifier (a session that has ended, as its last page sees it).
  void Adopt(const std::string& id, SessionState state);

  // Live sessions, expired ones not yet swept included.
  size_t size() const { return count_.load(); }

 private:
  using TimePoint = std::chrono::steady_clock::time_point;
  struct Entry {
    SessionState state;
    uint64_t version = 1;
    TimePoint last_access;
  };
  // Sessions are spread over shards by identifier, so pages of different visitors rarely wait
  // for one another.
  struct Shard {
    std::mutex mutex;
    std::unordered_map<std::string, Entry> sessions;
  };
  static constexpr size_t kShards = 16;
  using Ended = std::vector<std::pair<std::string, SessionState>>;

  Shard& ShardOf(const std::string& id);
  bool Expired(const Entry& entry, TimePoint now) const;
  // The live entry of id in shard, ending it when it has expired. Callers hold shard.mutex.
  Entry* Find(Shard& shard, const std::string& id, TimePoint now, Ended& ended);
  // Drops the expired sessions of every shard.
  void SweepAll(TimePoint now, Ended& ended);
  // Drops the tenth of the sessions idle longest, across all shards.
  void Evict(Ended& ended);
  // Tells the end handler of the sessions dropped; called without any shard's lock.
  void Tell(Ended& ended);

  size_t max_sessions_;
  Clock clock_;
  std::array<Shard, kShards> shards_;
  std::atomic<size_t> count_{0};
  std::mutex sweep_mutex_;  // one sweep or eviction at a time
  TimePoint last_sweep_;    // under sweep_mutex_
  SessionEndHandler on_end_;
};

}  // namespace mirelda::host

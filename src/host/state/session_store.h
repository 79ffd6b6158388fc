// Where sessions live between pages. A session is named by a random 128-bit identifier that the
// browser keeps in a cookie; it holds the values that pages store, its idle timeout and its code
// page. The store is an interface so that several hosts can share one; MemorySessionStore keeps
// sessions in this process. Every member is safe to call from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/objects/name_map.h"
#include "host/state/shared_objects.h"
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

// Told of each session that ends (idle past its timeout, pushed out, or removed), with its last
// state, after the store has let go of it.
using SessionEndHandler = std::function<void(const std::string& id, SessionState state)>;

// 32 lower-case hex digits from the system's random source.
std::string NewSessionId();

class SessionStore {
 public:
  virtual ~SessionStore();

  // Stores a new session and returns its fresh identifier.
  virtual std::string Create(SessionState state) = 0;
  // Runs change on the live session of id under the store's lock and refreshes its idle clock.
  // Returns false, without running change, when there is no such session or it has expired.
  virtual bool Update(const std::string& id, const std::function<void(SessionState&)>& change) = 0;
  // Moves a live session to a new identifier, keeping its state; the old identifier names
  // nothing afterwards. nullopt when there is no live session of id.
  virtual std::optional<std::string> Renew(const std::string& id) = 0;
  virtual void Remove(const std::string& id) = 0;
  // Drops the sessions idle past their timeout now.
  virtual void Sweep() = 0;
  // Set once, before the store is used.
  virtual void SetEndHandler(SessionEndHandler handler) = 0;
};

class MemorySessionStore final : public SessionStore {
 public:
  // At most max_sessions live at once: past that, the sessions idle longest make room, so
  // visitors that never send their cookie back cannot fill the memory.
  explicit MemorySessionStore(size_t max_sessions = 100000) : max_sessions_(max_sessions) {}

  std::string Create(SessionState state) override;
  bool Update(const std::string& id, const std::function<void(SessionState&)>& change) override;
  std::optional<std::string> Renew(const std::string& id) override;
  void Remove(const std::string& id) override;
  void Sweep() override;
  void SetEndHandler(SessionEndHandler handler) override { on_end_ = std::move(handler); }
  // Stores state under a known identifier (a session that has ended, as its last page sees it).
  void Adopt(const std::string& id, SessionState state);

  // Live sessions, expired ones not yet swept included.
  size_t size() const;

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    SessionState state;
    Clock::time_point last_access;
  };
  using Ended = std::vector<std::pair<std::string, SessionState>>;
  // Drops expired sessions now and then (always when forced), so that visitors who never come
  // back do not stay in memory. Callers hold mutex_.
  void SweepLocked(Clock::time_point now, Ended& ended, bool forced = false);
  // Drops the tenth of the sessions idle longest. Callers hold mutex_.
  void EvictLocked(Ended& ended);
  // Tells the end handler of the sessions dropped; called without mutex_.
  void Tell(Ended& ended);

  size_t max_sessions_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Entry> sessions_;
  Clock::time_point last_sweep_ = Clock::now();
  SessionEndHandler on_end_;
};

}  // namespace mirelda::host

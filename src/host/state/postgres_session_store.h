// Sessions in a PostgreSQL table that several hosts share, so that a visitor's session follows
// them from host to host behind a load balancer and outlives a host's restart. Values are kept
// in the session codec's byte form; versions make a save that another page beat fail instead of
// overwriting it. The session objects of global.asa's object tags cannot leave a process: each
// host keeps its own for the sessions its pages used. Safe to call from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "host/state/postgres_link.h"
#include "host/state/session_store.h"

namespace mirelda::host {

class PostgresSessionStore final : public SessionStore {
 public:
  // At most max_sessions live at once in the table, across all hosts: past that, the tenth idle
  // longest make room.
  PostgresSessionStore(std::shared_ptr<PostgresPool> pool, size_t max_sessions);

  std::string Create(SessionState state) override;
  std::optional<LoadedSession> Load(const std::string& id) override;
  SaveOutcome Save(const std::string& id, const SessionState& state, uint64_t expected) override;
  void Touch(const std::string& id) override;
  std::optional<std::string> Renew(const std::string& id) override;
  void Remove(const std::string& id) override;
  void Sweep() override;
  void SetEndHandler(SessionEndHandler handler) override { on_end_ = std::move(handler); }
  bool local() const override { return false; }

 private:
  using Ended = std::vector<std::pair<std::string, SessionState>>;
  // The sessions that a DELETE ... RETURNING id, vals, timeout_seconds, code_page took away.
  Ended Collect(const StatementResult& rows);
  void Tell(Ended& ended);
  std::shared_ptr<SharedObjects> ObjectsOf(const std::string& id);

  std::shared_ptr<PostgresPool> pool_;
  size_t max_sessions_;
  SessionEndHandler on_end_;
  std::mutex objects_mutex_;
  std::unordered_map<std::string, std::shared_ptr<SharedObjects>> objects_;
};

}  // namespace mirelda::host

#include "host/state/postgres_session_store.h"

#include "host/state/session_codec.h"

namespace mirelda::host {
namespace {

// Saves of a session's values and times do not wait for the server to flush its log: a crash
// of the server itself (not a host's restart, nor a clean restart of the server) may take back
// the last fraction of a second of them, as if those pages had not saved, and the table stays
// whole. Ending and renaming a session stay durable: a sign-out or a fresh identifier after a
// sign-in must not come undone. The setting lasts to the end of the statement's own
// transaction, so each statement that wants it starts with this.
constexpr std::string_view kRelaxed =
    "WITH relaxed AS (SELECT set_config('synchronous_commit', 'off', true) = 'off' AS done)";

std::vector<StatementValue> StateValues(const std::string& id, const SessionState& state) {
  return {{id},
          {EncodeSessionValues(state.values), true},
          {std::to_string(state.timeout.count())},
          {std::to_string(state.code_page)}};
}

}  // namespace

PostgresSessionStore::PostgresSessionStore(std::shared_ptr<PostgresPool> pool, size_t max_sessions)
    : pool_(std::move(pool)), max_sessions_(max_sessions) {}

std::shared_ptr<SharedObjects> PostgresSessionStore::ObjectsOf(const std::string& id) {
  std::lock_guard lock(objects_mutex_);
  auto it = objects_.find(id);
  return it == objects_.end() ? nullptr : it->second;
}

std::string PostgresSessionStore::Create(SessionState state) {
  std::string id = NewSessionId();
  PostgresPool::Lease link = pool_->Take();
  // The count is taken in the same statement, from before the insert.
  StatementResult counted = link->Run(
      std::string(kRelaxed) +
          ", made AS (INSERT INTO mirelda_sessions SELECT $1, $2, 1, now(), "
          "  now() + make_interval(secs => $3::int), $3::int, $4::int FROM relaxed WHERE done) "
          "SELECT count(*) FROM mirelda_sessions",
      StateValues(id, state));
  if (state.objects) {
    std::lock_guard lock(objects_mutex_);
    objects_[id] = state.objects;
  }
  if (static_cast<size_t>(counted.Integer(0, 0)) + 1 > max_sessions_) {
    size_t evict = std::max<size_t>(1, (max_sessions_ + 1) / 10);
    StatementResult taken = link->Run(
        "DELETE FROM mirelda_sessions WHERE id IN (SELECT id FROM mirelda_sessions WHERE id <> $1 "
        "  ORDER BY last_access LIMIT $2::int) RETURNING id, vals, timeout_seconds, code_page",
        {{id}, {std::to_string(evict)}});
    Ended ended = Collect(taken);
    Tell(ended);
  }
  return id;
}

std::optional<LoadedSession> PostgresSessionStore::Load(const std::string& id) {
  PostgresPool::Lease link = pool_->Take();
  StatementResult row = link->Run(
      "SELECT vals, version, timeout_seconds, code_page, "
      "  (extract(epoch FROM now() - last_access) * 1000)::bigint, expires_at <= now() "
      "FROM mirelda_sessions WHERE id = $1",
      {{id}});
  if (row.rows() == 0) {
    std::lock_guard lock(objects_mutex_);
    objects_.erase(id);
    return std::nullopt;
  }
  if (row.Text(0, 5) == "t") {
    Ended ended =
        Collect(link->Run("DELETE FROM mirelda_sessions WHERE id = $1 AND expires_at <= now() "
                          "RETURNING id, vals, timeout_seconds, code_page",
                          {{id}}));
    Tell(ended);
    return std::nullopt;
  }
  LoadedSession loaded;
  loaded.state.values = DecodeSessionValues(row.Bytes(0, 0));
  loaded.version = static_cast<uint64_t>(row.Integer(0, 1));
  loaded.state.timeout = std::chrono::seconds(row.Integer(0, 2));
  loaded.state.code_page = static_cast<int32_t>(row.Integer(0, 3));
  loaded.idle = std::chrono::milliseconds(std::max<int64_t>(0, row.Integer(0, 4)));
  loaded.state.objects = ObjectsOf(id);
  return loaded;
}

SaveOutcome PostgresSessionStore::Save(const std::string& id, const SessionState& state,
                                       uint64_t expected) {
  std::vector<StatementValue> values = StateValues(id, state);
  values.push_back({std::to_string(expected)});
  PostgresPool::Lease link = pool_->Take();
  // One round trip whatever the outcome: the liveness check runs only when the update took no
  // row, and reads the statement's snapshot, so a row that another page moved on since counts
  // as live (a conflict) and one expired or removed as gone.
  StatementResult saved = link->Run(
      std::string(kRelaxed) +
          ", saved AS (UPDATE mirelda_sessions SET vals = $2, version = version + 1, "
          "  last_access = now(), expires_at = now() + make_interval(secs => $3::int), "
          "  timeout_seconds = $3::int, code_page = $4::int "
          "  WHERE id = $1 AND version = $5::bigint AND expires_at > now() "
          "    AND (SELECT done FROM relaxed) RETURNING 1) "
          "SELECT CASE WHEN EXISTS (SELECT 1 FROM saved) THEN 0 "
          "  WHEN EXISTS (SELECT 1 FROM mirelda_sessions WHERE id = $1 AND expires_at > now()) "
          "  THEN 1 ELSE 2 END",
      values);
  switch (saved.Integer(0, 0)) {
    case 0:
      if (state.objects) {
        std::lock_guard lock(objects_mutex_);
        objects_[id] = state.objects;
      }
      return SaveOutcome::kSaved;
    case 1:
      return SaveOutcome::kConflict;
    default:
      return SaveOutcome::kGone;
  }
}

void PostgresSessionStore::Touch(const std::string& id) {
  PostgresPool::Lease link = pool_->Take();
  link->Run(std::string(kRelaxed) +
                " UPDATE mirelda_sessions SET last_access = now(), "
                "  expires_at = now() + make_interval(secs => timeout_seconds) "
                "WHERE id = $1 AND expires_at > now() AND (SELECT done FROM relaxed)",
            {{id}});
}

std::optional<std::string> PostgresSessionStore::Renew(const std::string& id) {
  std::string fresh = NewSessionId();
  PostgresPool::Lease link = pool_->Take();
  StatementResult moved = link->Run(
      "UPDATE mirelda_sessions SET id = $2, last_access = now(), "
      "  expires_at = now() + make_interval(secs => timeout_seconds) "
      "WHERE id = $1 AND expires_at > now()",
      {{id}, {fresh}});
  std::lock_guard lock(objects_mutex_);
  auto it = objects_.find(id);
  if (moved.affected() != 1) {
    if (it != objects_.end()) objects_.erase(it);
    return std::nullopt;
  }
  if (it != objects_.end()) {
    objects_[fresh] = std::move(it->second);
    objects_.erase(id);
  }
  return fresh;
}

void PostgresSessionStore::Remove(const std::string& id) {
  PostgresPool::Lease link = pool_->Take();
  Ended ended = Collect(link->Run(
      "DELETE FROM mirelda_sessions WHERE id = $1 RETURNING id, vals, timeout_seconds, code_page",
      {{id}}));
  Tell(ended);
}

void PostgresSessionStore::Sweep() {
  PostgresPool::Lease link = pool_->Take();
  // Each expired row goes to the one host whose DELETE takes it, which runs its end.
  Ended ended =
      Collect(link->Run("DELETE FROM mirelda_sessions WHERE expires_at <= now() "
                        "RETURNING id, vals, timeout_seconds, code_page"));
  Tell(ended);
}

PostgresSessionStore::Ended PostgresSessionStore::Collect(const StatementResult& rows) {
  Ended ended;
  for (int i = 0; i < rows.rows(); ++i) {
    std::string id = rows.Text(i, 0);
    SessionState state;
    state.values = DecodeSessionValues(rows.Bytes(i, 1));
    state.timeout = std::chrono::seconds(rows.Integer(i, 2));
    state.code_page = static_cast<int32_t>(rows.Integer(i, 3));
    {
      std::lock_guard lock(objects_mutex_);
      auto it = objects_.find(id);
      if (it != objects_.end()) {
        state.objects = std::move(it->second);
        objects_.erase(it);
      }
    }
    ended.emplace_back(std::move(id), std::move(state));
  }
  return ended;
}

void PostgresSessionStore::Tell(Ended& ended) {
  if (!on_end_) return;
  for (auto& [id, state] : ended) on_end_(id, std::move(state));
}

}  // namespace mirelda::host

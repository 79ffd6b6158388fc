#include "host/state/postgres_application_state.h"

#include "mirelda/error.h"
#include "mirelda/text.h"
#include "mirelda/variant_codec.h"

namespace mirelda::host {
namespace {

// The one advisory lock that stands for Application.Lock on every host ("mirelda" in ASCII).
constexpr const char* kLockKey = "30796712510252129";

// Milliseconds until deadline for the server's lock_timeout; a page whose time is up waits not
// at all.
std::string LockTimeout(Deadline deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) LockWaitedTooLong();
  return std::to_string(std::min<int64_t>(left.count(), 2147483647));
}

// What a statement that must wait for the lock puts before its change: the lock, taken with the
// page's time left ($1) and held until the statement ends.
std::string Waiting(const std::string& change) {
  return std::string(
             "WITH t AS (SELECT set_config('lock_timeout', $1, true)), "
             "l AS (SELECT pg_advisory_xact_lock(") +
         kLockKey + ") FROM t) " + change;
}

}  // namespace

PostgresLink* PostgresApplicationState::HeldBy(std::thread::id page) {
  std::lock_guard lock(mutex_);
  auto it = held_.find(page);
  return it == held_.end() ? nullptr : &**it->second.link;
}

Variant PostgresApplicationState::Get(const std::string& name) {
  std::vector<StatementValue> key{{text::ToLowerAscii(name)}};
  const char* sql = "SELECT value FROM mirelda_application WHERE key = $1";
  PostgresLink* held = HeldBy(std::this_thread::get_id());
  std::optional<PostgresPool::Lease> lease;
  if (!held) lease.emplace(pool_->Take());
  StatementResult row = held ? held->Run(sql, key, false) : (*lease)->Run(sql, key);
  return row.rows() == 0 ? Variant() : DecodeVariant(row.Bytes(0, 0));
}

void PostgresApplicationState::Change(std::thread::id page, Deadline deadline,
                                      const std::string& held_sql, const std::string& waiting_sql,
                                      std::vector<StatementValue> values) {
  if (PostgresLink* held = HeldBy(page)) {
    held->Run(held_sql, values, false);
    return;
  }
  values.insert(values.begin(), StatementValue{LockTimeout(deadline)});
  PostgresPool::Lease link = pool_->Take();
  try {
    link->Run(waiting_sql, values);
  } catch (const LockNotAvailable&) {
    LockWaitedTooLong();
  }
}

void PostgresApplicationState::Set(const std::string& name, const Variant& value,
                                   std::thread::id page, Deadline deadline) {
  if (value.is_object()) {
    throw Error(errc::kInvalidProcedureCall, "An application value cannot hold an object");
  }
  const std::string upsert = "ON CONFLICT (key) DO UPDATE SET value = EXCLUDED.value";
  Change(page, deadline, "INSERT INTO mirelda_application VALUES ($1, $2, $3) " + upsert,
         Waiting("INSERT INTO mirelda_application SELECT $2::text, $3::text, $4::bytea FROM l " +
                 upsert),
         {{text::ToLowerAscii(name)}, {name}, {EncodeVariant(value), true}});
}

void PostgresApplicationState::Remove(const std::string& name, std::thread::id page,
                                      Deadline deadline) {
  Change(page, deadline, "DELETE FROM mirelda_application WHERE key = $1",
         Waiting("DELETE FROM mirelda_application WHERE key = $2 AND EXISTS (SELECT FROM l)"),
         {{text::ToLowerAscii(name)}});
}

void PostgresApplicationState::RemoveAll(std::thread::id page, Deadline deadline) {
  Change(page, deadline, "DELETE FROM mirelda_application",
         Waiting("DELETE FROM mirelda_application WHERE EXISTS (SELECT FROM l)"), {});
}

std::vector<std::string> PostgresApplicationState::Names() {
  PostgresPool::Lease link = pool_->Take();
  // Lower-case keys in byte order are the order of names compared without regard to case.
  StatementResult rows =
      link->Run("SELECT name FROM mirelda_application ORDER BY key COLLATE \"C\"");
  std::vector<std::string> names;
  for (int i = 0; i < rows.rows(); ++i) names.push_back(rows.Text(i, 0));
  return names;
}

void PostgresApplicationState::Lock(std::thread::id page, Deadline deadline) {
  {
    std::lock_guard lock(mutex_);
    auto it = held_.find(page);
    if (it != held_.end()) {
      ++it->second.depth;
      return;
    }
  }
  auto link = std::make_unique<PostgresPool::Lease>(pool_->Take());
  try {
    (*link)->Run(std::string("WITH t AS (SELECT set_config('lock_timeout', $1, false)) "
                             "SELECT pg_advisory_lock(") +
                     kLockKey + ") FROM t",
                 {{LockTimeout(deadline)}});
  } catch (const LockNotAvailable&) {
    LockWaitedTooLong();
  }
  std::lock_guard lock(mutex_);
  held_[page] = Held{std::move(link), 1};
}

void PostgresApplicationState::Unlock(std::thread::id page) {
  std::unique_ptr<PostgresPool::Lease> link;
  {
    std::lock_guard lock(mutex_);
    auto it = held_.find(page);
    if (it == held_.end() || --it->second.depth > 0) return;
    link = std::move(it->second.link);
    held_.erase(it);
  }
  // A connection that broke took its lock with it; the link connects afresh when next lent.
  (*link)->Run(std::string("SELECT pg_advisory_unlock(") + kLockKey +
                   "), set_config('lock_timeout', '0', false)",
               {}, false);
}

}  // namespace mirelda::host

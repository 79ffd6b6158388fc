// Application values in a PostgreSQL table that several hosts share. Application.Lock is a lock
// across all of them: a PostgreSQL advisory lock held on a connection of the page's own until
// the page unlocks or ends; writes of other pages wait for it in the server, until their
// page's deadline at most. Values are kept in the Variant codec's byte form. Safe to call from
// any thread; a page is known by its thread.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include "host/state/application_state.h"
#include "host/state/postgres_link.h"

namespace mirelda::host {

class PostgresApplicationState final : public ApplicationState {
 public:
  explicit PostgresApplicationState(std::shared_ptr<PostgresPool> pool) : pool_(std::move(pool)) {}

  Variant Get(const std::string& name) override;
  void Set(const std::string& name, const Variant& value, std::thread::id page,
           Deadline deadline) override;
  void Remove(const std::string& name, std::thread::id page, Deadline deadline) override;
  void RemoveAll(std::thread::id page, Deadline deadline) override;
  std::vector<std::string> Names() override;
  void Lock(std::thread::id page, Deadline deadline) override;
  void Unlock(std::thread::id page) override;

 private:
  struct Held {
    std::unique_ptr<PostgresPool::Lease> link;
    int depth = 0;
  };
  // The link on which page holds the lock; null when it holds none.
  PostgresLink* HeldBy(std::thread::id page);
  // Runs a change: on the page's own link when it holds the lock, else on a pooled one in a
  // statement that first waits for the lock (until deadline) and holds it to the statement's end.
  void Change(std::thread::id page, Deadline deadline, const std::string& held_sql,
              const std::string& waiting_sql, std::vector<StatementValue> values);

  std::shared_ptr<PostgresPool> pool_;
  std::mutex mutex_;
  std::unordered_map<std::thread::id, Held> held_;
};

}  // namespace mirelda::host

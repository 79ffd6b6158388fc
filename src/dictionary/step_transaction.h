// One step of the dictionary bootstrap (a table's creation, its seeding, its registration) as one
// transaction on the handed-over connection. Both engines take DDL inside a transaction, so a
// crash or a failure leaves the step wholly done or not at all, and a later call finds the table
// absent or empty and finishes the job.
#pragma once

#include <string>

#include "database/database.h"

namespace mirelda::dictionary {

// Opens the step when constructed and undoes it when destroyed uncommitted (an Error leaving the
// step, or a report of creation failed); the destructor never raises. Inside a transaction the
// page already holds, the step is a savepoint of it. Without a connection, or on one that opens
// no transaction, the step's statements run one by one as they would without it.
class StepTransaction {
 public:
  explicit StepTransaction(database::Database& db);
  ~StepTransaction();
  StepTransaction(const StepTransaction&) = delete;
  StepTransaction& operator=(const StepTransaction&) = delete;

  // The seeding part: what it writes is undone by UndoSeeding (the created table stays), so a
  // seeding that fails half-way leaves no partial registration behind. PostgreSQL refuses every
  // statement after a failing one until this undo.
  void BeginSeeding();
  void UndoSeeding();

  // Makes the ids that the seeding draws from table's autoincrement column part of the
  // seeding, so that undoing it (or a crash) gives them back: an install that is run again then
  // gets the ids a run without the crash gets, which the dictionary's fixed lookups rely on.
  // SQLite keeps its counters in a table and needs nothing; PostgreSQL draws identity values
  // outside transactions, unless the identity was restarted inside this one. Call it after
  // BeginSeeding, for tables that exist.
  void HoldIds(const std::string& table, const std::string& column);

  // Makes the step lasting. Raises the engine's Error when that fails; the step is then undone.
  void Commit();

 private:
  enum class Mode { kNone, kOwnTransaction, kSavepoint };

  // Runs a statement of the step's own; false when the engine refused it.
  bool Run(const std::string& statement);
  void Undo();

  database::Database& db_;
  bool server_ = false;  // the connection is the server database's, PostgreSQL
  Mode mode_ = Mode::kNone;
  bool seeding_ = false;
};

}  // namespace mirelda::dictionary

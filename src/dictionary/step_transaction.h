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

  // Makes the step lasting. Raises the engine's Error when that fails; the step is then undone.
  void Commit();

 private:
  enum class Mode { kNone, kOwnTransaction, kSavepoint };

  // Runs a statement of the step's own; false when the engine refused it.
  bool Run(const std::string& statement);
  void Undo();

  database::Database& db_;
  Mode mode_ = Mode::kNone;
  bool seeding_ = false;
};

}  // namespace mirelda::dictionary

#include "dictionary/step_transaction.h"

#include "mirelda/exit_at_step_point.h"
#include "mirelda/data.h"
#include "mirelda/text.h"

namespace mirelda::dictionary {
namespace {

constexpr const char* kStep = "mirelda_step";
constexpr const char* kSeeding = "mirelda_seeding";

std::string Savepoint(const char* name) { return std::string("SAVEPOINT ") + name; }
std::string Release(const char* name) { return std::string("RELEASE SAVEPOINT ") + name; }
std::string RollbackTo(const char* name) { return std::string("ROLLBACK TO SAVEPOINT ") + name; }

}  // namespace

StepTransaction::StepTransaction(database::Database& db) : db_(db) {
  if (!db_.connection()) return;
  server_ =
      text::Contains(text::ToLowerAscii(db_.connection()->ConnectionString()), "{sql server}");
  // A savepoint nests inside a transaction the page holds, and on SQLite opens one when there is
  // none; PostgreSQL takes a savepoint only inside a transaction, so there the step opens its own.
  if (Run(Savepoint(kStep))) {
    mode_ = Mode::kSavepoint;
  } else if (Run("BEGIN")) {
    mode_ = Mode::kOwnTransaction;
  }
}

StepTransaction::~StepTransaction() { Undo(); }

void StepTransaction::BeginSeeding() {
  if (mode_ != Mode::kNone) seeding_ = Run(Savepoint(kSeeding));
}

void StepTransaction::UndoSeeding() {
  if (!seeding_) return;
  Run(RollbackTo(kSeeding));
  Run(Release(kSeeding));
  seeding_ = false;
}

void StepTransaction::HoldIds(const std::string& table, const std::string& column) {
  if (!seeding_ || !server_) return;
  std::string name = text::ToLowerAscii(table);
  std::string id = text::ToLowerAscii(column);
  try {
    std::shared_ptr<RecordSet> next = db_.connection()->Execute(
        "select coalesce(pg_sequence_last_value(s.seqrelid) + s.seqincrement, s.seqstart) as "
        "nextID from pg_sequence s where s.seqrelid = to_regclass(pg_get_serial_sequence('" +
            name + "','" + id + "'))",
        -1);
    if (!next || next->IsEOF()) return;
    db_.connection()->Execute("ALTER TABLE " + name + " ALTER COLUMN " + id + " RESTART WITH " +
                                  next->FieldValue(Variant("nextID")).ToText(),
                              -1);
  } catch (const Error&) {
    // PostgreSQL refuses everything after a failed statement until the savepoint is rolled back
    // to; the seeding then runs on, its ids drawn as they are without the hold.
    Run(RollbackTo(kSeeding));
  }
}

void StepTransaction::Commit() {
  if (mode_ == Mode::kNone) return;
  std::shared_ptr<Connection> connection = db_.connection();
  try {
    if (seeding_) connection->Execute(Release(kSeeding), -1);
    seeding_ = false;
    connection->Execute(mode_ == Mode::kSavepoint ? Release(kStep) : "COMMIT", -1);
  } catch (const Error&) {
    Undo();
    throw;
  }
  mode_ = Mode::kNone;
  ExitAtStepPoint();
}

bool StepTransaction::Run(const std::string& statement) {
  try {
    db_.connection()->Execute(statement, -1);
    return true;
  } catch (const Error&) {
    return false;
  }
}

void StepTransaction::Undo() {
  if (mode_ == Mode::kSavepoint) {
    Run(RollbackTo(kStep));
    Run(Release(kStep));
  } else if (mode_ == Mode::kOwnTransaction) {
    Run("ROLLBACK");
  }
  mode_ = Mode::kNone;
  seeding_ = false;
}

}  // namespace mirelda::dictionary

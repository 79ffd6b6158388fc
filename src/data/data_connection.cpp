#include "data/data_connection.h"

#include "data/connection_string.h"
#include "data/data_classes.h"
#include "data/data_errors.h"
#include "data/data_record_set.h"
#include "data/postgres_engine.h"
#include "data/schema_rowsets.h"
#include "data/sqlite_engine.h"
#include "mirelda/exit_at_step_point.h"

namespace mirelda::data {
namespace {

void RequireNotNegative(int32_t seconds) {
  if (seconds < 0) {
    throw Error(data_errc::kBadArguments,
                "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
                "with one another (a timeout of " +
                    std::to_string(seconds) + " seconds).");
  }
}

std::string Savepoint(int32_t level) { return "mirelda_level_" + std::to_string(level); }

}  // namespace

std::unique_ptr<Engine> OpenEngine(const std::string& connection_string, int32_t connect_timeout) {
  ConnectionTarget target = Route(ConnectionString::Parse(connection_string));
  if (target.kind == ConnectionTarget::Kind::kJetFile) {
    return std::make_unique<SqliteEngine>(target.jet);
  }
  target.server.connect_timeout = connect_timeout;
  return std::make_unique<PostgresEngine>(target.server);
}

std::shared_ptr<RecordSet> RecordSetOf(RunResult& result, int32_t options) {
  if (options != -1 && (options & kExecuteNoRecords) != 0) return nullptr;
  auto record_set = std::make_shared<DataRecordSet>();
  if (result.rows) record_set->Attach(std::move(result.rows), CursorType::kForwardOnly);
  return record_set;
}

void DataConnection::Open(const std::string& connection_string) {
  if (engine_) throw Error(errc::kObjectOpen);
  try {
    engine_ = OpenEngine(connection_string, connection_timeout_);
  } catch (const Error& e) {
    errors_->Replace(e);
    throw;
  }
  connection_string_ = connection_string;
  transaction_level_ = 0;
}

std::shared_ptr<RecordSet> DataConnection::Execute(const std::string& text, int32_t options) {
  int32_t affected = -1;
  return ExecuteCounted(text, options, affected);
}

std::shared_ptr<RecordSet> DataConnection::ExecuteCounted(const std::string& text, int32_t options,
                                                          int32_t& records_affected) {
  RunResult result = Run(text, {}, command_timeout_);
  records_affected = static_cast<int32_t>(result.rows_affected);
  return RecordSetOf(result, options);
}

RunResult DataConnection::Run(std::string_view statement, std::span<const Variant> parameters,
                              int32_t timeout_seconds) {
  RunResult result = RunOnEngine(statement, parameters, timeout_seconds);
  if (transaction_level_ > 0 && !result.rows) ExitAtStepPoint();
  return result;
}

RunResult DataConnection::RunOnEngine(std::string_view statement,
                                      std::span<const Variant> parameters,
                                      int32_t timeout_seconds) {
  Engine& engine = RequireOpen();
  try {
    return engine.Execute(statement, parameters, timeout_seconds);
  } catch (const Error& e) {
    errors_->Replace(e);
    throw;
  }
}

void DataConnection::Close() {
  RequireOpen();
  // Closing the engine ends its transaction unfinished, which both engines roll back.
  engine_.reset();
  transaction_level_ = 0;
}

int32_t DataConnection::State() { return engine_ ? kStateOpen : kStateClosed; }

void DataConnection::Control(const std::string& statement) { RunOnEngine(statement, {}, 0); }

int32_t DataConnection::BeginTrans() {
  RequireOpen();
  int32_t level = transaction_level_ + 1;
  Control(level == 1 ? "BEGIN" : "SAVEPOINT " + Savepoint(level));
  transaction_level_ = level;
  return level;
}

void DataConnection::CommitTrans() {
  RequireOpen();
  if (transaction_level_ == 0) {
    throw Error(data_errc::kNoTransaction, "No transaction is active.");
  }
  Control(transaction_level_ == 1 ? "COMMIT"
                                  : "RELEASE SAVEPOINT " + Savepoint(transaction_level_));
  --transaction_level_;
  ExitAtStepPoint();
}

void DataConnection::RollbackTrans() {
  RequireOpen();
  if (transaction_level_ == 0) {
    throw Error(data_errc::kNoTransaction, "No transaction is active.");
  }
  if (transaction_level_ == 1) {
    Control("ROLLBACK");
  } else {
    Control("ROLLBACK TO SAVEPOINT " + Savepoint(transaction_level_));
    Control("RELEASE SAVEPOINT " + Savepoint(transaction_level_));
  }
  --transaction_level_;
}

std::shared_ptr<RecordSet> DataConnection::OpenSchema(int32_t schema, const Variant& criteria) {
  Engine& engine = RequireOpen();
  std::shared_ptr<const ResultTable> rows;
  try {
    rows = SchemaRows(engine, schema, criteria);
  } catch (const Error& e) {
    errors_->Replace(e);
    throw;
  }
  auto record_set = std::make_shared<DataRecordSet>();
  record_set->Attach(std::move(rows), CursorType::kStatic);
  return record_set;
}

void DataConnection::SetConnectionTimeout(int32_t seconds) {
  RequireNotNegative(seconds);
  connection_timeout_ = seconds;
}

void DataConnection::SetCommandTimeout(int32_t seconds) {
  RequireNotNegative(seconds);
  command_timeout_ = seconds;
}

std::optional<Guid> DataConnection::ClassId() const { return ConnectionClassId(); }

Engine& DataConnection::RequireOpen() {
  if (!engine_) throw Error(errc::kObjectClosed);
  return *engine_;
}

Engine& DataConnection::OpenEngineOrRaise() {
  if (!engine_) throw Error(errc::kConnectionInvalid);
  return *engine_;
}

}  // namespace mirelda::data

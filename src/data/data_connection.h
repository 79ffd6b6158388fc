// "ADODB.Connection": a connection to a Jet file (SQLite) or to the server database (PostgreSQL),
// chosen by the connection string.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "data/connection_errors.h"
#include "data/engine.h"
#include "data/live_objects.h"
#include "mirelda/data.h"

namespace mirelda::data {

// The engine a connection string names, opened, waiting connect_timeout seconds at most for a
// server (0 without limit). Raises Error when it cannot be opened.
std::unique_ptr<Engine> OpenEngine(const std::string& connection_string,
                                   int32_t connect_timeout = 15);

// ExecuteOptionEnum: no record set comes back.
inline constexpr int32_t kExecuteNoRecords = 128;

// The record set that Execute gives for what a statement returned: Nothing with
// adExecuteNoRecords, a closed one for a statement without rows, else a forward-only one.
std::shared_ptr<RecordSet> RecordSetOf(RunResult& result, int32_t options);

class DataConnection final : public Connection {
 public:
  // Raises kObjectOpen when already open, and the engine's error when the database cannot be
  // opened (the connection then stays closed, the error in Errors).
  void Open(const std::string& connection_string) override;
  // Options -1 is unspecified; with adExecuteNoRecords (128) no record set comes back. Raises
  // kObjectClosed on a closed connection. Statements run under CommandTimeout.
  std::shared_ptr<RecordSet> Execute(const std::string& text, int32_t options) override;
  std::shared_ptr<RecordSet> ExecuteCounted(const std::string& text, int32_t options,
                                            int32_t& records_affected) override;
  // Raises kObjectClosed when not open. Open transactions roll back.
  void Close() override;
  int32_t State() override;
  std::string ConnectionString() override { return connection_string_; }
  // Level 1 is a transaction of the engine, deeper levels savepoints inside it. kObjectClosed
  // on a closed connection; Commit and Rollback raise kNoTransaction when none is open.
  int32_t BeginTrans() override;
  void CommitTrans() override;
  void RollbackTrans() override;
  std::shared_ptr<Dispatch> Errors() override { return errors_; }
  // kObjectClosed when closed; kBadArguments for a schema other than tables and columns.
  std::shared_ptr<RecordSet> OpenSchema(int32_t schema, const Variant& criteria) override;
  int32_t ConnectionTimeout() override { return connection_timeout_; }
  // kBadArguments below 0.
  void SetConnectionTimeout(int32_t seconds) override;
  int32_t CommandTimeout() override { return command_timeout_; }
  void SetCommandTimeout(int32_t seconds) override;
  std::optional<Guid> ClassId() const override;

  // The engine of the open connection; kConnectionInvalid when closed. For record sets.
  Engine& OpenEngineOrRaise();
  // Runs a statement on the open engine; an engine error goes into Errors on its way out.
  // kObjectClosed when closed. A statement that writes inside a transaction is a step point.
  RunResult Run(std::string_view statement, std::span<const Variant> parameters,
                int32_t timeout_seconds);

 private:
  Engine& RequireOpen();
  RunResult RunOnEngine(std::string_view statement, std::span<const Variant> parameters,
                        int32_t timeout_seconds);
  // Runs a transaction statement, recording a failure in Errors.
  void Control(const std::string& statement);

  std::unique_ptr<Engine> engine_;
  std::string connection_string_;
  std::shared_ptr<DataErrors> errors_ = std::make_shared<DataErrors>();
  int32_t connection_timeout_ = 15;
  int32_t command_timeout_ = 30;
  int32_t transaction_level_ = 0;
  LiveObject live_;
};

}  // namespace mirelda::data

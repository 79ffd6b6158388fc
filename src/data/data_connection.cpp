#include "data/data_connection.h"

#include "data/connection_string.h"
#include "data/data_classes.h"
#include "data/data_record_set.h"
#include "data/postgres_engine.h"
#include "data/sqlite_engine.h"

namespace mirelda::data {
namespace {

constexpr int32_t kExecuteNoRecords = 128;

}  // namespace

std::unique_ptr<Engine> OpenEngine(const std::string& connection_string) {
  ConnectionTarget target = Route(ConnectionString::Parse(connection_string));
  if (target.kind == ConnectionTarget::Kind::kJetFile) {
    return std::make_unique<SqliteEngine>(target.jet.path);
  }
  return std::make_unique<PostgresEngine>(target.server);
}

void DataConnection::Open(const std::string& connection_string) {
  if (engine_) throw Error(errc::kObjectOpen);
  engine_ = OpenEngine(connection_string);
  connection_string_ = connection_string;
}

std::shared_ptr<RecordSet> DataConnection::Execute(const std::string& text, int32_t options) {
  if (!engine_) throw Error(errc::kObjectClosed);
  std::shared_ptr<const ResultTable> rows = engine_->Run(text);
  if (options != -1 && (options & kExecuteNoRecords) != 0) return nullptr;
  auto record_set = std::make_shared<DataRecordSet>();
  if (rows) record_set->Attach(std::move(rows), CursorType::kForwardOnly);
  return record_set;
}

void DataConnection::Close() {
  if (!engine_) throw Error(errc::kObjectClosed);
  engine_.reset();
}

int32_t DataConnection::State() { return engine_ ? kStateOpen : kStateClosed; }

std::optional<Guid> DataConnection::ClassId() const { return ConnectionClassId(); }

Engine& DataConnection::OpenEngineOrRaise() {
  if (!engine_) throw Error(errc::kConnectionInvalid);
  return *engine_;
}

}  // namespace mirelda::data

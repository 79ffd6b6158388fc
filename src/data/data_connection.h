// "ADODB.Connection": a connection to a Jet file (SQLite) or to the server database (PostgreSQL),
// chosen by the connection string.
#pragma once

#include <memory>
#include <string>

#include "data/engine.h"
#include "data/live_objects.h"
#include "mirelda/data.h"

namespace mirelda::data {

// The engine a connection string names, opened. Raises Error when it cannot be opened.
std::unique_ptr<Engine> OpenEngine(const std::string& connection_string);

class DataConnection final : public Connection {
 public:
  // Raises kObjectOpen when already open, and the engine's error when the database cannot be
  // opened (the connection then stays closed).
  void Open(const std::string& connection_string) override;
  // Options -1 is unspecified; with adExecuteNoRecords (128) no record set comes back. Raises
  // kObjectClosed on a closed connection.
  std::shared_ptr<RecordSet> Execute(const std::string& text, int32_t options) override;
  // Raises kObjectClosed when not open.
  void Close() override;
  int32_t State() override;
  std::string ConnectionString() override { return connection_string_; }
  std::optional<Guid> ClassId() const override;

  // The engine of the open connection; kConnectionInvalid when closed. For record sets.
  Engine& OpenEngineOrRaise();

 private:
  std::unique_ptr<Engine> engine_;
  std::string connection_string_;
  LiveObject live_;
};

}  // namespace mirelda::data

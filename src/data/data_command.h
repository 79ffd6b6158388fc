// "ADODB.Command": a statement, table or stored procedure run on a connection with the values of
// its Parameters bound to the statement's "?" placeholders.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/data_connection.h"
#include "data/data_parameters.h"
#include "data/live_objects.h"
#include "mirelda/data.h"

namespace mirelda::data {

// CommandTypeEnum.
namespace command_type {
inline constexpr int32_t kText = 1;
inline constexpr int32_t kTable = 2;
inline constexpr int32_t kStoredProc = 4;
inline constexpr int32_t kUnknown = 8;
inline constexpr int32_t kTableDirect = 512;
}  // namespace command_type

class DataCommand final : public Dispatch {
 public:
  // The Connection object, or Nothing.
  std::shared_ptr<Dispatch> ActiveConnection();
  // A Connection of this library, a connection string (the command opens a connection of its
  // own), or Nothing. kBadArguments for anything else; the error of Open for a string that
  // cannot be opened.
  void SetActiveConnection(const Variant& connection);
  std::string CommandText() { return text_; }
  void SetCommandText(const std::string& text) { text_ = text; }
  int32_t CommandType() { return type_; }
  // kBadArguments for a number that is no command type.
  void SetCommandType(int32_t type);
  // Seconds Execute may run, 30 at first; 0 without limit. kBadArguments below 0.
  int32_t CommandTimeout() { return timeout_; }
  void SetCommandTimeout(int32_t seconds);
  // Accepted and kept: every statement is prepared by the engines anyway.
  bool Prepared() { return prepared_; }
  void SetPrepared(bool prepared) { prepared_ = prepared; }
  std::string Name() { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  int32_t State() { return kStateClosed; }

  // A new Parameter, not yet in the collection. kBadArguments for an unknown type or direction.
  std::shared_ptr<DataParameter> CreateParameter(const std::string& name, int32_t type,
                                                 int32_t direction, int32_t size,
                                                 const Variant& value);
  std::shared_ptr<DataParameters> Parameters() { return parameters_; }
  // cmd.Parameters is the collection, cmd(i) and cmd.Parameters(i) one parameter.
  Variant ScriptParameters(const Variant& index);

  // Runs the command. values: Missing, or an array of values that stand for the input
  // parameters in order for this run (and are all the values when the collection is empty).
  // options: -1, or CommandTypeEnum and ExecuteOptionEnum bits (adExecuteNoRecords 128 gives
  // Nothing). records_affected receives the rows written, -1 for a query. Output and return
  // value parameters receive what a stored procedure gave back.
  //
  // Raises kConnectionInvalid without an open connection, kNoCommandText without text,
  // kParameterMissing when a placeholder has no value, kDataConversion when a value does not fit
  // its parameter's type, kNotSupported for stored procedures on the file database, and the
  // engine's errors (which also go into the connection's Errors).
  std::shared_ptr<RecordSet> Execute(Variant& records_affected, const Variant& values,
                                     int32_t options);

  // What Execute runs, for a record set opened on this command.
  RunResult Run(int32_t options);

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Command"; }
  std::optional<Guid> ClassId() const override;

 private:
  DataConnection& RequireConnection();
  RunResult RunWith(const std::vector<Variant>* values, int32_t options);

  std::shared_ptr<DataConnection> connection_;
  std::string text_;
  int32_t type_ = command_type::kUnknown;
  int32_t timeout_ = 30;
  bool prepared_ = false;
  std::string name_;
  std::shared_ptr<DataParameters> parameters_ = std::make_shared<DataParameters>();
  LiveObject live_;
};

}  // namespace mirelda::data

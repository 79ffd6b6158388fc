#include "data/data_command.h"

#include "data/data_classes.h"
#include "data/data_errors.h"
#include "data/stored_procedure.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

[[noreturn]] void BadArgument(const std::string& what) {
  throw Error(data_errc::kBadArguments,
              "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
              "with one another (" +
                  what + ").");
}

bool IsCommandType(int32_t type) {
  return type == command_type::kText || type == command_type::kTable ||
         type == command_type::kStoredProc || type == command_type::kUnknown ||
         type == command_type::kTableDirect;
}

// A table named by a command of type table, as a quoted name of the dialect: [name] for the file
// database (whose names may hold blanks and dots), "schema"."name" for the server.
std::string QuotedTable(const std::string& text, Dialect dialect) {
  std::string name = text::Trim(text);
  if (name.empty()) BadArgument("a command of type table names no table");
  if (dialect == Dialect::kJet) {
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
      name = name.substr(1, name.size() - 2);
    }
    if (name.find(']') != std::string::npos) BadArgument("'" + text + "' is no table name");
    return "[" + name + "]";
  }
  std::string out;
  for (const std::string& part : RoutineName(name)) {
    out += out.empty() ? "\"" : ".\"";
    for (char c : part) {
      out += c;
      if (c == '"') out += '"';
    }
    out += '"';
  }
  return out;
}

// A bare name, possibly dotted or bracketed, that a command of unknown type names an object by.
bool IsBareName(const std::string& text) {
  std::string name = text::Trim(text);
  if (name.empty()) return false;
  char closing = 0;
  for (char c : name) {
    if (closing) {
      if (c == closing) closing = 0;
    } else if (c == '[') {
      closing = ']';
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '(' || c == '\'' ||
               c == '=' || c == ',' || c == '*') {
      return false;
    }
  }
  return true;
}

}  // namespace

std::shared_ptr<Dispatch> DataCommand::ActiveConnection() { return connection_; }

void DataCommand::SetActiveConnection(const Variant& connection) {
  if (connection.is_string()) {
    auto own = std::make_shared<DataConnection>();
    own->Open(connection.ToString());
    connection_ = std::move(own);
    return;
  }
  if (connection.is_object()) {
    std::shared_ptr<Dispatch> object = connection.ToObject();
    if (!object) {
      connection_.reset();
      return;
    }
    if (auto typed = std::dynamic_pointer_cast<DataConnection>(object)) {
      connection_ = std::move(typed);
      return;
    }
  }
  BadArgument("ActiveConnection takes a Connection or a connection string");
}

void DataCommand::SetCommandType(int32_t type) {
  if (!IsCommandType(type)) BadArgument("command type " + std::to_string(type));
  type_ = type;
}

void DataCommand::SetCommandTimeout(int32_t seconds) {
  if (seconds < 0) BadArgument("a timeout of " + std::to_string(seconds) + " seconds");
  timeout_ = seconds;
}

std::shared_ptr<DataParameter> DataCommand::CreateParameter(const std::string& name, int32_t type,
                                                            int32_t direction, int32_t size,
                                                            const Variant& value) {
  return std::make_shared<DataParameter>(name, type, direction, size, value);
}

Variant DataCommand::ScriptParameters(const Variant& index) {
  if (index.is_missing()) return Variant(parameters_);
  return Variant(parameters_->Item(index));
}

DataConnection& DataCommand::RequireConnection() {
  if (!connection_ || connection_->State() != kStateOpen) {
    throw Error(errc::kConnectionInvalid,
                "The command has no open connection: set ActiveConnection to an open Connection "
                "or to a connection string.");
  }
  return *connection_;
}

RunResult DataCommand::Run(int32_t options) { return RunWith(nullptr, options); }

RunResult DataCommand::RunWith(const std::vector<Variant>* values, int32_t options) {
  DataConnection& connection = RequireConnection();
  if (text::Trim(text_).empty()) {
    throw Error(data_errc::kNoCommandText, "Command text was not set for the command object.");
  }
  int32_t type = type_;
  if (options != -1) {
    for (int32_t bit : {command_type::kText, command_type::kTable, command_type::kStoredProc,
                        command_type::kTableDirect}) {
      if (options & bit) type = bit;
    }
  }
  Engine& engine = connection.OpenEngineOrRaise();
  const Dialect dialect = engine.dialect();
  if (type == command_type::kUnknown && IsBareName(text_)) {
    // A bare name is a table to the file database and a procedure to the server, as each of
    // the replaced providers reads it.
    type = dialect == Dialect::kJet ? command_type::kTable : command_type::kStoredProc;
  }

  // The input values: the parameters' own, or those given to this run in their place.
  const auto& items = parameters_->items();
  std::vector<Variant> inputs;
  size_t given = 0;
  for (const auto& p : items) {
    if (!p->IsInput()) continue;
    if (values && given < values->size()) {
      inputs.push_back(CoerceToType((*values)[given++], p->Type(), p->Size(), p->Name()));
    } else {
      inputs.push_back(p->BoundValue());
    }
  }
  if (values) {
    for (; given < values->size(); ++given) inputs.push_back((*values)[given]);
  }

  switch (type) {
    case command_type::kTable:
    case command_type::kTableDirect:
      return connection.Run("SELECT * FROM " + QuotedTable(text_, dialect), inputs, timeout_);
    case command_type::kStoredProc: {
      if (dialect == Dialect::kJet) {
        throw Error(data_errc::kNotSupported,
                    "Object or provider is not capable of performing requested operation: the "
                    "file database has no stored procedures.");
      }
      RoutineCall call = CallRoutine(engine, text_, items, inputs);
      RunResult result = connection.Run(call.sql, call.values, timeout_);
      TakeOutputs(call, result.rows.get(), items);
      // A procedure's one row holds its output parameters, no rows of a result.
      if (call.is_procedure) result.rows.reset();
      return result;
    }
    default:
      return connection.Run(text_, inputs, timeout_);
  }
}

std::shared_ptr<RecordSet> DataCommand::Execute(Variant& records_affected, const Variant& values,
                                                int32_t options) {
  std::vector<Variant> given;
  bool has_values = !values.is_missing() && !values.is_empty();
  if (has_values) {
    if (values.is_array()) {
      given = values.AsArray().items();
    } else {
      given.push_back(values);
    }
  }
  RunResult result = RunWith(has_values ? &given : nullptr, options);
  records_affected = Variant(static_cast<int32_t>(result.rows_affected));
  return RecordSetOf(result, options);
}

std::optional<Guid> DataCommand::ClassId() const { return CommandClassId(); }

const MemberTable& DataCommand::Members() const {
  using C = DataCommand;
  static const MemberTable table =
      MemberTableBuilder<C>("_Command")
          .Get<&C::ScriptParameters>("Parameters", {Arg("Index").Optional()})
          .Default()
          .Get<&C::ActiveConnection>("ActiveConnection")
          .Let<&C::SetActiveConnection>("ActiveConnection", {Arg("Connection")})
          .Set<&C::SetActiveConnection>("ActiveConnection", {Arg("Connection")})
          .Get<&C::CommandText>("CommandText")
          .Let<&C::SetCommandText>("CommandText", {Arg("Text")})
          .Get<&C::CommandType>("CommandType")
          .Let<&C::SetCommandType>("CommandType", {Arg("Type")})
          .Get<&C::CommandTimeout>("CommandTimeout")
          .Let<&C::SetCommandTimeout>("CommandTimeout", {Arg("Timeout")})
          .Get<&C::Prepared>("Prepared")
          .Let<&C::SetPrepared>("Prepared", {Arg("Prepared")})
          .Get<&C::Name>("Name")
          .Let<&C::SetName>("Name", {Arg("Name")})
          .Get<&C::State>("State")
          .Method<&C::CreateParameter>("CreateParameter",
                                       {Arg("Name").Optional(), Arg("Type").Optional(int32_t{0}),
                                        Arg("Direction").Optional(int32_t{direction::kInput}),
                                        Arg("Size").Optional(int32_t{0}), Arg("Value").Optional()})
          .Method<&C::Execute>(
              "Execute", {Arg("RecordsAffected").ByRef().Optional(), Arg("Parameters").Optional(),
                          Arg("Options").Optional(int32_t{-1})})
          .Build();
  return table;
}

}  // namespace mirelda::data

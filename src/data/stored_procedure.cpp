#include "data/stored_procedure.h"

#include "data/data_errors.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

std::string Bare(std::string_view part) {
  std::string trimmed = text::Trim(part);
  if (trimmed.size() >= 2 && ((trimmed.front() == '[' && trimmed.back() == ']') ||
                              (trimmed.front() == '"' && trimmed.back() == '"'))) {
    trimmed = trimmed.substr(1, trimmed.size() - 2);
  }
  return text::ToLowerAscii(trimmed);
}

std::string WithoutAt(const std::string& name) {
  return !name.empty() && name[0] == '@' ? name.substr(1) : name;
}

}  // namespace

std::vector<std::string> RoutineName(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  char closing = 0;
  for (char c : text) {
    if (closing) {
      if (c == closing) closing = 0;
    } else if (c == '[') {
      closing = ']';
    } else if (c == '"') {
      closing = '"';
    } else if (c == ';') {
      break;  // "name;1", the server's numbered group of procedures
    } else if (c == '.') {
      parts.push_back(Bare(current));
      current.clear();
      continue;
    }
    current += c;
  }
  parts.push_back(Bare(current));
  if (parts.size() == 2 && parts[0] == "dbo") parts.erase(parts.begin());
  for (const std::string& part : parts) {
    if (part.empty() || parts.size() > 2) {
      throw Error(data_errc::kBadArguments, "'" + text + "' names no stored procedure.");
    }
  }
  return parts;
}

RoutineCall CallRoutine(Engine& engine, const std::string& name,
                        const std::vector<std::shared_ptr<DataParameter>>& parameters,
                        const std::vector<Variant>& input_values) {
  std::vector<std::string> parts = RoutineName(name);
  std::string schema = parts.size() == 2 ? parts[0] : "";
  const std::string& routine = parts.back();
  std::vector<Variant> lookup = {Variant(routine), Variant(schema), Variant(schema)};
  RunResult kind = engine.Execute(
      "SELECT p.prokind::text FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
      "WHERE p.proname = ? AND (n.nspname = ? OR (? = '' AND pg_function_is_visible(p.oid))) "
      "ORDER BY p.prokind LIMIT 1",
      lookup, 0);
  if (!kind.rows || kind.rows->RowCount() == 0) {
    throw Error(errc::kSyntaxError, "Could not find stored procedure '" + name + "'.");
  }
  RoutineCall call;
  call.is_procedure = kind.rows->Value(0, 0).ToText() == "p";
  std::string arguments;
  size_t next_input = 0;
  auto add = [&](const std::string& argument) {
    arguments += (arguments.empty() ? "" : ", ") + argument;
  };
  if (parameters.empty()) {
    // Values passed to Execute with no collection: all inputs, in order.
    for (const Variant& value : input_values) {
      add("?");
      call.values.push_back(value);
    }
  }
  for (const auto& parameter : parameters) {
    if (parameter->Direction() == direction::kReturnValue) continue;
    if (parameter->IsInput()) {
      add("?");
      call.values.push_back(next_input < input_values.size() ? input_values[next_input]
                                                             : Variant::Null());
      ++next_input;
    } else if (call.is_procedure) {
      add("NULL");
    }
  }
  std::string target = (schema.empty() ? "" : Quoted(schema) + ".") + Quoted(routine);
  call.sql = call.is_procedure ? "CALL " + target + "(" + arguments + ")"
                               : "SELECT * FROM " + target + "(" + arguments + ")";
  return call;
}

void TakeOutputs(const RoutineCall& call, const ResultTable* rows,
                 const std::vector<std::shared_ptr<DataParameter>>& parameters) {
  const bool has_row = rows && rows->RowCount() > 0;
  const size_t width = rows ? rows->columns().size() : 0;
  std::vector<bool> taken(width, false);
  auto column_named = [&](const std::string& name) -> std::optional<size_t> {
    std::string wanted = WithoutAt(name);
    for (size_t c = 0; c < width; ++c) {
      if (!taken[c] && !wanted.empty() && text::EqualsIgnoreCase(rows->columns()[c].name, wanted)) {
        return c;
      }
    }
    return std::nullopt;
  };
  // Names first, so that a parameter named after a later column does not lose it to order.
  std::vector<std::optional<size_t>> chosen(parameters.size());
  for (size_t i = 0; i < parameters.size(); ++i) {
    const auto& p = parameters[i];
    if (!p->IsOutput() || (call.is_procedure && p->Direction() == direction::kReturnValue)) {
      continue;
    }
    if ((chosen[i] = column_named(p->Name()))) taken[*chosen[i]] = true;
  }
  for (size_t i = 0; i < parameters.size(); ++i) {
    const auto& p = parameters[i];
    if (!p->IsOutput()) continue;
    if (call.is_procedure && p->Direction() == direction::kReturnValue) {
      p->TakeResult(Variant(int32_t{0}));
      continue;
    }
    if (!chosen[i]) {
      for (size_t c = 0; c < width; ++c) {
        if (!taken[c]) {
          chosen[i] = c;
          taken[c] = true;
          break;
        }
      }
    }
    p->TakeResult(has_row && chosen[i] ? rows->Value(0, *chosen[i]) : Variant::Null());
  }
}

}  // namespace mirelda::data

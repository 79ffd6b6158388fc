// Stored procedures on the server database: the replaced server's procedures are PostgreSQL
// functions (called in FROM, their rows the result) or procedures (CALL, their output
// parameters one row), told apart by the catalog.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/data_parameters.h"
#include "data/engine.h"

namespace mirelda::data {

// "[dbo].[name]", "schema.name" or "name" as quoted PostgreSQL identifiers, dbo dropped, names
// folded to lower case as the server dialect folds them. kBadArguments for an empty name.
std::vector<std::string> RoutineName(const std::string& text);

struct RoutineCall {
  std::string sql;              // with "?" for each value
  std::vector<Variant> values;  // the input values, in order
  bool is_procedure = false;
};

// The call of the routine with the parameters: a function takes the input ones
// (SELECT * FROM name(?, ...)); a procedure every one but the return value, outputs as NULL
// (CALL name(?, NULL, ...)). Raises the server's error when no routine has the name.
RoutineCall CallRoutine(Engine& engine, const std::string& name,
                        const std::vector<std::shared_ptr<DataParameter>>& parameters,
                        const std::vector<Variant>& input_values);

// Gives the output, input-output and return value parameters what the call returned: a column
// of the first row named like the parameter (a leading "@" aside), else the next column not
// taken, in order. The return value of a procedure is 0, as the replaced server gives for a
// procedure that returns nothing.
void TakeOutputs(const RoutineCall& call, const ResultTable* rows,
                 const std::vector<std::shared_ptr<DataParameter>>& parameters);

}  // namespace mirelda::data

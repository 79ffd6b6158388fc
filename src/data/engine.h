// A database behind an open connection: takes statements in the connection's dialect, translates
// them for the engine, and runs them. One engine belongs to one connection, used by one thread at
// a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "data/result_table.h"
#include "data/sql_lexer.h"
#include "mirelda/variant.h"

namespace mirelda::data {

// What one statement did.
struct RunResult {
  // Its rows, or null for a statement that returns none.
  std::shared_ptr<const ResultTable> rows;
  // The rows an INSERT, UPDATE or DELETE wrote; -1 for any other statement.
  int64_t rows_affected = -1;
};

class Engine {
 public:
  virtual ~Engine() = default;

  // The dialect statements arrive in: kJet for SQLite, kServer for PostgreSQL.
  virtual Dialect dialect() const = 0;

  // Runs exactly one statement whose "?" placeholders (outside string literals, quoted names and
  // comments) stand for parameters, in order. Each value is bound to the engine as a parameter,
  // never written into the text:
  //   Null, Empty and Missing      NULL
  //   Boolean                      1 or 0 (both engines store yes/no columns as numbers)
  //   Byte, Integer, Long          integer
  //   Single, Double               double precision
  //   Currency                     exact decimal with four places
  //   Date                         the text "YYYY-MM-DD HH:MM:SS"
  //   String                       text; SQLite keeps a NUL byte, PostgreSQL refuses text holding
  //                                one (kUnspecified, naming the parameter) since its text type
  //                                cannot store it
  //   Bytes                        binary (BLOB, bytea)
  // Arrays, objects and error values raise Type mismatch. More placeholders than values raise
  // kParameterMissing, more values than placeholders kWrongArguments, both before anything runs.
  //
  // timeout_seconds > 0 cancels a statement still running after that long and raises
  // kCommandTimeout; 0 waits without limit. Other failures raise Error with the engine's message;
  // text holding a second statement is refused before anything runs.
  virtual RunResult Execute(std::string_view statement, std::span<const Variant> parameters,
                            int32_t timeout_seconds) = 0;

  // Runs exactly one statement without parameters or time limit: its rows, or null.
  std::shared_ptr<const ResultTable> Run(std::string_view statement) {
    return Execute(statement, {}, 0).rows;
  }
};

}  // namespace mirelda::data

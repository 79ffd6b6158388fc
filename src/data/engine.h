// A database behind an open connection: takes statements in the connection's dialect, translates
// them for the engine, and runs them. One engine belongs to one connection, used by one thread at
// a time.
#pragma once

#include <memory>
#include <string_view>

#include "data/result_table.h"

namespace mirelda::data {

class Engine {
 public:
  virtual ~Engine() = default;

  // Runs exactly one statement. Returns its rows, or null for a statement that returns none.
  // Raises Error with the engine's message; text holding a second statement is refused before
  // anything runs.
  virtual std::shared_ptr<const ResultTable> Run(std::string_view statement) = 0;
};

}  // namespace mirelda::data

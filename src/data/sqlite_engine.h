// The Jet file database: an SQLite file with a Jet format mark, spoken to in Jet's SQL.
#pragma once

#include <string>

#include "data/engine.h"
#include "data/sqlite_handles.h"

namespace mirelda::data {

class SqliteEngine final : public Engine {
 public:
  // Opens the Jet file at page_path (resolved through the path map). Raises Error when the file
  // is missing or is no Jet database.
  explicit SqliteEngine(const std::string& page_path);

  RunResult Execute(std::string_view statement, std::span<const Variant> parameters,
                    int32_t timeout_seconds) override;

 private:
  SqliteDatabase db_;
};

}  // namespace mirelda::data

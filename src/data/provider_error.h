// An engine's failure as the connection's Errors collection reports it: the Error that pages see,
// with the engine's SQLSTATE and native code beside it.
#pragma once

#include <cstdint>
#include <string>

#include "mirelda/error.h"

namespace mirelda::data {

class ProviderError : public Error {
 public:
  ProviderError(int32_t number, std::string description, std::string source, std::string sql_state,
                int32_t native_error)
      : Error(number, std::move(description), std::move(source)),
        sql_state_(std::move(sql_state)),
        native_error_(native_error) {}

  // Five characters, as ODBC and the server report them ("42S02" no such table).
  const std::string& sql_state() const noexcept { return sql_state_; }
  int32_t native_error() const noexcept { return native_error_; }

 private:
  std::string sql_state_;
  int32_t native_error_;
};

}  // namespace mirelda::data

// Owning handles of libpq connections and results.
#pragma once

#include <libpq-fe.h>

#include <memory>

namespace mirelda::data {

struct PgConnectionCloser {
  void operator()(PGconn* conn) const noexcept { PQfinish(conn); }
};
using PgConnection = std::unique_ptr<PGconn, PgConnectionCloser>;

struct PgResultClearer {
  void operator()(PGresult* result) const noexcept { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, PgResultClearer>;

}  // namespace mirelda::data

// The demo site on the test run's PostgreSQL: its settings pointed there, and the rows the pages
// stored read straight from the server.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "site/jet_rows.h"
#include "support/postgres.h"

namespace mirelda::testing {

// The rows of a query (or nothing for a command) on a database of the test server, every value
// as text ("NULL" for a null).
inline Rows ServerRows(const std::string& database, const std::string& sql) {
  const PostgresServer& s = Postgres();
  std::string info = "host=" + s.host + " port=" + std::to_string(s.port) + " dbname=" + database +
                     " user=" + s.user + " password=" + s.password;
  PGconn* conn = PQconnectdb(info.c_str());
  Rows rows;
  if (PQstatus(conn) != CONNECTION_OK) {
    ADD_FAILURE() << PQerrorMessage(conn);
    PQfinish(conn);
    return rows;
  }
  PGresult* result = PQexec(conn, sql.c_str());
  ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
    ADD_FAILURE() << sql << ": " << PQerrorMessage(conn);
  }
  for (int r = 0; r < PQntuples(result); ++r) {
    rows.emplace_back();
    for (int c = 0; c < PQnfields(result); ++c) {
      rows.back().push_back(PQgetisnull(result, r, c) ? "NULL" : PQgetvalue(result, r, c));
    }
  }
  PQclear(result);
  PQfinish(conn);
  return rows;
}

// Points the site copy at a database of the test server (the installation creates it).
inline void UseServerDatabase(const std::filesystem::path& site, const std::string& database) {
  const PostgresServer& s = Postgres();
  std::ofstream(site / "inc" / "server_database.inc", std::ios::trunc)
      << "<% var SERVER_DATABASE = {server: \"" << s.Server() << "\", database: \"" << database
      << "\", uid: \"" << s.user << "\", pwd: \"" << s.password << "\"}; %>\n";
}

}  // namespace mirelda::testing

// The PostgreSQL server that the test run starts for the tests that need one (the CTest fixture
// "postgres", from postgres_fixture.sh). A test opts in with the test property
//   FIXTURES_REQUIRED postgres
// (mirelda_add_test(... PROPERTIES FIXTURES_REQUIRED postgres)) and links mirelda-test-postgres.
#pragma once

#include <string>

namespace mirelda::testing {

struct PostgresServer {
  std::string host;
  int port = 0;
  std::string user;  // the test role: may log on and create databases
  std::string password;

  // The server as a "driver={sql server}" connection string names it: "127.0.0.1,PORT".
  std::string Server() const { return host + "," + std::to_string(port); }
  // "driver={sql server};server=...;database=...;uid=...;pwd=..." for the test role.
  std::string ConnectionString(const std::string& database) const {
    return "driver={sql server};server=" + Server() + ";database=" + database + ";uid=" + user +
           ";pwd=" + password;
  }
};

// The running server, read from the fixture's state under the build folder (or the state file
// that MIRELDA_POSTGRES_STATE names). Aborts the program with a message when the fixture did not
// start one: a missing server is a failure.
const PostgresServer& Postgres();

// Creates a new, empty database owned by the test role, with a name unique to this run, and
// returns its name (lower case).
std::string FreshPostgresDatabase();

}  // namespace mirelda::testing

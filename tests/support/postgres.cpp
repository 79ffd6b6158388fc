#include "support/postgres.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>

#include "support/temp_dir.h"

namespace mirelda::testing {
namespace {

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "postgres test server: %s\n", why.c_str());
  std::abort();
}

PostgresServer Load() {
  const char* explicit_state = std::getenv("MIRELDA_POSTGRES_STATE");
  std::filesystem::path state = explicit_state && *explicit_state
                                    ? std::filesystem::path(explicit_state)
                                    : BuildDir() / "tests" / "postgres" / "server.env";
  std::ifstream in(state);
  if (!in) {
    Fail("no server: " + state.string() +
         " is missing. Run the test through ctest, which starts the fixture \"postgres\".");
  }
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(in, line);) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  PostgresServer server;
  server.host = values["host"];
  server.port = std::atoi(values["port"].c_str());
  server.user = values["user"];
  server.password = values["password"];
  if (server.host.empty() || server.port <= 0 || server.user.empty()) {
    Fail("the state file " + state.string() + " is incomplete");
  }
  return server;
}

}  // namespace

const PostgresServer& Postgres() {
  static const PostgresServer server = Load();
  return server;
}

std::string FreshPostgresDatabase() {
  static std::atomic<int> counter{0};
  std::random_device random;
  std::string name = "t" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
                     std::to_string(random() % 100000);
  const PostgresServer& s = Postgres();
  std::string port = std::to_string(s.port);
  const char* keys[] = {"host", "port", "dbname", "user", "password", nullptr};
  const char* values[] = {s.host.c_str(), port.c_str(),       "postgres",
                          s.user.c_str(), s.password.c_str(), nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, 0);
  if (PQstatus(conn) != CONNECTION_OK) {
    std::string why = PQerrorMessage(conn);
    PQfinish(conn);
    Fail("cannot connect: " + why);
  }
  PGresult* result = PQexec(conn, ("CREATE DATABASE " + name).c_str());
  bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
  std::string why = PQerrorMessage(conn);
  PQclear(result);
  PQfinish(conn);
  if (!ok) Fail("cannot create a database: " + why);
  return name;
}

}  // namespace mirelda::testing

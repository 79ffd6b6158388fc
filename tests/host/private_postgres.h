// A PostgreSQL server of one test suite's own, from the same script as the test run's fixture,
// for tests that stop and start the server under running hosts without disturbing other suites.
#pragma once

#include <libpq-fe.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

namespace mirelda::testing {

class PrivatePostgres {
 public:
  // Starts a cluster with its state under state_dir and makes an empty database in it.
  PrivatePostgres(std::filesystem::path script, std::filesystem::path state_dir)
      : script_(std::move(script)), state_(std::move(state_dir)) {
    Shell("bash '" + script_.string() + "' start '" + state_.string() + "' >/dev/null");
    std::ifstream in(state_ / "server.env");
    for (std::string line; std::getline(in, line);) {
      size_t eq = line.find('=');
      if (eq != std::string::npos) env_[line.substr(0, eq)] = line.substr(eq + 1);
    }
    PGconn* conn = PQconnectdb(("postgresql://" + env_["user"] + ":" + env_["password"] + "@" +
                                env_["host"] + ":" + env_["port"] + "/postgres")
                                   .c_str());
    PGresult* made = PQexec(conn, "CREATE DATABASE shared");
    bool ok = PQresultStatus(made) == PGRES_COMMAND_OK;
    PQclear(made);
    PQfinish(conn);
    if (!ok) throw std::runtime_error("cannot create the database of the private server");
  }
  ~PrivatePostgres() {
    std::system(("bash '" + script_.string() + "' stop '" + state_.string() + "'").c_str());
  }
  PrivatePostgres(const PrivatePostgres&) = delete;
  PrivatePostgres& operator=(const PrivatePostgres&) = delete;

  std::string Url() {
    return "postgresql://" + env_["user"] + ":" + env_["password"] + "@" + env_["host"] + ":" +
           env_["port"] + "/shared";
  }
  // Stops the server as an administrator restarting it would: sessions' connections drop.
  void Stop() { PgCtl("-m fast -w stop"); }
  void Start() {
    PgCtl("-w -t 60 -l '" + env_["cluster"] + "/server.log' -o '-p " + env_["port"] + "' start");
  }

 private:
  static void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
  }
  void PgCtl(const std::string& arguments) {
    std::string owner = ::getuid() == 0 ? "runuser -u postgres -- " : "";
    Shell(
        "for d in $(pg_config --bindir 2>/dev/null) /usr/lib/postgresql/*/bin; do "
        "[ -x \"$d/pg_ctl\" ] && exec " +
        owner + "\"$d/pg_ctl\" -D '" + env_["cluster"] + "/data' " + arguments +
        " >/dev/null; done; exit 1");
  }

  std::filesystem::path script_;
  std::filesystem::path state_;
  std::map<std::string, std::string> env_;
};

}  // namespace mirelda::testing

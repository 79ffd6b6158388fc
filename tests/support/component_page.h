// Component tests run in the in-memory page host on a temporary C: drive. The data access classes
// that they link are reachable by ProgID as a page reaches them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "data/jet_file.h"
#include "host/test_host/test_host.h"
#include "mirelda/data.h"
#include "mirelda/path_map.h"
#include "mirelda/registry.h"
#include "support/postgres.h"
#include "support/print_variant.h"
#include "support/temp_dir.h"

namespace mirelda::testing {

using Rows = std::vector<std::vector<Variant>>;

// Every row of a query, as values.
inline Rows Query(Connection& connection, const std::string& sql) {
  std::shared_ptr<RecordSet> rs = connection.Execute(sql, -1);
  std::shared_ptr<Fields> fields = rs->GetFields();
  Rows rows;
  for (; !rs->IsEOF(); rs->MoveNext()) {
    std::vector<Variant> row;
    for (int32_t i = 0; i < fields->Count(); ++i) row.push_back(fields->Item(Variant(i))->Value());
    rows.push_back(std::move(row));
  }
  return rows;
}

// The statements that reached the data layer while it lived, as received.
class SqlTrace {
 public:
  SqlTrace() : file_(dir_ / "trace.log") { ::setenv("MIRELDA_TRACE_SQL", file_.c_str(), 1); }
  ~SqlTrace() { ::unsetenv("MIRELDA_TRACE_SQL"); }

  std::vector<std::string> Received() const {
    std::vector<std::string> statements;
    std::ifstream in(file_);
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("received\t", 0) != 0) continue;
      statements.push_back(line.substr(line.find('\t', 9) + 1));
    }
    return statements;
  }
  void Clear() const { std::filesystem::remove(file_); }

 private:
  TempDir dir_;
  std::filesystem::path file_;
};

class ComponentPage : public ::testing::Test {
 protected:
  void SetUp() override {
    paths::MapDrive('C', drive_.path());
    std::filesystem::create_directories(drive_ / "site" / "app");
    host_ = std::make_unique<host::TestHost>(drive_ / "site", "/app/page.asp");
  }
  void TearDown() override {
    host_.reset();
    paths::UnmapDrive('C');
  }

  // A component of class T started on the current page, as Server.CreateObject gives it.
  template <class T>
  std::shared_ptr<T> Start() {
    auto object = std::make_shared<T>();
    object->OnStartPage(host_->context_ptr());
    return object;
  }

  std::shared_ptr<Connection> Open(const std::string& connection_string) {
    auto connection = std::dynamic_pointer_cast<Connection>(CreateObject("ADODB.Connection"));
    connection->Open(connection_string);
    return connection;
  }

  // A fresh Jet file C:\<name> and the connection string that opens it.
  std::string NewJetFile(const std::string& name = "test.mdb") {
    data::CreateJetFile(drive_ / name, name, data::JetFormat::kJet40);
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\" + name;
  }

  std::filesystem::path HostPath(const std::string& relative) const { return drive_ / relative; }
  std::string Output() const { return host_->response().Output(); }
  const std::vector<std::string>& Writes() const { return host_->response().writes; }

  TempDir drive_;
  std::unique_ptr<host::TestHost> host_;
};

enum class Engine { kJet, kServer };

inline void PrintTo(Engine engine, std::ostream* os) {
  *os << (engine == Engine::kJet ? "Jet" : "Server");
}

inline std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::kJet ? "Jet" : "Server";
}

// A component test that runs once on a Jet file and once on the PostgreSQL server of the run.
class ComponentPageOnBothEngines : public ComponentPage,
                                   public ::testing::WithParamInterface<Engine> {
 protected:
  bool IsJet() const { return GetParam() == Engine::kJet; }
  // The connection string of a fresh, empty database of the engine under test.
  std::string NewDatabase() {
    if (IsJet()) return NewJetFile();
    return Postgres().ConnectionString(FreshPostgresDatabase());
  }
};

#define MIRELDA_ON_BOTH_ENGINES(suite)                                                          \
  INSTANTIATE_TEST_SUITE_P(                                                                     \
      Engines, suite,                                                                           \
      ::testing::Values(::mirelda::testing::Engine::kJet, ::mirelda::testing::Engine::kServer), \
      ::mirelda::testing::EngineName)

}  // namespace mirelda::testing

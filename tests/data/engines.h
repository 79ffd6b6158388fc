// Runs one test body on both engines: a fresh Jet file (SQLite) or a fresh database on the test
// run's PostgreSQL server.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/data_connection.h"
#include "data/data_record_set.h"
#include "data/jet_file.h"
#include "support/temp_dir.h"

namespace mirelda::data::testing {

enum class EngineKind { kJet, kServer };

using Table = std::vector<std::vector<Variant>>;

inline std::string EngineName(const ::testing::TestParamInfo<EngineKind>& info) {
  return info.param == EngineKind::kJet ? "Jet" : "Server";
}

// Creates a fresh database of the kind and gives its connection string.
std::string FreshDatabase(EngineKind kind, const mirelda::testing::TempDir& dir);

inline std::string JetConnectionString(const std::filesystem::path& file) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string();
}

// A new Jet 4.0 file in dir.
inline std::filesystem::path NewJetFile(const mirelda::testing::TempDir& dir,
                                        const std::string& name = "test.mdb") {
  std::filesystem::path file = dir / name;
  CreateJetFile(file, file.string(), JetFormat::kJet40);
  return file;
}

inline std::shared_ptr<DataConnection> Connect(const std::string& connection_string) {
  auto connection = std::make_shared<DataConnection>();
  connection->Open(connection_string);
  return connection;
}

// Every row of a query, read through a record set, as values.
inline Table Rows(Connection& connection, const std::string& sql) {
  std::shared_ptr<RecordSet> rs = connection.Execute(sql, -1);
  Table rows;
  std::shared_ptr<Fields> fields = rs->GetFields();
  while (!rs->IsEOF()) {
    std::vector<Variant> row;
    for (int32_t i = 0; i < fields->Count(); ++i) row.push_back(fields->Item(Variant(i))->Value());
    rows.push_back(std::move(row));
    rs->MoveNext();
  }
  return rows;
}

class BothEngines : public ::testing::TestWithParam<EngineKind> {
 protected:
  void SetUp() override {
    connection_string_ = FreshDatabase(GetParam(), dir_);
    db_ = Connect(connection_string_);
  }

  bool IsJet() const { return GetParam() == EngineKind::kJet; }
  void Exec(const std::string& sql) { db_->Execute(sql, -1); }
  Table Query(const std::string& sql) { return Rows(*db_, sql); }
  std::shared_ptr<DataRecordSet> OpenRs(const std::string& source, int32_t cursor = -1,
                                        int32_t lock = -1, int32_t options = -1) {
    auto rs = std::make_shared<DataRecordSet>();
    rs->Open(Variant(source), Variant(std::shared_ptr<Dispatch>(db_)), cursor, lock, options);
    return rs;
  }

  mirelda::testing::TempDir dir_;
  std::string connection_string_;
  std::shared_ptr<DataConnection> db_;
};

}  // namespace mirelda::data::testing

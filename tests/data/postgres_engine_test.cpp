// The server database: logging on, the server's catalog and databases, and names as written.
#include <gtest/gtest.h>

#include <thread>

#include "data/engines.h"
#include "support/error_matchers.h"
#include "support/postgres.h"

namespace mirelda::data::testing {
namespace {

using mirelda::testing::Postgres;

std::string Cs(const std::string& server, const std::string& rest) {
  return "driver={sql server};server=" + server + ";" + rest;
}

TEST(ServerDatabase, LogonFailuresAreReportedAsSuchAndServerFormsReachTheMaintenanceDatabase) {
  const auto& pg = Postgres();
  std::string user = "uid=" + pg.user;
  EXPECT_ERROR(Connect(Cs(pg.Server(), user + ";pwd=wrong")), errc::kLogonFailed);
  EXPECT_ERROR(Connect(Cs(pg.Server(), "uid=nobody;pwd=x")), errc::kLogonFailed);
  EXPECT_ERROR(Connect(Cs(pg.Server(), "database=missing;" + user + ";pwd=" + pg.password)),
               errc::kLogonFailed);
  // Nothing listens on the port: no logon took place.
  EXPECT_ERROR(Connect(Cs(pg.host + ",1", user + ";pwd=" + pg.password)), errc::kUnspecified);
  // Both server forms reach the maintenance database when none is named.
  std::string login = ";uid=" + pg.user + ";pwd=" + pg.password;
  for (std::string server :
       {pg.host + "," + std::to_string(pg.port), pg.host + ":" + std::to_string(pg.port)}) {
    auto conn = Connect("driver={SQL Server};server=" + server + login);
    EXPECT_EQ(Rows(*conn, "select current_database()"), (Table{{"postgres"}}));
  }
}

TEST(ServerDatabase, CreateDatabaseAndSysdatabases) {
  const auto& pg = Postgres();
  std::string name = "made" + std::to_string(::getpid());
  auto conn = Connect("driver={sql server};server=" + pg.Server() + ";uid=" + pg.user +
                      ";pwd=" + pg.password);
  const std::string probe = "select * from sysdatabases Where name = '" + name + "'";
  EXPECT_TRUE(conn->Execute(probe, -1)->IsEOF());
  conn->Execute("create database " + name, -1);
  auto rs = conn->Execute(probe, -1);
  ASSERT_FALSE(rs->IsEOF());
  EXPECT_EQ(rs->FieldValue(Variant("NAME")), Variant(name));
  // A name with a quote breaks the lookup.
  EXPECT_ERROR(conn->Execute("select * from sysdatabases Where name = 'a'b'", -1),
               errc::kSyntaxError);
  EXPECT_ERROR(conn->Execute("create database " + name, -1), errc::kSyntaxError);
  // The new database takes connections under its name in any letter case.
  auto inside = Connect(pg.ConnectionString(name));
  EXPECT_EQ(inside->State(), kStateOpen);
  inside->Close();
  EXPECT_EQ(Connect(pg.ConnectionString("MADE" + std::to_string(::getpid())))->State(), kStateOpen);
}

TEST(ServerDatabase, SerialColumnsAreAutoIncrementToo) {
  auto conn = Connect(Postgres().ConnectionString(mirelda::testing::FreshPostgresDatabase()));
  conn->Execute("CREATE TABLE s (id serial ,n int)", -1);
  conn->Execute("insert into s (n) values (7)", -1);
  auto fields = conn->Execute("select * from s", -1)->GetFields();
  auto flag = [&](int i) {
    return fields->Item(Variant(i))->GetProperties()->Item(Variant("ISAUTOINCREMENT"))->Value();
  };
  EXPECT_EQ(flag(0), Variant(true));
  EXPECT_EQ(flag(1), Variant(false));
  EXPECT_EQ(fields->Item(Variant("id"))->Value(), Variant(1));
}

TEST(ServerDatabase, ConnectionsCreatingTheFirstTablesAtOnceAllSucceed) {
  std::string cs = Postgres().ConnectionString(mirelda::testing::FreshPostgresDatabase());
  constexpr int kWriters = 4;
  std::vector<std::shared_ptr<DataConnection>> connections;
  for (int i = 0; i < kWriters; ++i) connections.push_back(Connect(cs));
  std::string failures[kWriters];
  std::vector<std::thread> threads;
  for (int i = 0; i < kWriters; ++i) {
    threads.emplace_back([&, i] {
      try {
        connections[i]->Execute("CREATE TABLE t" + std::to_string(i) + " (Name char)", -1);
      } catch (const Error& e) {
        failures[i] = e.description();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (const std::string& failure : failures) EXPECT_EQ(failure, "");
}

class ServerNames : public BothEngines {};

TEST_P(ServerNames, NamesAsWrittenSurviveQuotingAndForeignComments) {
  Exec("CREATE TABLE [Mixed Names] ([Long Name] char(20), plainName int, lower int)");
  Exec("insert into [Mixed Names] ([long name], PLAINNAME, lower) values ('x', 1, 2)");
  if (!IsJet()) {
    // A comment that is a note, not the column's name, leaves the name as the server has it.
    Exec("COMMENT ON COLUMN \"mixed names\".lower IS 'free text'");
  }
  auto rs = db_->Execute("select * from [Mixed Names]", -1);
  auto f = rs->GetFields();
  EXPECT_EQ(f->Item(Variant(0))->Name(), "Long Name");
  EXPECT_EQ(f->Item(Variant(1))->Name(), "plainName");
  EXPECT_EQ(f->Item(Variant(2))->Name(), "lower");
  EXPECT_EQ(f->Item(Variant("LONG NAME"))->Value(), Variant("x"));
}

INSTANTIATE_TEST_SUITE_P(Engines, ServerNames,
                         ::testing::Values(EngineKind::kJet, EngineKind::kServer), EngineName);

}  // namespace
}  // namespace mirelda::data::testing

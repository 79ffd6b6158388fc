// The connection a page hands to a component, with real connections on a Jet file: who holds
// it, who closes it, and what stays open.
#include <gtest/gtest.h>

#include "data/jet_file.h"
#include "database/database.h"
#include "host/test_host/test_host.h"
#include "mirelda/registry.h"
#include "support/error_matchers.h"
#include "support/temp_dir.h"

namespace mirelda {
namespace {

using mirelda::testing::TempDir;

class ConnectionLifecycle : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = dir_ / "site.mdb";
    data::CreateJetFile(file_, file_.string(), data::JetFormat::kJet40);
  }

  // A connection made as a page makes one: Server.CreateObject, then Open.
  std::shared_ptr<Connection> OpenConnection() {
    auto conn = std::dynamic_pointer_cast<Connection>(host_.CreateObject("ADODB.Connection"));
    conn->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file_.string());
    return conn;
  }

  // What TableExists does with the handed-over connection: a record set on it.
  static void Probe(const std::shared_ptr<Connection>& conn) {
    std::shared_ptr<Dispatch> rs = CreateObject("ADODB.RecordSet");
    rs->Call("Open", "select * from sqlite_master", conn);
    rs->Call("Close");
  }

  TempDir dir_;
  std::filesystem::path file_;
  host::TestHost host_{dir_.path()};
};

TEST_F(ConnectionLifecycle, ASecondSetConnectionReleasesTheFirstWithoutClosingIt) {
  auto db = std::make_shared<database::Database>();
  auto first = OpenConnection();
  auto second = OpenConnection();
  db->Set("setConnection", first);
  db->Set("setConnection", second);
  EXPECT_EQ(db->connection(), second);
  EXPECT_EQ(first.use_count(), 1);  // the component keeps no reference to it
  EXPECT_EQ(first->State(), kStateOpen);
  Probe(first);
}

TEST_F(ConnectionLifecycle, CloseDbClosesAndDropsASecondCallFailsAndAFailedCloseKeepsIt) {
  auto db = std::make_shared<database::Database>();
  auto conn = OpenConnection();
  db->Set("setConnection", conn);
  db->Call("closeDB");
  EXPECT_EQ(conn->State(), kStateClosed);
  EXPECT_EQ(db->connection(), nullptr);
  EXPECT_ERROR(db->Call("closeDB"), errc::kObjectVariableNotSet);
  // Neither the component nor a page holding the old object can read through it any more.
  EXPECT_ERROR(Probe(conn), errc::kConnectionInvalid);
  EXPECT_ERROR(Probe(db->connection()), errc::kConnectionInvalid);
  // When the close fails, because the page closed it itself, the reference stays.
  auto closed = OpenConnection();
  db->Set("setConnection", closed);
  closed->Close();
  EXPECT_ERROR(db->Call("closeDB"), errc::kObjectClosed);
  EXPECT_EQ(db->connection(), closed);
}

TEST_F(ConnectionLifecycle, TheEndOfThePageLeavesAnOpenConnectionOpen) {
  std::shared_ptr<Connection> conn;
  std::shared_ptr<database::Database> db;
  host_.RunPage([&](host::TestContext&) {
    db = std::dynamic_pointer_cast<database::Database>(host_.CreateObject("Mirelda.Database"));
    conn = OpenConnection();
    db->Set("setConnection", conn);
  });
  EXPECT_EQ(db->context(), nullptr);  // OnEndPage ran
  EXPECT_EQ(db->connection(), conn);
  EXPECT_EQ(conn->State(), kStateOpen);
  Probe(db->connection());
}

}  // namespace
}  // namespace mirelda

// CreateTable on a real database: the statement as it reaches the data layer, run once.
#include <gtest/gtest.h>

#include "database/database.h"
#include "support/bar_list.h"
#include "support/component_page.h"
#include "support/error_matchers.h"

namespace mirelda::database {
namespace {

using testing::BarList;

class TableBuilder : public testing::ComponentPageOnBothEngines {
 protected:
  void SetUp() override {
    ComponentPageOnBothEngines::SetUp();
    db_ = Start<Database>();
    connection_ = Open(NewDatabase());
    db_->setConnection(connection_);
  }
  Variant Create(int16_t ver, const std::string& table, const std::string& names,
                 const std::string& types, const std::string& sizes, const std::string& nulls,
                 const std::string& key = "", const std::string& refs = "") {
    return db_->Call("CreateTable", ver, table, BarList(names), BarList(types), BarList(sizes),
                     BarList(nulls), key, refs);
  }

  std::shared_ptr<Database> db_;
  std::shared_ptr<Connection> connection_;
};

TEST_P(TableBuilder, RunsTheStatementOnceAsBuilt) {
  testing::SqlTrace trace;
  EXPECT_EQ(Create(1, "TableReference", "id|tableCode|tableName|tableType",
                   "autoincrement|char|char|int", "|||", "|||", "id"),
            Variant("创建表成功"));
  EXPECT_EQ(trace.Received(),
            (std::vector<std::string>{"CREATE TABLE TableReference (id autoincrement ,tableCode "
                                      "char ,tableName char ,tableType int ,PRIMARY KEY (id))"}));
  connection_->Execute("insert into TableReference (tableCode) values ('x')", -1);
  EXPECT_EQ(testing::Query(*connection_, "select id from TableReference"),
            (testing::Rows{{Variant(1)}}));
}

TEST_P(TableBuilder, TheDatabaseDecidesAndItsReasonIsNotPassedOn) {
  ASSERT_EQ(Create(1, "t", "a|b", "int|char", "|(20)", "NOT NULL|NULL", "a"),
            Variant("创建表成功"));
  EXPECT_EQ(Create(1, "t", "a", "int", "", "", ""), Variant("创建表失败"));  // exists
  EXPECT_EQ(Create(1, "u", "id|n", "int|int", "|", "|", "id,"), Variant("创建表失败"));
  EXPECT_FALSE(PendingError().pending());
  EXPECT_EQ(testing::Query(*connection_, "select * from t").size(), 0u);
}

TEST_P(TableBuilder, ReferencesAreWrittenOnlyWithVersionTwo) {
  ASSERT_EQ(Create(1, "t1", "pid", "int", "", "", "pid"), Variant("创建表成功"));
  testing::SqlTrace trace;
  EXPECT_EQ(Create(2, "t2", "id|pid", "int|int", "|", "|", "id", "t1&pid"), Variant("创建表成功"));
  EXPECT_EQ(Create(1, "t3", "id|pid", "int|int", "|", "|", "id", "t1&pid"), Variant("创建表成功"));
  EXPECT_EQ(trace.Received(),
            (std::vector<std::string>{
                "CREATE TABLE t2 (id int ,pid int ,PRIMARY KEY (id),(pid) REFERENCES t1(pid))",
                "CREATE TABLE t3 (id int ,pid int ,PRIMARY KEY (id))"}));
}

TEST_P(TableBuilder, WithoutAnOpenConnectionTheStatementFails) {
  db_->setConnection(nullptr);
  EXPECT_EQ(Create(1, "t", "a", "int", "", ""), Variant("创建表失败"));
  auto outside = std::make_shared<Database>();  // no page at all: only the connection is needed
  outside->setConnection(connection_);
  EXPECT_EQ(
      outside->Call("CreateTable", 1, "v", BarList("a"), BarList("int"), BarList(""), BarList("")),
      Variant("创建表成功"));
  connection_->Close();
  EXPECT_EQ(Create(1, "w", "a", "int", "", ""), Variant("创建表失败"));
}

TEST_P(TableBuilder, ChecksEndTheCallBeforeAnythingRuns) {
  testing::SqlTrace trace;
  EXPECT_EQ(Create(1, "t", "a|b", "int", "|", "|"), Variant("所提供的字段属性错误"));
  EXPECT_ERROR(
      db_->Call("CreateTable", 1, "t", Variant("a"), BarList("int"), BarList(""), BarList("")),
      errc::kTypeMismatch);
  EXPECT_ERROR(Create(2, "t", "id", "int", "", "", "id", "t1&id|"), errc::kSubscriptOutOfRange);
  EXPECT_TRUE(trace.Received().empty());
}

MIRELDA_ON_BOTH_ENGINES(TableBuilder);

}  // namespace
}  // namespace mirelda::database

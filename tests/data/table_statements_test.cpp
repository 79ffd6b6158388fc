// The CREATE TABLE statements that the table builder sends, as it builds them, on both engines.
// (The dictionary, lookup and logon statements run through the components in their own tests.)
#include <gtest/gtest.h>

#include "data/engines.h"
#include "support/error_matchers.h"

namespace mirelda::data::testing {
namespace {

class TableStatements : public BothEngines {
 protected:
  bool TableExists(const std::string& name) {
    try {
      OpenRs("select * from " + name)->Close();
    } catch (const Error&) {
      return false;
    }
    return true;
  }
};

TEST_P(TableStatements, RunAsBuiltWithMemoAsLongText) {
  Exec("CREATE TABLE t (a int NOT NULL,b char(20) NULL,PRIMARY KEY (a))");
  Exec("CREATE TABLE t3 (a int ,b char )");
  Exec("CREATE TABLE t1 (pid int ,PRIMARY KEY (pid))");
  Exec("CREATE TABLE t2 (id int ,pid int ,PRIMARY KEY (id),(pid) REFERENCES t1(pid))");
  for (const char* table : {"t", "t1", "t2", "t3"}) EXPECT_TRUE(TableExists(table)) << table;
  EXPECT_ANY_THROW(Exec("CREATE TABLE t5 (id int ,PRIMARY KEY (id,))"));
  EXPECT_FALSE(TableExists("t5"));
  EXPECT_ANY_THROW(Exec("CREATE TABLE t (a int )"));  // exists already
  // A lone int key is no row id that numbers itself: a row without it is refused.
  EXPECT_ANY_THROW(Exec("insert into t (b) values ('no key')"));
  // Memo is long text.
  Exec(
      "CREATE TABLE adminMenu (adminMenuID autoincrement ,adminMenuRemark memo ,"
      "PRIMARY KEY (adminMenuID))");
  Exec("insert into adminMenu (adminMenuRemark) values ('" + std::string(5000, 'x') + "')");
  auto fields = db_->Execute("select * from adminMenu", -1)->GetFields();
  EXPECT_EQ(fields->Item(Variant("adminMenuRemark"))->Type(), field_type::kLongVarWChar);
  EXPECT_EQ(Query("select adminMenuRemark from adminMenu")[0][0].ToString().size(), 5000u);
}

INSTANTIATE_TEST_SUITE_P(Engines, TableStatements,
                         ::testing::Values(EngineKind::kJet, EngineKind::kServer), EngineName);

}  // namespace
}  // namespace mirelda::data::testing

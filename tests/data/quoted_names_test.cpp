// Table and column names holding quote characters, written the Jet way ([name]) and the server
// way ("name"), through the dialect rewrite, the record set's own statements and the catalog, on
// both engines. A name must stay one name: never end early, never let text after it run as SQL.
#include <gtest/gtest.h>

#include "data/engines.h"

namespace mirelda::data::testing {
namespace {

class QuotedNames : public BothEngines {};

TEST_P(QuotedNames, NamesWithQuotesStayOneName) {
  const struct {
    const char* table;   // bracketed
    const char* column;  // bracketed
    const char* column_name;
  } cases[] = {
      {"[we\"ird]", "[f\"1]", "f\"1"},
      {"[it's]", "[o'k]", "o'k"},
      {"[both\"']", "[\"\"]", "\"\""},
      {"[x\"; drop table keep; --]", "[y'); drop table keep; --]", "y'); drop table keep; --"},
  };
  Exec("CREATE TABLE keep (id int ,PRIMARY KEY (id))");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    const std::string t = c.table, f = c.column;
    Exec("CREATE TABLE " + t + " (" + f + " int ,note varchar(20) ,PRIMARY KEY (" + f + "))");
    Exec("INSERT INTO " + t + " (" + f + ", note) VALUES (1, 'a''b')");
    EXPECT_EQ(Query("SELECT " + f + ", note FROM " + t), (Table{{1, "a'b"}}));

    auto rs = OpenRs("SELECT * FROM " + t, 1, 3);
    EXPECT_EQ(rs->GetFields()->Item(Variant(0))->Name(), c.column_name);
    rs->PutFieldItem(Variant("note"), Variant("changed"));
    rs->Update(Variant::Missing(), Variant::Missing());
    rs->AddNew(Variant::Missing(), Variant::Missing());
    rs->PutFieldItem(Variant(c.column_name), Variant(2));
    rs->Update(Variant::Missing(), Variant::Missing());
    rs->Close();
    EXPECT_EQ(Query("SELECT " + f + ", note FROM " + t + " ORDER BY " + f),
              (Table{{1, "changed"}, {2, Variant::Null()}}));
    Exec("DROP TABLE " + t);
  }
  EXPECT_EQ(Query("SELECT count(*) FROM keep")[0][0].ToLong(), 0);
}

TEST(QuotedServerNames, DoubledQuotesInServerNames) {
  mirelda::testing::TempDir dir;
  auto db = Connect(FreshDatabase(EngineKind::kServer, dir));
  db->Execute("CREATE TABLE \"a\"\"b\" (\"c\"\"d\" int, \"e'f\" int)", -1);
  db->Execute("INSERT INTO [a\"b] ([c\"d], [e'f]) VALUES (1, 2)", -1);
  EXPECT_EQ(Rows(*db, "SELECT \"c\"\"d\", \"e'f\" FROM \"a\"\"b\""), (Table{{1, 2}}));
}

INSTANTIATE_TEST_SUITE_P(Engines, QuotedNames,
                         ::testing::Values(EngineKind::kJet, EngineKind::kServer), EngineName);

}  // namespace
}  // namespace mirelda::data::testing

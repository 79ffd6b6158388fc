// Values bound to "?" placeholders on both engines: they reach the table byte for byte, never
// through the statement's text.
#include <gtest/gtest.h>

#include "data/data_errors.h"
#include "data/engines.h"
#include "support/error_matchers.h"

namespace mirelda::data::testing {
namespace {

class BoundParameters : public BothEngines {
 protected:
  Engine& engine() { return db_->OpenEngineOrRaise(); }
  RunResult Run(const std::string& sql, std::vector<Variant> values, int32_t timeout = 0) {
    return engine().Execute(sql, values, timeout);
  }
};

struct RoundTrip {
  const char* name;
  const char* column;  // the column type, in the dialect of both engines
  Variant value;
  Variant expected;  // what the column reads back
};

std::string Large() {
  std::string text;
  while (text.size() < 100 * 1024) text += "价格 it's \"0123456789\" ";
  return text;
}

TEST_P(BoundParameters, ValuesReadBackAsWritten) {
  const RoundTrip cases[] = {
      {"quote", "varchar(50)", Variant("O'Brien'; DROP TABLE t --"),
       Variant("O'Brien'; DROP TABLE t --")},
      {"chinese", "varchar(50)", Variant("北京市朝阳区"), Variant("北京市朝阳区")},
      {"large", "memo", Variant(Large()), Variant(Large())},
      {"long", "int", Variant(int32_t{-2147483647}), Variant(int32_t{-2147483647})},
      {"boolean", "int", Variant(true), Variant(int32_t{1})},
      {"double", "float", Variant(0.1), Variant(0.1)},
      {"currency", "money", Variant(Currency{-123456789}), Variant(-12345.6789)},
      {"date", "datetime", Variant(Date::FromParts(2024, 2, 29, 23, 59, 58)),
       Variant(Date::FromParts(2024, 2, 29, 23, 59, 58))},
      {"null", "varchar(5)", Variant::Null(), Variant::Null()},
      {"empty", "int", Variant(), Variant::Null()},
      {"bytes", "image", Variant(ByteArray(std::string_view("\0\xff\x01", 3))),
       Variant(ByteArray(std::string_view("\0\xff\x01", 3)))},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.name);
    Exec(std::string("create table t_") + c.name + " (v " + c.column + ")");
    RunResult wrote = Run(std::string("insert into t_") + c.name + " (v) values (?)", {c.value});
    EXPECT_EQ(wrote.rows_affected, 1);
    EXPECT_FALSE(wrote.rows);
    auto rows = Query(std::string("select v from t_") + c.name);
    ASSERT_EQ(rows.size(), 1u);
    Variant got = rows[0][0];
    if (got.type() == VarType::kDouble && c.expected.type() == VarType::kDouble) {
      EXPECT_EQ(got.ToDouble(), c.expected.ToDouble());
    } else {
      EXPECT_EQ(got, c.expected);
    }
  }
}

TEST_P(BoundParameters, PlaceholdersOnlyOutsideLiteralsAndNames) {
  Exec("create table q (\"a?b\" varchar(9), v varchar(9))");
  Run("insert into q (\"a?b\", v) values ('?', ?)", {Variant("x")});
  auto rows = Query("select [a?b], v from q where v = 'x' /* ? */ -- ?");
  EXPECT_EQ(rows, (Table{{"?", "x"}}));
  RunResult found = Run("select count(*) from q where v = ? and [a?b] = '?'", {Variant("x")});
  ASSERT_TRUE(found.rows);
  EXPECT_EQ(found.rows->Value(0, 0).ToLong(), 1);
  EXPECT_EQ(found.rows_affected, -1);
}

TEST_P(BoundParameters, CountsMustMatchAndRowsAffectedAreReported) {
  Exec("create table c (k int, v varchar(9))");
  EXPECT_ERROR(Run("insert into c (k, v) values (?, ?)", {Variant(1)}),
               data_errc::kParameterMissing);
  EXPECT_ERROR(Run("insert into c (k) values (?)", {Variant(1), Variant(2)}),
               data_errc::kBadArguments);
  EXPECT_ERROR(Run("insert into c (k) values (?)", {}), data_errc::kParameterMissing);
  EXPECT_TRUE(Query("select k from c").empty());
  for (int k = 0; k < 5; ++k) Run("insert into c (k, v) values (?, ?)", {Variant(k), Variant("v")});
  EXPECT_EQ(Run("update c set v = ? where k >= ?", {Variant("w"), Variant(2)}).rows_affected, 3);
  EXPECT_EQ(Run("delete from c where k < ?", {Variant(1)}).rows_affected, 1);
  EXPECT_EQ(Run("create table d (k int)", {}).rows_affected, -1);
  VariantArray array;
  EXPECT_ERROR(Run("insert into c (k) values (?)", {Variant(array)}), errc::kTypeMismatch);
}

TEST_P(BoundParameters, TimeoutCancelsTheStatement) {
  const char* slow = IsJet() ? "with recursive n(i) as (select 1 union all select i + 1 from n) "
                               "select count(*) from n"
                             : "select pg_sleep(30)";
  EXPECT_ERROR(Run(slow, {}, 1), data_errc::kCommandTimeout);
  // The connection serves the next statement, without the limit.
  EXPECT_EQ(Run("select ? + 1", {Variant(41)}, 0).rows->Value(0, 0).ToLong(), 42);
}

INSTANTIATE_TEST_SUITE_P(Engines, BoundParameters,
                         ::testing::Values(EngineKind::kJet, EngineKind::kServer), EngineName);

}  // namespace
}  // namespace mirelda::data::testing

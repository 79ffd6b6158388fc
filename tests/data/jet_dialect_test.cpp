// The Jet dialect's translation for SQLite: what must pass untouched, and the rewrites whose
// effect the engine tests cannot see on their own.
#include "data/jet_dialect.h"

#include <gtest/gtest.h>

#include "support/error_matchers.h"

namespace mirelda::data {
namespace {

TEST(JetDialect, TextThatNeedsNoTranslationPassesByteForByte) {
  for (const char* sql : {"select * from TableReference",
                          "select FieldName from FieldReference where tabID in (select id from "
                          "Tablereference where tableCode='x') and FieldCode='y';",
                          "update t set  a='x -- not a comment' /* note */ where b=1"}) {
    EXPECT_EQ(TranslateJet(sql), sql);
  }
}

TEST(JetDialect, AnotherPrimaryKeyBesideTheAutoNumberBecomesUnique) {
  EXPECT_EQ(TranslateJet("CREATE TABLE t (id counter, a int, PRIMARY KEY (id,a))"),
            "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, a INT, UNIQUE (id,a))");
  EXPECT_EQ(TranslateJet("CREATE TABLE t (a int primary key, id counter primary key)"),
            "CREATE TABLE t (a INT UNIQUE, id INTEGER PRIMARY KEY AUTOINCREMENT )");
  EXPECT_EQ(TranslateJet("CREATE TABLE t (PRIMARY KEY (id), id autoincrement, b text(5))"),
            "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, b VARCHAR(5) COLLATE NOCASE)");
}

TEST(JetDialect, LiteralsAndNamesAreNeverTranslated) {
  EXPECT_EQ(TranslateJet("insert into [memo] ([char], datetime) values ('autoincrement', 'memo')"),
            "insert into [memo] ([char], datetime) values ('autoincrement', 'memo')");
  EXPECT_EQ(TranslateJet("select a & 'x & y' from t where b = \"it's\""),
            "select a || 'x & y' from t where b = 'it''s'");
}

TEST(JetDialect, DateLiteralsReadMonthFirst) {
  EXPECT_EQ(TranslateJet("select * from t where d > #1/5/2024# and e < #2024-02-03 4:05:06 PM#"),
            "select * from t where d > '2024-01-05' and e < '2024-02-03 16:05:06'");
  EXPECT_EQ(TranslateJet("select * from t where d = #13/45/2024#"),
            "select * from t where d = #13/45/2024#");
}

TEST(JetDialect, TopBecomesALimitOfItsOwnSelect) {
  EXPECT_EQ(TranslateJet("select * from t where id in (select TOP 2 id from u order by id);"),
            "select * from t where id in (select id from u order by id LIMIT 2);");
  EXPECT_EQ(TranslateJet("select top 3 * from t -- newest"), "select * from t LIMIT 3 -- newest");
  EXPECT_EQ(TranslateJet("select top 10 percent * from t"), "select top 10 percent * from t");
}

TEST(JetDialect, UnterminatedTextIsASyntaxError) {
  EXPECT_ERROR(TranslateJet("select 'unclosed"), errc::kSyntaxError);
  EXPECT_ERROR(TranslateJet("select 1 /* unclosed"), errc::kSyntaxError);
  EXPECT_ERROR(TranslateJet("  -- nothing\n"), errc::kSyntaxError);
}

}  // namespace
}  // namespace mirelda::data

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

TEST(JetDialect, RewritesKeysLiteralsDatesAndTop) {
  const std::pair<const char*, const char*> cases[] = {
      // Another primary key beside the AutoNumber becomes unique.
      {"CREATE TABLE t (id counter, a int, PRIMARY KEY (id,a))",
       "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, a INT, UNIQUE (id,a))"},
      {"CREATE TABLE t (a int primary key, id counter primary key)",
       "CREATE TABLE t (a INT UNIQUE, id INTEGER PRIMARY KEY AUTOINCREMENT )"},
      {"CREATE TABLE t (PRIMARY KEY (id), id autoincrement, b text(5))",
       "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, b VARCHAR(5) COLLATE NOCASE)"},
      // Literals and names are never translated.
      {"insert into [memo] ([char], datetime) values ('autoincrement', 'memo')",
       "insert into [memo] ([char], datetime) values ('autoincrement', 'memo')"},
      {"select a & 'x & y' from t where b = \"it's\"",
       "select a || 'x & y' from t where b = 'it''s'"},
      // Date literals read month first.
      {"select * from t where d > #1/5/2024# and e < #2024-02-03 4:05:06 PM#",
       "select * from t where d > '2024-01-05' and e < '2024-02-03 16:05:06'"},
      {"select * from t where d = #13/45/2024#", "select * from t where d = #13/45/2024#"},
      // TOP becomes a limit of its own select.
      {"select * from t where id in (select TOP 2 id from u order by id);",
       "select * from t where id in (select id from u order by id LIMIT 2);"},
      {"select top 3 * from t -- newest", "select * from t LIMIT 3 -- newest"},
      {"select top 10 percent * from t", "select top 10 percent * from t"},
  };
  for (auto [jet, translated] : cases) EXPECT_EQ(TranslateJet(jet), translated) << jet;
}

TEST(JetDialect, UnterminatedTextIsASyntaxError) {
  EXPECT_ERROR(TranslateJet("select 'unclosed"), errc::kSyntaxError);
  EXPECT_ERROR(TranslateJet("select 1 /* unclosed"), errc::kSyntaxError);
  EXPECT_ERROR(TranslateJet("  -- nothing\n"), errc::kSyntaxError);
}

}  // namespace
}  // namespace mirelda::data

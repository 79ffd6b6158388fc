// The Jet dialect's translation for SQLite: what changes, and that nothing else does.
#include "data/jet_dialect.h"

#include <gtest/gtest.h>

#include "support/error_matchers.h"

namespace mirelda::data {
namespace {

TEST(JetDialect, TextThatNeedsNoTranslationPassesByteForByte) {
  for (const char* sql : {"select * from TableReference",
                          "insert into FieldReference (tabID,fieldCode,fieldName,fieldType,"
                          "addStyle) values (1,'id','编  号',1,'0')",
                          "select FieldName from FieldReference where tabID in (select id from "
                          "Tablereference where tableCode='x') and FieldCode='y';",
                          "update t set  a='x -- not a comment' /* note */ where b=1"}) {
    EXPECT_EQ(TranslateJet(sql), sql);
  }
}

TEST(JetDialect, TheTableBuildersStatementTakesTheKeyIntoTheAutoNumber) {
  EXPECT_EQ(TranslateJet("CREATE TABLE TableReference (id autoincrement ,tableCode char ,tableName "
                         "char ,tableType int ,PRIMARY KEY (id))"),
            "CREATE TABLE TableReference (id INTEGER PRIMARY KEY AUTOINCREMENT ,tableCode "
            "VARCHAR(255) COLLATE NOCASE ,tableName VARCHAR(255) COLLATE NOCASE ,tableType "
            "INT )");
  EXPECT_EQ(TranslateJet("CREATE TABLE t (a int NOT NULL,b char(20) NULL,PRIMARY KEY (a))"),
            "CREATE TABLE t (a INT NOT NULL,b VARCHAR(20) COLLATE NOCASE NULL,PRIMARY KEY (a))");
  EXPECT_EQ(TranslateJet("create table m (remark memo, at datetime, c COUNTER(1,1))"),
            "create table m (remark TEXT COLLATE NOCASE, at DATETIME, c INTEGER PRIMARY KEY "
            "AUTOINCREMENT)");
}

TEST(JetDialect, AnotherPrimaryKeyBesideTheAutoNumberBecomesUnique) {
  EXPECT_EQ(TranslateJet("CREATE TABLE t (id counter, a int, PRIMARY KEY (id,a))"),
            "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, a INT, UNIQUE (id,a))");
  EXPECT_EQ(TranslateJet("CREATE TABLE t (a int primary key, id counter primary key)"),
            "CREATE TABLE t (a INT UNIQUE, id INTEGER PRIMARY KEY AUTOINCREMENT )");
  EXPECT_EQ(TranslateJet("CREATE TABLE t (PRIMARY KEY (id), id autoincrement, b text(5))"),
            "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, b VARCHAR(5) COLLATE NOCASE)");
}

TEST(JetDialect, ABareReferencesClauseIsAForeignKey) {
  EXPECT_EQ(TranslateJet("CREATE TABLE t (id int ,pid int ,PRIMARY KEY (id),(pid) REFERENCES "
                         "t1(pid))"),
            "CREATE TABLE t (id INT ,pid INT ,PRIMARY KEY (id),FOREIGN KEY (pid) "
            "REFERENCES t1(pid))");
}

TEST(JetDialect, LiteralsAndNamesAreNeverTranslated) {
  EXPECT_EQ(TranslateJet("insert into [memo] ([char], datetime) values ('autoincrement', 'memo')"),
            "insert into [memo] ([char], datetime) values ('autoincrement', 'memo')");
  EXPECT_EQ(TranslateJet("select a & 'x & y' from t where b = \"it's\""),
            "select a || 'x & y' from t where b = 'it''s'");
}

TEST(JetDialect, DateLiteralsNowAndTop) {
  EXPECT_EQ(TranslateJet("select * from t where d > #1/5/2024# and e < #2024-02-03 4:05:06 PM#"),
            "select * from t where d > '2024-01-05' and e < '2024-02-03 16:05:06'");
  EXPECT_EQ(TranslateJet("insert into t (d) values (Now())"),
            "insert into t (d) values (datetime('now','localtime'))");
  EXPECT_EQ(TranslateJet("select top 3 * from t order by id desc"),
            "select * from t order by id desc LIMIT 3");
  EXPECT_EQ(TranslateJet("select * from t where id in (select TOP 2 id from u order by id);"),
            "select * from t where id in (select id from u order by id LIMIT 2);");
  EXPECT_EQ(TranslateJet("select top 10 percent * from t"), "select top 10 percent * from t");
}

TEST(JetDialect, OnlyOneStatementIsAccepted) {
  EXPECT_EQ(TranslateJet("select 1;  -- done"), "select 1;  -- done");
  EXPECT_ERROR(TranslateJet("select 1; drop table t"), errc::kSyntaxError);
  EXPECT_ERROR(TranslateJet("select 1;;"), errc::kSyntaxError);
  EXPECT_ERROR(TranslateJet("  -- nothing\n"), errc::kSyntaxError);
  EXPECT_ERROR(TranslateJet("select 'unclosed"), errc::kSyntaxError);
  EXPECT_ERROR(TranslateJet("select 1 /* unclosed"), errc::kSyntaxError);
}

}  // namespace
}  // namespace mirelda::data

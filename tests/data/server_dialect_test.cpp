// The server dialect's translation for PostgreSQL.
#include "data/server_dialect.h"

#include <gtest/gtest.h>

#include "support/error_matchers.h"

namespace mirelda::data {
namespace {

TEST(ServerDialect, TextThatNeedsNoTranslationPassesByteForByte) {
  for (const char* sql : {"select * from TableReference", "create database shop",
                          "insert into administrator (adminName) values ('[x] \"y\" like z')",
                          "update person Set  personCount=2 where personID=1"}) {
    ServerStatement st = TranslateServer(sql);
    EXPECT_EQ(st.sql, sql);
    EXPECT_FALSE(st.composite);
  }
}

TEST(ServerDialect, CreateTableMapsTypesAndRecordsMixedCaseNames) {
  ServerStatement st = TranslateServer(
      "CREATE TABLE TableReference (id autoincrement ,tableCode char ,tableName char ,tableType "
      "int ,PRIMARY KEY (id))");
  EXPECT_TRUE(st.composite);
  EXPECT_TRUE(st.changes_schema);
  EXPECT_EQ(st.sql,
            "CREATE COLLATION IF NOT EXISTS mirelda_ci (provider = icu, locale = "
            "'und-u-ks-level2', deterministic = false);\n"
            "CREATE TABLE TableReference (id integer GENERATED ALWAYS AS IDENTITY ,tableCode "
            "varchar(255) COLLATE mirelda_ci ,tableName varchar(255) COLLATE mirelda_ci ,tableType "
            "integer ,PRIMARY KEY (id));\n"
            "COMMENT ON COLUMN TableReference.tableCode IS 'tableCode';\n"
            "COMMENT ON COLUMN TableReference.tableName IS 'tableName';\n"
            "COMMENT ON COLUMN TableReference.tableType IS 'tableType'");
}

TEST(ServerDialect, TypesOfBothDialectsAndIdentityColumns) {
  EXPECT_EQ(TranslateServer("create table t (a int identity(5,2) primary key, b datetime, c "
                            "memo COLLATE \"C\", d float, e bit, f varchar(max))")
                .sql,
            "CREATE COLLATION IF NOT EXISTS mirelda_ci (provider = icu, locale = "
            "'und-u-ks-level2', deterministic = false);\n"
            "create table t (a integer GENERATED ALWAYS AS IDENTITY (START WITH 5 INCREMENT BY 2) "
            "primary key, b timestamp(0), c text COLLATE \"c\", d double precision, e smallint, f "
            "text COLLATE mirelda_ci)");
  EXPECT_EQ(TranslateServer("CREATE TABLE t (id int ,pid int ,PRIMARY KEY (id),(pid) "
                            "REFERENCES t1(pid));")
                .sql,
            "CREATE TABLE t (id integer ,pid integer ,PRIMARY KEY (id),FOREIGN KEY (pid) "
            "REFERENCES t1(pid));");
  ServerStatement add = TranslateServer("ALTER TABLE [dbo].[News] ADD [PostedAt] datetime");
  EXPECT_EQ(add.sql,
            "ALTER TABLE \"news\" ADD \"postedat\" timestamp(0);\n"
            "COMMENT ON COLUMN \"news\".\"postedat\" IS 'PostedAt'");
}

TEST(ServerDialect, CatalogNamesAndSchema) {
  EXPECT_EQ(TranslateServer("select * from sysdatabases Where name = 'shop'").sql,
            "select * from (SELECT datname::text AS name, oid::integer AS dbid FROM pg_database "
            "WHERE datallowconn) AS sysdatabases Where name = 'shop'");
  EXPECT_EQ(TranslateServer("select name from master..sysdatabases d").sql,
            "select name from (SELECT datname::text AS name, oid::integer AS dbid FROM "
            "pg_database WHERE datallowconn) d");
  EXPECT_EQ(TranslateServer("select * from dbo.news where [Title]=\"x\"").sql,
            "select * from news where \"title\"=\"x\"");
}

TEST(ServerDialect, LikeTopAndGetdate) {
  EXPECT_EQ(
      TranslateServer("select * from t where a like 'x%' and b not like lower(c) escape '!'").sql,
      "select * from t where a ILIKE 'x%' COLLATE \"default\" and b not ILIKE lower(c) "
      "COLLATE \"default\" escape '!'");
  EXPECT_EQ(TranslateServer("select top 5 * from t order by id desc").sql,
            "select * from t order by id desc LIMIT 5");
  EXPECT_EQ(TranslateServer("update t set d=getdate()").sql, "update t set d=LOCALTIMESTAMP(0)");
}

TEST(ServerDialect, AliasesAreReportedAsWritten) {
  EXPECT_EQ(TranslateServer("select MAX(id) as maxID, t.Name, x AS [Long Name], y+1 Total, z "
                            "from t")
                .aliases,
            (std::vector<std::string>{"maxID", "Long Name", "Total"}));
  EXPECT_TRUE(TranslateServer("select Name, t.Title from t").aliases.empty());
}

TEST(ServerDialect, OnlyOneStatementIsAccepted) {
  EXPECT_ERROR(TranslateServer("select 1; select 2"), errc::kSyntaxError);
  EXPECT_ERROR(TranslateServer("CREATE TABLE a (b char); drop table c"), errc::kSyntaxError);
  EXPECT_ERROR(TranslateServer("select [x from t"), errc::kSyntaxError);
}

}  // namespace
}  // namespace mirelda::data

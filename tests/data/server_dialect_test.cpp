// The server dialect's translation for PostgreSQL: what must pass untouched, and the rewrites
// whose effect the engine tests cannot see on their own.
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

TEST(ServerDialect, CatalogNamesQuotedNamesSchemaAndLikePatterns) {
  const std::string catalog =
      "(SELECT datname::text AS name, oid::integer AS dbid FROM pg_database WHERE datallowconn)";
  const std::pair<std::string, std::string> cases[] = {
      {"select * from sysdatabases Where name = 'shop'",
       "select * from " + catalog + " AS sysdatabases Where name = 'shop'"},
      {"select name from master..sysdatabases d", "select name from " + catalog + " d"},
      {"select * from dbo.news where [Title]=\"x\"", "select * from news where \"title\"=\"x\""},
      // LIKE patterns name a deterministic collation.
      {"select * from t where a like 'x%' and b not like lower(c) escape '!'",
       "select * from t where a ILIKE 'x%' COLLATE \"default\" and b not ILIKE lower(c) "
       "COLLATE \"default\" escape '!'"},
  };
  for (const auto& [sql, translated] : cases) EXPECT_EQ(TranslateServer(sql).sql, translated);
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

// Connection strings: how they are read, and which engine each one names.
#include "data/connection_string.h"

#include <gtest/gtest.h>

#include <optional>

#include "mirelda/settings.h"
#include "support/error_matchers.h"

namespace mirelda::data {
namespace {

TEST(ConnectionString, KeysIgnoreCaseAndBlanksValuesKeepTheirTextAndQuotesHoldSeparators) {
  const char* messy =
      "  PROVIDER = Microsoft.Jet.OLEDB.4.0 ;data  SOURCE= D:\\a b\\shop.mdb ; ;junk;x=";
  const char* quoted =
      "driver={Microsoft Access Driver (*.mdb)};pwd={a;b}}c};uid=\"x;\"\"y\";server='s;1' ";
  const struct {
    const char* text;
    const char* key;
    std::optional<std::string> value;
  } cases[] = {
      {messy, "provider", "Microsoft.Jet.OLEDB.4.0"},
      {messy, "Data Source", "D:\\a b\\shop.mdb"},
      {messy, "x", ""},
      {messy, "junk", std::nullopt},
      {messy, "dbq", std::nullopt},
      {quoted, "DRIVER", "Microsoft Access Driver (*.mdb)"},
      {quoted, "pwd", "a;b}c"},
      {quoted, "uid", "x;\"y"},
      {quoted, "server", "s;1"},
      {"uid=a;UID=b", "uid", "b"},  // the last of repeated keys wins
  };
  for (const auto& c : cases) {
    ConnectionString cs = ConnectionString::Parse(c.text);
    EXPECT_EQ(cs.Get(c.key), c.value) << c.text << " / " << c.key;
    EXPECT_EQ(cs.Value(c.key), c.value.value_or("")) << c.text << " / " << c.key;
  }
  // Unclosed values are malformed.
  for (const char* bad : {"driver={sql server;server=x", "pwd='abc", "pwd={abc}def"}) {
    SCOPED_TRACE(bad);
    EXPECT_ERROR(ConnectionString::Parse(bad), errc::kInitStringFormat);
  }
}

ConnectionTarget RouteOf(const std::string& text) { return Route(ConnectionString::Parse(text)); }

TEST(Route, JetProvidersAndTheAccessDriverNameAFile) {
  ConnectionTarget t = RouteOf("Provider=Microsoft.Jet.OLEDB.3.51;Data Source=D:\\db\\shop.mdb");
  EXPECT_EQ(t.kind, ConnectionTarget::Kind::kJetFile);
  EXPECT_EQ(t.jet.path, "D:\\db\\shop.mdb");
  EXPECT_EQ(t.jet.provider_format, JetFormat::kJet35);
  EXPECT_FALSE(t.jet.engine_type.has_value());

  t = RouteOf("provider=microsoft.jet.oledb.4.0;Data Source=x.mdb;Jet OLEDB:Engine Type=4");
  EXPECT_EQ(t.jet.provider_format, JetFormat::kJet40);
  EXPECT_EQ(t.jet.engine_type, JetFormat::kJet35);
  EXPECT_EQ(RouteOf("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x;Jet OLEDB:Engine Type=5")
                .jet.engine_type,
            JetFormat::kJet40);

  t = RouteOf("driver={Microsoft Access Driver (*.mdb)};dbq=D:\\data\\shop.mdb");
  EXPECT_EQ(t.kind, ConnectionTarget::Kind::kJetFile);
  EXPECT_EQ(t.jet.path, "D:\\data\\shop.mdb");
}

TEST(Route, TheSqlServerDriversProvidersAndDataSourceNamesNameTheServerDatabase) {
  EXPECT_ERROR(RouteOf("DSN=shop"), errc::kUnspecified);  // no data source names set up yet
  settings::SetSection("dsn",
                       {{"Shop", "Driver={SQL Server};Server=db1,5433;Database=Shop;UID=a;PWD=b"},
                        {"Files", "DRIVER=SQLite3 ODBC Driver;Database=C:\\data\\f.db"},
                        {"Loop", "DSN=Shop"}});
  struct Case {
    const char* text;
    ConnectionTarget::Kind kind;
    const char* host_or_path;
    int port;
    const char* database;
    const char* user;
    const char* password;
  } cases[] = {
      {"driver={sql server};server=db.example;database=Shop;uid=sa;pwd=",
       ConnectionTarget::Kind::kServer, "db.example", 5432, "shop", "sa", ""},
      {"driver={SQL Server};server=h,6000", ConnectionTarget::Kind::kServer, "h", 6000, "postgres",
       "", ""},
      // None named: the maintenance database.
      {"driver={sql server};server=h:6001;uid=u;pwd=p", ConnectionTarget::Kind::kServer, "h", 6001,
       "postgres", "u", "p"},
      {"driver={sql server};server=(local)", ConnectionTarget::Kind::kServer, "localhost", 5432,
       "postgres", "", ""},
      {"driver={sql server};server=tcp:h\\inst,7", ConnectionTarget::Kind::kServer, "h", 7,
       "postgres", "", ""},
      {"Provider=SQLOLEDB;Data Source=db1;Initial Catalog=Shop;User ID=sa;Password=pw",
       ConnectionTarget::Kind::kServer, "db1", 5432, "shop", "sa", "pw"},
      {"Provider=SQLOLEDB.1;Data Source=db1,1500;Integrated Security=SSPI",
       ConnectionTarget::Kind::kServer, "db1", 1500, "postgres", "", ""},
      {"provider=sqlncli11;data source=(local);initial catalog=a;user id=u;password=p",
       ConnectionTarget::Kind::kServer, "localhost", 5432, "a", "u", "p"},
      {"Provider=SQLNCLI;Server=h;Database=d;UID=u;PWD=p", ConnectionTarget::Kind::kServer, "h",
       5432, "d", "u", "p"},
      {"Provider=SQLNCLI10;Data Source=h", ConnectionTarget::Kind::kServer, "h", 5432, "postgres",
       "", ""},
      {"Provider=MSOLEDBSQL;Data Source=tcp:h,9;Initial Catalog=d", ConnectionTarget::Kind::kServer,
       "h", 9, "d", "", ""},
      {"Driver={SQL Server Native Client 11.0};Server=h;Database=d;Trusted_Connection=yes",
       ConnectionTarget::Kind::kServer, "h", 5432, "d", "", ""},
      {"Driver={ODBC Driver 17 for SQL Server};Server=h;Database=d;UID=u;PWD=p",
       ConnectionTarget::Kind::kServer, "h", 5432, "d", "u", "p"},
      {"Driver={ODBC Driver 18 for SQL Server};Server=h,7;UID=u;PWD=p",
       ConnectionTarget::Kind::kServer, "h", 7, "postgres", "u", "p"},
      {"DSN=shop", ConnectionTarget::Kind::kServer, "db1", 5433, "shop", "a", "b"},
      // Settings beside the name win over those it stands for.
      {"DSN=Shop;UID=other;PWD=secret", ConnectionTarget::Kind::kServer, "db1", 5433, "shop",
       "other", "secret"},
      {"DRIVER=SQLite3 ODBC Driver;Database=C:\\x.db", ConnectionTarget::Kind::kJetFile, "C:\\x.db",
       0, "", "", ""},
      {"Driver={SQLite3 ODBC Driver};Database=/tmp/y.sqlite", ConnectionTarget::Kind::kJetFile,
       "/tmp/y.sqlite", 0, "", "", ""},
      {"DSN=files", ConnectionTarget::Kind::kJetFile, "C:\\data\\f.db", 0, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ConnectionTarget t = RouteOf(c.text);
    ASSERT_EQ(t.kind, c.kind);
    if (c.kind == ConnectionTarget::Kind::kJetFile) {
      EXPECT_EQ(t.jet.path, c.host_or_path);
      EXPECT_TRUE(t.jet.plain_sqlite);
      continue;
    }
    EXPECT_EQ(t.server.host, c.host_or_path);
    EXPECT_EQ(t.server.port, c.port);
    EXPECT_EQ(t.server.database, c.database);
    EXPECT_EQ(t.server.user, c.user);
    EXPECT_EQ(t.server.password, c.password);
  }
  EXPECT_FALSE(RouteOf("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb").jet.plain_sqlite);
  // Refused strings name what was wrong; unknown providers and drivers name themselves.
  struct Refused {
    const char* text;
    int32_t number;
    const char* fragment;
  } refused[] = {
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=", errc::kUnspecified, ""},
      {"driver={Microsoft Access Driver (*.mdb)}", errc::kUnspecified, ""},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x;Jet OLEDB:Engine Type=9",
       errc::kInitStringFormat, ""},
      {"driver={sql server};server=h,port", errc::kInitStringFormat, ""},
      {"driver={sql server};server=h,70000", errc::kInitStringFormat, ""},
      {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=x.accdb", errc::kProviderNotFound,
       "Microsoft.ACE.OLEDB.12.0"},
      {"Provider=OraOLEDB.Oracle;Data Source=x", errc::kProviderNotFound, "OraOLEDB.Oracle"},
      {"driver={Oracle in OraClient};server=x", errc::kUnspecified, "{Oracle in OraClient}"},
      {"", errc::kUnspecified, ""},
      {"DSN=nowhere", errc::kUnspecified, ""},
      {"DSN=loop", errc::kUnspecified, ""},
      {"Driver={SQLite3 ODBC Driver}", errc::kUnspecified, ""},
  };
  for (const Refused& r : refused) {
    try {
      RouteOf(r.text);
      ADD_FAILURE() << "no error: " << r.text;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), r.number) << r.text;
      EXPECT_NE(e.description().find(r.fragment), std::string::npos)
          << r.text << ": " << e.description();
    }
  }
  settings::ClearAll();
}

}  // namespace
}  // namespace mirelda::data

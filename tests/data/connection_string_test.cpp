// Connection strings: how they are read, and which engine each one names.
#include "data/connection_string.h"

#include <gtest/gtest.h>

#include "mirelda/settings.h"
#include "support/error_matchers.h"

namespace mirelda::data {
namespace {

TEST(ConnectionString, KeysIgnoreCaseAndBlanksValuesKeepTheirText) {
  ConnectionString cs = ConnectionString::Parse(
      "  PROVIDER = Microsoft.Jet.OLEDB.4.0 ;data  SOURCE= D:\\a b\\shop.mdb ; ;junk;x=");
  EXPECT_EQ(cs.Value("provider"), "Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(cs.Value("Data Source"), "D:\\a b\\shop.mdb");
  EXPECT_EQ(cs.Get("x"), std::optional<std::string>(""));
  EXPECT_FALSE(cs.Get("junk").has_value());
  EXPECT_FALSE(cs.Get("dbq").has_value());
}

TEST(ConnectionString, BracesAndQuotesHoldSeparators) {
  ConnectionString cs = ConnectionString::Parse(
      "driver={Microsoft Access Driver (*.mdb)};pwd={a;b}}c};uid=\"x;\"\"y\";server='s;1' ");
  EXPECT_EQ(cs.Value("DRIVER"), "Microsoft Access Driver (*.mdb)");
  EXPECT_EQ(cs.Value("pwd"), "a;b}c");
  EXPECT_EQ(cs.Value("uid"), "x;\"y");
  EXPECT_EQ(cs.Value("server"), "s;1");
}

TEST(ConnectionString, TheLastOfRepeatedKeysWins) {
  EXPECT_EQ(ConnectionString::Parse("uid=a;UID=b").Value("uid"), "b");
}

TEST(ConnectionString, UnclosedValuesAreMalformed) {
  EXPECT_ERROR(ConnectionString::Parse("driver={sql server;server=x"), errc::kInitStringFormat);
  EXPECT_ERROR(ConnectionString::Parse("pwd='abc"), errc::kInitStringFormat);
  EXPECT_ERROR(ConnectionString::Parse("pwd={abc}def"), errc::kInitStringFormat);
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

TEST(Route, TheSqlServerDriverNamesTheServerDatabase) {
  ConnectionTarget t = RouteOf("driver={sql server};server=db.example;database=Shop;uid=sa;pwd=");
  EXPECT_EQ(t.kind, ConnectionTarget::Kind::kServer);
  EXPECT_EQ(t.server.host, "db.example");
  EXPECT_EQ(t.server.port, 5432);
  EXPECT_EQ(t.server.database, "shop");
  EXPECT_EQ(t.server.user, "sa");
  EXPECT_EQ(t.server.password, "");

  EXPECT_EQ(RouteOf("driver={SQL Server};server=h,6000").server.port, 6000);
  t = RouteOf("driver={sql server};server=h:6001;uid=u;pwd=p");
  EXPECT_EQ(t.server.host, "h");
  EXPECT_EQ(t.server.port, 6001);
  EXPECT_EQ(t.server.database, "postgres");  // none named: the maintenance database
  EXPECT_EQ(t.server.password, "p");
  EXPECT_EQ(RouteOf("driver={sql server};server=(local)").server.host, "localhost");
  EXPECT_EQ(RouteOf("driver={sql server};server=tcp:h\\inst,7").server.host, "h");
}

TEST(Route, TheServersProvidersAndDriversAndDataSourceNames) {
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

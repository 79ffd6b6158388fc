// Connection strings: how they are read, and which engine each one names.
#include "data/connection_string.h"

#include <gtest/gtest.h>

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

TEST(Route, AJetStringWithoutAFileIsRefused) {
  EXPECT_ERROR(RouteOf("Provider=Microsoft.Jet.OLEDB.4.0;Data Source="), errc::kUnspecified);
  EXPECT_ERROR(RouteOf("driver={Microsoft Access Driver (*.mdb)}"), errc::kUnspecified);
  EXPECT_ERROR(RouteOf("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x;Jet OLEDB:Engine Type=9"),
               errc::kInitStringFormat);
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
  EXPECT_ERROR(RouteOf("driver={sql server};server=h,port"), errc::kInitStringFormat);
  EXPECT_ERROR(RouteOf("driver={sql server};server=h,70000"), errc::kInitStringFormat);
}

TEST(Route, UnknownProvidersAndDriversAreNamedInTheError) {
  try {
    RouteOf("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=x.accdb");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kProviderNotFound);
    EXPECT_NE(e.description().find("Microsoft.ACE.OLEDB.12.0"), std::string::npos);
  }
  try {
    RouteOf("driver={Oracle in OraClient};server=x");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kUnspecified);
    EXPECT_NE(e.description().find("{Oracle in OraClient}"), std::string::npos);
  }
  EXPECT_ERROR(RouteOf("DSN=shop"), errc::kUnspecified);
  EXPECT_ERROR(RouteOf(""), errc::kUnspecified);
}

}  // namespace
}  // namespace mirelda::data

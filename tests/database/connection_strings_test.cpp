// Connection strings: pure text, no page needed.
#include <gtest/gtest.h>

#include "database/database.h"

namespace mirelda::database {
namespace {

std::string Access(Variant path, Variant name, Variant version) {
  return Database().CreateAccessConnection(path, name, version).ToString();
}

TEST(CreateAccessConnection, NormalisesFolderAndName) {
  EXPECT_EQ(Access("D:\\data", "/shop.mdb", 2),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\data\\shop.mdb");
  EXPECT_EQ(Access("D:\\data\\", "shop.mdb", 2),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\data\\shop.mdb");
  EXPECT_EQ(Access(" D:\\data ", "shop.mdb", 0),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\data\\shop.mdb");
  EXPECT_EQ(Access("D:\\data/", "shop.mdb", 0),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\data/shop.mdb");
  EXPECT_EQ(Access("", "shop.mdb", 0), "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\\shop.mdb");
  // Only a separator in the very first position goes.
  EXPECT_EQ(Access("D:\\data", " /shop.mdb", 0),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\data\\ /shop.mdb");
  EXPECT_EQ(Access("D:\\data", "\\ shop.mdb ", 0),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\data\\shop.mdb");
}

TEST(CreateAccessConnection, VersionOneSelectsTheOdbcDriver) {
  EXPECT_EQ(Access("D:\\data", "shop.mdb", 1),
            "driver={Microsoft Access Driver (*.mdb)};dbq=D:\\data\\shop.mdb");
  EXPECT_EQ(Access("D:\\data", "shop.mdb", "1"),
            "driver={Microsoft Access Driver (*.mdb)};dbq=D:\\data\\shop.mdb");
  EXPECT_EQ(Access("D:\\data", "shop.mdb", Variant()),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\data\\shop.mdb");
  EXPECT_EQ(Access("D:\\data", "shop.mdb", Variant::Null()),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\data\\shop.mdb");
}

TEST(CreateSqlConnection, JoinsThePiecesKeepingAnEmptyPassword) {
  Database db;
  EXPECT_EQ(db.CreateSqlConnection("srv", "shop", "sa", "").ToString(),
            "driver={sql server};server=srv;database=shop;uid=sa;pwd=");
  EXPECT_EQ(db.CreateSqlConnection(" srv ", "a;b", "u", "p w").ToString(),
            "driver={sql server};server= srv ;database=a;b;uid=u;pwd=p w");
}

TEST(CreateAccessConnection, WorksThroughDispatchOutsideAPage) {
  auto db = std::make_shared<Database>();
  EXPECT_EQ(db->Call("createaccessconnection", "C:\\db", "x.mdb", 3).ToString(),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\db\\x.mdb");
}

}  // namespace
}  // namespace mirelda::database

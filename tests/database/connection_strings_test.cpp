// Connection strings: pure text, no page needed.
#include <gtest/gtest.h>

#include "database/database.h"

namespace mirelda::database {
namespace {

TEST(CreateAccessConnection, NormalisesFolderAndNameAndVersionOneSelectsTheOdbcDriver) {
  const std::string jet = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
  struct Case {
    Variant folder, name, version;
    std::string expected;
  } cases[] = {
      {"D:\\data", "/shop.mdb", 2, jet + "D:\\data\\shop.mdb"},
      {"D:\\data\\", "shop.mdb", 2, jet + "D:\\data\\shop.mdb"},
      {" D:\\data ", "shop.mdb", 0, jet + "D:\\data\\shop.mdb"},
      {"D:\\data/", "shop.mdb", 0, jet + "D:\\data/shop.mdb"},
      {"", "shop.mdb", 0, jet + "\\shop.mdb"},
      // Only a separator in the very first position goes.
      {"D:\\data", " /shop.mdb", 0, jet + "D:\\data\\ /shop.mdb"},
      {"D:\\data", "\\ shop.mdb ", 0, jet + "D:\\data\\shop.mdb"},
      {"D:\\data", "shop.mdb", 1,
       "driver={Microsoft Access Driver (*.mdb)};dbq=D:\\data\\shop.mdb"},
      {"D:\\data", "shop.mdb", "1",
       "driver={Microsoft Access Driver (*.mdb)};dbq=D:\\data\\shop.mdb"},
      {"D:\\data", "shop.mdb", Variant(), jet + "D:\\data\\shop.mdb"},
      {"D:\\data", "shop.mdb", Variant::Null(), jet + "D:\\data\\shop.mdb"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Database().CreateAccessConnection(c.folder, c.name, c.version).ToString(), c.expected)
        << c.folder.ToText() << " + " << c.name.ToText() << " v" << c.version.ToText();
  }
  // Through the member table, outside a page.
  EXPECT_EQ(
      std::make_shared<Database>()->Call("createaccessconnection", "C:\\db", "x.mdb", 3).ToString(),
      jet + "C:\\db\\x.mdb");
}

TEST(CreateSqlConnection, JoinsThePiecesKeepingAnEmptyPassword) {
  Database db;
  EXPECT_EQ(db.CreateSqlConnection("srv", "shop", "sa", "").ToString(),
            "driver={sql server};server=srv;database=shop;uid=sa;pwd=");
  EXPECT_EQ(db.CreateSqlConnection(" srv ", "a;b", "u", "p w").ToString(),
            "driver={sql server};server= srv ;database=a;b;uid=u;pwd=p w");
}

}  // namespace
}  // namespace mirelda::database

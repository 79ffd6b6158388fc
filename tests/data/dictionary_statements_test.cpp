// The statements the components send, byte for byte as they build them, on both engines: the
// table builder, the dictionary bootstrap and its seed rows, the code lookup, and both logons.
#include <gtest/gtest.h>

#include "data/engines.h"
#include "support/error_matchers.h"

namespace mirelda::data::testing {
namespace {

using Table = std::vector<std::vector<Variant>>;

constexpr const char* kFieldInsert =
    "insert into FieldReference (tabID,fieldCode,fieldName,fieldType,addStyle) values ";

class DictionaryStatements : public BothEngines {
 protected:
  // Registers a table as a seeding step does: its TableReference row, then the new id.
  int32_t Register(const std::string& code, const std::string& name) {
    Exec("insert into TableReference (tableCode,tableName,tableType) values ('" + code + "','" +
         name + "',1)");
    auto rs = std::make_shared<DataRecordSet>();
    rs->Open(Variant("select MAX(id) as maxID from TableReference"), Variant(Conn()), -1, -1, -1);
    int32_t id = rs->IsEOF() ? 0 : rs->FieldValue(Variant("maxID")).ToInteger();
    rs->Close();
    return id;
  }
  void Field(int32_t tab, const std::string& code, const std::string& name, int type,
             const std::string& style) {
    Exec(kFieldInsert + ("(" + std::to_string(tab) + ",'" + code + "','" + name + "'," +
                         std::to_string(type) + ",'" + style + "')"));
  }
  std::shared_ptr<Dispatch> Conn() { return db_; }
  bool TableExists(const std::string& name) {
    auto rs = std::make_shared<DataRecordSet>();
    try {
      rs->Open(Variant("select * from " + name), Variant(Conn()), -1, -1, -1);
    } catch (const Error&) {
      return false;
    }
    rs->Close();
    return true;
  }

  // CreateTableReference then CreateFieldReference on a fresh database.
  void BootstrapReferences() {
    Exec(
        "CREATE TABLE TableReference (id autoincrement ,tableCode char ,tableName char ,"
        "tableType int ,PRIMARY KEY (id))");
    Exec(
        "insert into TableReference (tableCode,tableName,tableType) values "
        "('TableReference','数据表参考',1)");
    Exec(
        "CREATE TABLE FieldReference (id autoincrement ,tabID int ,fieldCode char ,fieldName "
        "char ,fieldType int ,addStyle char ,PRIMARY KEY (id))");
    int32_t id = Register("FieldReference", "字段参考");
    Field(1, "id", "编  号", 1, "0");
    Field(1, "tableCode", "表格代码", 1, "01");
    Field(1, "tableName", "表格名称", 1, "1");
    Field(1, "tableType", "表格类型", 3, "3");
    Field(id, "id", "编  号", 1, "0");
    Field(id, "tabID", "表格名称", 2, "2");
    Field(id, "fieldCode", "字段代码", 1, "02");
    Field(id, "fieldName", "字段名称", 1, "1");
    Field(id, "fieldType", "字段类型", 3, "3");
    Field(id, "addStyle", "添加样式", 3, "3");
  }
};

TEST_P(DictionaryStatements, TheTableBuildersStatementsRunAsBuilt) {
  Exec("CREATE TABLE t (a int NOT NULL,b char(20) NULL,PRIMARY KEY (a))");
  Exec("CREATE TABLE t3 (a int ,b char )");
  Exec("CREATE TABLE t1 (pid int ,PRIMARY KEY (pid))");
  Exec("CREATE TABLE t2 (id int ,pid int ,PRIMARY KEY (id),(pid) REFERENCES t1(pid))");
  for (const char* table : {"t", "t1", "t2", "t3"}) EXPECT_TRUE(TableExists(table)) << table;
  EXPECT_ANY_THROW(Exec("CREATE TABLE t5 (id int ,PRIMARY KEY (id,))"));
  EXPECT_FALSE(TableExists("t5"));
  EXPECT_ANY_THROW(Exec("CREATE TABLE t (a int )"));              // exists already
  EXPECT_ANY_THROW(Exec("insert into t (b) values ('no key')"));  // a is NOT NULL
}

TEST_P(DictionaryStatements, TheReferenceTablesHoldTheirRowsWithIdsFromOne) {
  EXPECT_FALSE(TableExists("TableReference"));
  BootstrapReferences();
  EXPECT_TRUE(TableExists("TableReference"));
  EXPECT_TRUE(TableExists("tablereference"));
  EXPECT_EQ(Query("select * from TableReference order by id"),
            (Table{{Variant(1), Variant("TableReference"), Variant("数据表参考"), Variant(1)},
                   {Variant(2), Variant("FieldReference"), Variant("字段参考"), Variant(1)}}));
  Table fields = Query("select id, tabID, fieldCode, fieldName from FieldReference order by id");
  ASSERT_EQ(fields.size(), 10u);
  const int tabs[] = {1, 1, 1, 1, 2, 2, 2, 2, 2, 2};
  for (size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(fields[i][0], Variant(static_cast<int32_t>(i + 1)));
    EXPECT_EQ(fields[i][1], Variant(tabs[i]));
  }
  EXPECT_EQ(fields[0][3], Variant("编  号"));
  EXPECT_EQ(fields[3][2], Variant("tableType"));
}

TEST_P(DictionaryStatements, AnEmptiedTableNumbersOnFromItsLastId) {
  BootstrapReferences();
  Exec("delete from TableReference");
  EXPECT_TRUE(Query("select * from TableReference").empty());
  EXPECT_EQ(Register("TableReference", "数据表参考"), 3);
}

TEST_P(DictionaryStatements, EnumAndIndexTablesAndTheirSeeds) {
  BootstrapReferences();
  Exec(
      "CREATE TABLE EnumTable (id autoincrement ,mateID int ,code char ,codeValue char ,PRIMARY "
      "KEY (id))");
  int32_t id = Register("EnumTable", "字段枚举");
  EXPECT_EQ(id, 3);
  Field(id, "id", "编  号", 1, "0");
  Field(id, "mateID", "原始字段", 2, "2");
  Field(id, "code", "枚举代码", 1, "1");
  Field(id, "codeValue", "枚举名称", 1, "1");
  struct Group {
    const char* lookup;
    std::vector<std::pair<const char*, const char*>> codes;
  };
  const Group groups[] = {{"select id from FieldReference where tabID=1 and fieldCode='tableType'",
                           {{"1", "系统表"}, {"2", "用户表"}}},
                          {"select id from FieldReference where tabID=2 and fieldCode='fieldType'",
                           {{"1", "一般"}, {"2", "索引"}, {"3", "枚举"}}},
                          {"select id from FieldReference where tabID=2 and fieldCode='addStyle'",
                           {{"0", "自动编号"},
                            {"01", "表格代码"},
                            {"02", "字段代码"},
                            {"03", "页面打开位置"},
                            {"1", "直接输入"},
                            {"11", "区域输入"},
                            {"2", "索引输入"},
                            {"3", "枚举输入"},
                            {"4", "时期输入"},
                            {"5", "复选输入"},
                            {"6", "文件输入"},
                            {"7", "密码输入"}}}};
  std::vector<int16_t> mates;
  for (const Group& g : groups) {
    auto rs = std::make_shared<DataRecordSet>();
    rs->Open(Variant(g.lookup), Variant(Conn()), -1, -1, -1);
    int16_t mate = rs->IsEOF() ? 0 : rs->FieldValue(Variant("id")).ToInteger();
    rs->Close();
    mates.push_back(mate);
    for (const auto& [code, label] : g.codes) {
      Exec("insert into EnumTable (mateID,code,codeValue) values (" + std::to_string(mate) + ",'" +
           code + "','" + label + "')");
    }
  }
  EXPECT_EQ(mates, (std::vector<int16_t>{4, 9, 10}));
  Table codes = Query("select mateID, code, codeValue from EnumTable order by id");
  ASSERT_EQ(codes.size(), 17u);
  EXPECT_EQ(codes[6], (std::vector<Variant>{Variant(10), Variant("01"), Variant("表格代码")}));
  // "1" and "01" are different codes.
  EXPECT_EQ(Query("select id from EnumTable where mateID=10 and code='1'").size(), 1u);

  Exec(
      "CREATE TABLE IndexTable (id autoincrement ,mateID int ,objTable int ,objCode int ,objName "
      "int ,PRIMARY KEY (id))");
  EXPECT_EQ(Register("IndexTable", "字段索引"), 4);
  EXPECT_TRUE(Query("select * from IndexTable").empty());
}

TEST_P(DictionaryStatements, AdministratorAndMenuSeeds) {
  BootstrapReferences();
  Exec(
      "CREATE TABLE administrator (adminID autoincrement ,adminName char ,adminCreateTime "
      "datetime ,adminPwd char ,adminLastTime datetime ,adminLastIP char ,adminCount int ,"
      "PRIMARY KEY (adminID))");
  const std::string now = FormatDateTime(Date::FromParts(2024, 5, 6, 7, 8, 9));
  Exec(
      "insert into administrator (adminName,adminCreateTime,adminPwd,adminLastTime,adminLastIP,"
      "adminCount) values ('admin','" +
      now + "','Sun In May','" + now + "','127.0.0.1',1)");
  Exec(
      "CREATE TABLE adminMenu (adminMenuID autoincrement ,adminMenuCode char ,adminMenuName "
      "char ,adminMenuLink char ,adminMenuTarget char ,adminMenuRemark memo ,parentMenuID int ,"
      "menuOrder int ,PRIMARY KEY (adminMenuID))");
  Exec(
      "insert into adminMenu (adminMenuCode,adminMenuName,adminMenuLink,adminMenuTarget,"
      "adminMenuRemark,parentMenuID,menuOrder) values ('SystemSetup','系统基本设置','javascript:"
      "window.showModalDialog(\"MenuManage.asp?id=1\",\"window\")','_top','设置系统的基本信息，"
      "一般不允许随便改动',0,1)");

  auto admin = std::make_shared<DataRecordSet>();
  // The logon's select, keyset cursor; the name compares without regard to case.
  admin->Open(Variant("select * from administrator where adminName='ADMIN'"), Variant(Conn()), 1,
              -1, -1);
  ASSERT_FALSE(admin->IsEOF());
  Date seeded = Date::FromParts(2024, 5, 6, 7, 8, 9);
  EXPECT_EQ(admin->FieldValue(Variant("adminID")), Variant(1));
  EXPECT_EQ(admin->FieldValue(Variant("adminPwd")), Variant("Sun In May"));
  EXPECT_EQ(admin->FieldValue(Variant("adminCreateTime")), Variant(seeded));
  EXPECT_EQ(admin->FieldValue(Variant("adminLastTime")), Variant(seeded));
  int32_t count = admin->FieldValue(Variant("adminCount")).ToLong();
  admin->Close();
  Exec("update administrator Set  adminLastIP='10.0.0.7',adminLastTime='" +
       FormatDateTime(Date::FromParts(2024, 6, 1, 12, 0, 0)) +
       "',adminCount=" + std::to_string(count + 1) + " where adminID=1");
  EXPECT_EQ(Query("select adminLastIP, adminCount from administrator"),
            (Table{{Variant("10.0.0.7"), Variant(2)}}));

  Table menu = Query("select adminMenuLink, adminMenuRemark, parentMenuID from adminMenu");
  ASSERT_EQ(menu.size(), 1u);
  EXPECT_EQ(menu[0][0], Variant("javascript:window.showModalDialog(\"MenuManage.asp?id=1\","
                                "\"window\")"));
  EXPECT_EQ(menu[0][1], Variant("设置系统的基本信息，一般不允许随便改动"));
  EXPECT_EQ(menu[0][2], Variant(0));
  auto fields = db_->Execute("select * from adminMenu", -1)->GetFields();
  EXPECT_EQ(fields->Item(Variant("adminMenuRemark"))->Type(), field_type::kLongVarWChar);
}

TEST_P(DictionaryStatements, TheCodeLookupAndWhatBreaksIt) {
  BootstrapReferences();
  Exec("update FieldReference set fieldName='  表格名称  ' where id=3");
  const std::string lookup =
      "select FieldName from FieldReference where tabID in (select id from Tablereference where "
      "tableCode='TableReference') and FieldCode='";
  EXPECT_EQ(Query(lookup + "tableName'"), (Table{{Variant("  表格名称  ")}}));
  EXPECT_TRUE(Query(lookup + "nothing'").empty());
  EXPECT_ANY_THROW(Query(lookup + "it's'"));  // an unquoted apostrophe breaks the statement
}

TEST_P(DictionaryStatements, PersonLogonAndTheLoginLog) {
  Exec(
      "CREATE TABLE person (personID autoincrement ,personAlias char(50) ,personPwd char(50) ,"
      "personCount int ,personLastIP char(20) ,personLastTime datetime ,PRIMARY KEY (personID))");
  Exec(
      "CREATE TABLE login (loginID autoincrement ,loginName char(50) ,loginPwd char(50) ,loginIP "
      "char(20) ,loginAddr char(20) ,loginApp memo ,loginOk int ,loginPersonID int ,PRIMARY KEY "
      "(loginID))");
  Exec("insert into person (personAlias,personPwd,personCount) values ('ann','Secret ',4)");
  auto rs = std::make_shared<DataRecordSet>();
  rs->Open(Variant("select * from person where personAlias='ann'"), Variant(Conn()), 1, -1, -1);
  ASSERT_FALSE(rs->IsEOF());
  EXPECT_EQ(rs->FieldValue(Variant("personPwd")), Variant("Secret "));  // stored as written
  Variant id = rs->FieldValue(Variant("personID"));
  rs->Close();
  Exec(
      "insert into login (loginName,loginPwd,loginIP,loginAddr,loginApp,loginOk,loginPersonID) "
      "values ('ann','Secret ','10.1.1.1','中国','Mozilla/5.0 (X11)',1," +
      id.ToString() + ")");
  Exec("update person Set  personLastIP='10.1.1.1',personLastTime='" +
       FormatDateTime(Date::FromParts(2024, 2, 29, 23, 59, 58)) +
       "',personCount=5 where personID=" + id.ToString());
  EXPECT_EQ(Query("select personCount, personLastTime from person"),
            (Table{{Variant(5), Variant(Date::FromParts(2024, 2, 29, 23, 59, 58))}}));
  EXPECT_EQ(Query("select loginAddr, loginOk, loginPersonID from login"),
            (Table{{Variant("中国"), Variant(1), Variant(1)}}));
  // Without a person in the session the value list ends in ",)": the database refuses it.
  EXPECT_ANY_THROW(
      Exec("insert into login (loginName,loginPwd,loginIP,loginAddr,loginApp,loginOk,"
           "loginPersonID) values ('x','y','z','中国','a',0,)"));
  EXPECT_EQ(Query("select * from login").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Engines, DictionaryStatements,
                         ::testing::Values(EngineKind::kJet, EngineKind::kServer), EngineName);

}  // namespace
}  // namespace mirelda::data::testing

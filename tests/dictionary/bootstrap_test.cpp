// The dictionary bootstrap on a real database: fresh runs give the rows and ids the later lookups
// rely on; reruns write nothing; emptied tables are seeded again; failures are reported.
#include <gtest/gtest.h>

#include "database/database.h"
#include "support/component_page.h"
#include "support/error_matchers.h"

namespace mirelda::database {
namespace {

using testing::Rows;

class Bootstrap : public testing::ComponentPageOnBothEngines {
 protected:
  void SetUp() override {
    ComponentPageOnBothEngines::SetUp();
    connection_ = Open(NewDatabase());
    db_ = Start<Database>();
    db_->setConnection(connection_);
  }
  Rows Query(const std::string& sql) { return testing::Query(*connection_, sql); }
  void Exec(const std::string& sql) { connection_->Execute(sql, -1); }
  std::vector<std::string> RunAll(int16_t ver = 1) {
    std::vector<std::string> reports;
    for (const char* method : {"CreateTableReference", "CreateFieldReference", "CreateEnumTable",
                               "CreateIndexTable", "CreateAdministrator", "CreateAdminMenu"}) {
      reports.push_back(db_->Call(method, ver).ToString());
    }
    return reports;
  }

  std::shared_ptr<Connection> connection_;
  std::shared_ptr<Database> db_;
};

TEST_P(Bootstrap, AFreshRunBuildsTheWholeDictionary) {
  EXPECT_EQ(RunAll(2), (std::vector<std::string>{
                           "数据表参考表建立成功！", "字段表建立成功！", "枚举表建立成功！",
                           "索引表建立成功！", "管理员数据表建立成功！", "管理菜单表建立成功！"}));
  EXPECT_EQ(Query("select id,tableCode,tableName,tableType from TableReference order by id"),
            Rows({{1, "TableReference", "数据表参考", 1},
                  {2, "FieldReference", "字段参考", 1},
                  {3, "EnumTable", "字段枚举", 1},
                  {4, "IndexTable", "字段索引", 1},
                  {5, "administrator", "管理员数据", 1},
                  {6, "adminMenu", "管理菜单", 1}}));
  EXPECT_EQ(
      Query(
          "select id,tabID,fieldCode,fieldName,fieldType,addStyle from FieldReference order by id"),
      Rows({{1, 1, "id", "编  号", 1, "0"},
            {2, 1, "tableCode", "表格代码", 1, "01"},
            {3, 1, "tableName", "表格名称", 1, "1"},
            {4, 1, "tableType", "表格类型", 3, "3"},
            {5, 2, "id", "编  号", 1, "0"},
            {6, 2, "tabID", "表格名称", 2, "2"},
            {7, 2, "fieldCode", "字段代码", 1, "02"},
            {8, 2, "fieldName", "字段名称", 1, "1"},
            {9, 2, "fieldType", "字段类型", 3, "3"},
            {10, 2, "addStyle", "添加样式", 3, "3"},
            {11, 3, "id", "编  号", 1, "0"},
            {12, 3, "mateID", "原始字段", 2, "2"},
            {13, 3, "code", "枚举代码", 1, "1"},
            {14, 3, "codeValue", "枚举名称", 1, "1"},
            {15, 4, "id", "编  号", 1, "0"},
            {16, 4, "mateID", "原始字段", 2, "2"},
            {17, 4, "objTable", "目标表格", 2, "2"},
            {18, 4, "objCode", "目标代码", 2, "2"},
            {19, 4, "objName", "目标名称", 2, "2"},
            {20, 5, "adminID", "管理员编号", 1, "0"},
            {21, 5, "adminName", "管理员姓名", 1, "1"},
            {22, 5, "adminCreateTime", "管理员创建时间", 1, "4"},
            {23, 5, "adminPwd", "管理员密码", 1, "7"},
            {24, 5, "adminLastTime", "管理员最后登陆时间", 1, "4"},
            {25, 5, "adminLastIP", "管理员最后登陆IP", 1, "1"},
            {26, 5, "adminCount", "管理员登陆次数", 1, "1"},
            {27, 6, "adminMenuID", "菜单编号", 1, "0"},
            {28, 6, "adminMenuCode", "管理菜单代码", 1, "1"},
            {29, 6, "adminMenuName", "管理菜单名称", 1, "1"},
            {30, 6, "adminMenuLink", "菜单链接页面", 1, "1"},
            {31, 6, "adminMenuTarget", "页面打开位置", 1, "03"},
            {32, 6, "adminMenuRemark", "菜单功能说明", 1, "11"},
            {33, 6, "parentMenuID", "上级菜单", 2, "2"},
            {34, 6, "menuOrder", "菜单排序", 1, "1"}}));
  EXPECT_EQ(Query("select id,mateID,code,codeValue from EnumTable order by id"),
            Rows({{1, 4, "1", "系统表"},
                  {2, 4, "2", "用户表"},
                  {3, 9, "1", "一般"},
                  {4, 9, "2", "索引"},
                  {5, 9, "3", "枚举"},
                  {6, 10, "0", "自动编号"},
                  {7, 10, "01", "表格代码"},
                  {8, 10, "02", "字段代码"},
                  {9, 10, "03", "页面打开位置"},
                  {10, 10, "1", "直接输入"},
                  {11, 10, "11", "区域输入"},
                  {12, 10, "2", "索引输入"},
                  {13, 10, "3", "枚举输入"},
                  {14, 10, "4", "时期输入"},
                  {15, 10, "5", "复选输入"},
                  {16, 10, "6", "文件输入"},
                  {17, 10, "7", "密码输入"}}));
  EXPECT_TRUE(Query("select * from IndexTable").empty());
  Rows admin = Query(
      "select adminID,adminName,adminPwd,adminLastIP,adminCount,adminCreateTime,"
      "adminLastTime from administrator");
  ASSERT_EQ(admin.size(), 1u);
  EXPECT_EQ(std::vector<Variant>(admin[0].begin(), admin[0].begin() + 5),
            (std::vector<Variant>{1, "admin", "Sun In May", "127.0.0.1", 1}));
  EXPECT_EQ(admin[0][5].type(), VarType::kDate);
  EXPECT_LT(std::abs(admin[0][5].ToDate().serial - Date::Now().serial), 60.0 / 86400);
  EXPECT_LE(admin[0][5].ToDate().serial, admin[0][6].ToDate().serial);
  EXPECT_EQ(Query("select adminMenuID,adminMenuCode,adminMenuName,adminMenuLink,adminMenuTarget,"
                  "adminMenuRemark,parentMenuID,menuOrder from adminMenu"),
            Rows({{1, "SystemSetup", "系统基本设置",
                   "javascript:window.showModalDialog(\"MenuManage.asp?id=1\",\"window\")", "_top",
                   "设置系统的基本信息，一般不允许随便改动", 0, 1}}));
}

TEST_P(Bootstrap, ASecondRunWritesNothing) {
  RunAll();
  testing::SqlTrace trace;
  EXPECT_EQ(RunAll(0),
            (std::vector<std::string>{
                "数据表参考表已存在，不需要初始化", "字段表已存在，不需要初始化！",
                "枚举表已存在，不需要初始化！", "索引表已存在！",
                "管理员数据表已存在，不需要初始化！", "管理菜单表已存在，不需要初始化！"}));
  for (const std::string& statement : trace.Received()) {
    EXPECT_EQ(statement.rfind("select * from ", 0), 0u) << statement;
  }
  EXPECT_EQ(Query("select count(*) from FieldReference"), Rows({{34}}));
}

TEST_P(Bootstrap, EveryTableButTheFirstNeedsTheReferenceTables) {
  EXPECT_EQ(db_->CreateFieldReference(1), Variant("请先建立数据表参考表！"));
  for (auto method : {&Database::CreateEnumTable, &Database::CreateIndexTable,
                      &Database::CreateAdministrator, &Database::CreateAdminMenu}) {
    EXPECT_EQ(((*db_).*method)(1), Variant("请先建立参考表！"));
  }
  EXPECT_EQ(db_->CreateTableReference(1), Variant("数据表参考表建立成功！"));
  EXPECT_EQ(db_->CreateEnumTable(1), Variant("请先建立参考表！"));
  for (const char* table :
       {"FieldReference", "EnumTable", "IndexTable", "administrator", "adminMenu"}) {
    EXPECT_EQ(db_->TableExists(table), Variant(false)) << table;
  }
}

TEST_P(Bootstrap, AnEmptiedTableIsSeededAndRegisteredAgain) {
  RunAll();
  Exec("delete from EnumTable");
  Exec("delete from administrator");
  EXPECT_EQ(db_->CreateEnumTable(1), Variant("枚举表已存在，初始化成功！"));
  EXPECT_EQ(db_->CreateAdministrator(1), Variant("管理员数据表已存在，初始化成功！"));
  EXPECT_EQ(Query("select count(*) from EnumTable"), Rows({{17}}));
  EXPECT_EQ(Query("select adminName,adminPwd from administrator"), Rows({{"admin", "Sun In May"}}));
  EXPECT_EQ(Query("select id from TableReference where tableCode='EnumTable' order by id"),
            Rows({{3}, {7}}));
  EXPECT_EQ(Query("select count(*) from FieldReference where tabID=7"), Rows({{4}}));
  // The index table is never seeded again, even when empty.
  EXPECT_EQ(db_->CreateIndexTable(1), Variant("索引表已存在！"));
  Exec("delete from TableReference");
  EXPECT_EQ(db_->CreateTableReference(1), Variant("数据表参考表已存在，初始化成功！"));
  EXPECT_EQ(Query("select id,tableCode from TableReference"), Rows({{9, "TableReference"}}));
}

TEST_P(Bootstrap, ARejectedSeedingIsReportedAndRecoveredLater) {
  // A table of tables made by hand without the kind column: present, empty, not seedable.
  Exec(
      "CREATE TABLE TableReference (id autoincrement ,tableCode char ,tableName char ,"
      "PRIMARY KEY (id))");
  EXPECT_EQ(db_->CreateTableReference(1), Variant("数据表参考表已存在，初始化失败！"));
  // The table of fields is created, but its registration in the table of tables fails: the
  // seeding is undone whole, so none of its rows stay under a registration that is not there.
  EXPECT_EQ(db_->CreateFieldReference(1), Variant("字段表建立成功，但初始化失败！"));
  EXPECT_EQ(Query("select count(*) from FieldReference"), Rows({{0}}));
  Exec("ALTER TABLE TableReference ADD COLUMN tableType int");
  EXPECT_EQ(db_->CreateTableReference(1), Variant("数据表参考表已存在，初始化成功！"));
  EXPECT_EQ(db_->CreateFieldReference(1), Variant("字段表已存在，初始化成功！"));
  EXPECT_EQ(Query("select id,tableCode,tableName,tableType from TableReference order by id"),
            Rows({{1, "TableReference", "数据表参考", 1}, {2, "FieldReference", "字段参考", 1}}));
  EXPECT_EQ(Query("select count(*) from FieldReference"), Rows({{10}}));
  EXPECT_FALSE(PendingError().pending());
}

TEST_P(Bootstrap, AFailedCreationSeedsNothing) {
  db_->CreateTableReference(1);
  db_->CreateFieldReference(1);
  // An index named like the table: the probe finds nothing to read, the creation then fails.
  Exec("CREATE INDEX adminMenu ON TableReference (tableCode)");
  EXPECT_EQ(db_->CreateAdminMenu(1), Variant("管理菜单表建立失败！"));
  EXPECT_EQ(Query("select count(*) from TableReference"), Rows({{2}}));
}

TEST_P(Bootstrap, ItsOwnRecordSetFailuresReachThePage) {
  auto outside = std::make_shared<Database>();
  outside->setConnection(connection_);
  EXPECT_ERROR(outside->Call("CreateTableReference", 1), errc::kObjectVariableNotSet);
}

MIRELDA_ON_BOTH_ENGINES(Bootstrap);

}  // namespace
}  // namespace mirelda::database

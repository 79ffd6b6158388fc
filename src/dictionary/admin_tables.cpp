// The administrator accounts and the administration menu, seeded with the default account and
// the system settings entry.
#include "dictionary/bootstrap.h"
#include "dictionary/dictionary_table.h"
#include "dictionary/reports.h"

namespace mirelda::dictionary {
namespace {

// The current local date and time in the text form that both databases read into a datetime.
std::string Now() { return FormatDateTime(Date::Now()); }

void WriteDefaultAccount(Seeder& seeder) {
  std::string created = Now();
  std::string last = Now();  // read a second time
  seeder.Execute(
      "insert into administrator "
      "(adminName,adminCreateTime,adminPwd,adminLastTime,adminLastIP,adminCount) values "
      "('admin','" +
      created + "','Sun In May','" + last + "','127.0.0.1',1)");
}

void WriteDefaultMenu(Seeder& seeder) {
  seeder.Execute(
      "insert into adminMenu "
      "(adminMenuCode,adminMenuName,adminMenuLink,adminMenuTarget,adminMenuRemark,parentMenuID,"
      "menuOrder) values ('SystemSetup','系统基本设置','javascript:window.showModalDialog("
      "\"MenuManage.asp?id=1\",\"window\")','_top','设置系统的基本信息，一般不允许随便改动',0,1)");
}

}  // namespace

const DictionaryTable& AdministratorTable() {
  static const DictionaryTable table = [] {
    DictionaryTable t;
    t.name = "administrator";
    t.names = "adminID|adminName|adminCreateTime|adminPwd|adminLastTime|adminLastIP|adminCount";
    t.types = "autoincrement|char|datetime|char|datetime|char|int";
    t.sizes = "||||||";
    t.nulls = "||||||";
    t.key = "adminID";
    t.precondition = Precondition::kBothReferenceTables;
    t.reports = StandardReports("管理员数据表", kNeedsBothReferenceTables);
    t.registration =
        "insert into TableReference (tableCode,tableName,tableType) values "
        "('administrator','管理员数据',1)";
    t.field_rows = {
        {0, "adminID", "管理员编号", 1, "0"},
        {0, "adminName", "管理员姓名", 1, "1"},
        {0, "adminCreateTime", "管理员创建时间", 1, "4"},
        {0, "adminPwd", "管理员密码", 1, "7"},
        {0, "adminLastTime", "管理员最后登陆时间", 1, "4"},
        {0, "adminLastIP", "管理员最后登陆IP", 1, "1"},
        {0, "adminCount", "管理员登陆次数", 1, "1"},
    };
    t.default_rows = WriteDefaultAccount;
    return t;
  }();
  return table;
}

const DictionaryTable& AdminMenuTable() {
  static const DictionaryTable table = [] {
    DictionaryTable t;
    t.name = "adminMenu";
    t.names =
        "adminMenuID|adminMenuCode|adminMenuName|adminMenuLink|adminMenuTarget|adminMenuRemark|"
        "parentMenuID|menuOrder";
    t.types = "autoincrement|char|char|char|char|memo|int|int";
    t.sizes = "|||||||";
    t.nulls = "|||||||";
    t.key = "adminMenuID";
    t.precondition = Precondition::kBothReferenceTables;
    t.reports = StandardReports("管理菜单表", kNeedsBothReferenceTables);
    t.registration =
        "insert into TableReference (tableCode,tableName,tableType) values "
        "('adminMenu','管理菜单',1)";
    t.field_rows = {
        {0, "adminMenuID", "菜单编号", 1, "0"},
        {0, "adminMenuCode", "管理菜单代码", 1, "1"},
        {0, "adminMenuName", "管理菜单名称", 1, "1"},
        {0, "adminMenuLink", "菜单链接页面", 1, "1"},
        {0, "adminMenuTarget", "页面打开位置", 1, "03"},
        {0, "adminMenuRemark", "菜单功能说明", 1, "11"},
        {0, "parentMenuID", "上级菜单", 2, "2"},
        {0, "menuOrder", "菜单排序", 1, "1"},
    };
    t.default_rows = WriteDefaultMenu;
    return t;
  }();
  return table;
}

}  // namespace mirelda::dictionary

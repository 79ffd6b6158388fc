// AddPage: the fragments as written, and the input chosen for each column from the dictionary.
#include <gtest/gtest.h>

#include "database/database.h"
#include "support/component_page.h"
#include "support/error_matchers.h"
#include "webpage/web_page.h"

namespace mirelda::webpage {
namespace {

using Fragments = std::vector<std::string>;

const Fragments kClosing = {
    "</table>", "<div align=\"center\">",
    "<input name=\"Submit\" type=\"submit\" value=\"添加\">&nbsp;<input name=\"Reset\" "
    "type=\"reset\" value=\"重添\">",
    "</div>", "</form>"};

// The form's opening as written before its first row (the table's opening comes after).
Fragments Opening(const std::string& table) {
  return {
      "<div align=\"center\">添加数据</div>",
      "<form name=\"frmAdd\" action=\"save.asp?table=" + table + "&action=add\" method=\"post\"",
      ">"};
}

Fragments Row(const std::string& label, const std::string& input) {
  return {"<tr>", "<td nowrap>" + label + "</td>", "<td nowrap>", input, "</td>", "</tr>"};
}

Fragments Join(std::initializer_list<Fragments> parts) {
  Fragments out;
  for (const Fragments& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

class AddForm : public testing::ComponentPageOnBothEngines {
 protected:
  void SetUp() override {
    ComponentPageOnBothEngines::SetUp();
    connection_ = Open(NewDatabase());
    auto db = Start<database::Database>();
    db->setConnection(connection_);
    for (auto method :
         {&database::Database::CreateTableReference, &database::Database::CreateFieldReference,
          &database::Database::CreateEnumTable, &database::Database::CreateIndexTable,
          &database::Database::CreateAdministrator, &database::Database::CreateAdminMenu}) {
      ((*db).*method)(1);
    }
    Exec("CREATE TABLE news (id autoincrement ,title char(50) ,body memo ,PRIMARY KEY (id))");
    Exec("insert into TableReference (tableCode,tableName,tableType) values ('news','新闻',2)");
    Exec(
        "insert into FieldReference (tabID,fieldCode,fieldName,fieldType,addStyle) values "
        "(7,'title',' Title ',1,'1')");
    page_ = Start<WebPage>();
    page_->setConnection(connection_);
  }
  void Exec(const std::string& sql) { connection_->Execute(sql, -1); }
  Fragments Form(const std::string& table, const std::string& target = "save.asp",
                 const std::string& enctype = "", const std::string& title_css = "",
                 const std::string& table_css = "") {
    host_->NewPage("/app/admin/add.asp");
    page_->OnStartPage(host_->context_ptr());
    page_->Call("AddPage", table, target, enctype, title_css, table_css, "ignored");
    return Writes();
  }
  // The input of one column, picked out of the form.
  std::string InputOf(const std::string& table, const std::string& label) {
    Fragments f = Form(table);
    for (size_t i = 0; i + 2 < f.size(); ++i) {
      if (f[i] == "<td nowrap>" + label + "</td>") return f[i + 2];
    }
    return "(no row labelled " + label + ")";
  }

  std::shared_ptr<Connection> connection_;
  std::shared_ptr<WebPage> page_;
};

TEST_P(AddForm, WritesTheFormFragmentByFragment) {
  const Fragments table = {"<table width=\"100%\">"};
  EXPECT_EQ(Form("news"),
            Join({Opening("news"), table, Row("Title", "<input type=\"text\" name=\"title\">"),
                  Row("body", "<input type=\"text\" name=\"body\">"), kClosing}));
  // Auto-number columns get no row.
  Exec("CREATE TABLE counters (id autoincrement ,PRIMARY KEY (id))");
  EXPECT_EQ(Form("counters"), Join({Opening("counters"), table, kClosing}));
  // A missing table fails after the form's opening.
  EXPECT_ERROR(Form("nowhere"), errc::kNoSuchTable);
  EXPECT_EQ(Writes(), Opening("nowhere"));
}

TEST_P(AddForm, StyleNamesEnctypeAndDefaultTarget) {
  Fragments f = Form("news", "", "multipart/form-data", "t1", "grid");
  ASSERT_GE(f.size(), 4u);
  EXPECT_EQ(f[0], "<div align=\"center\" class=\"t1\">添加数据</div>");
  EXPECT_EQ(f[1], "<form name=\"frmAdd\" action=\"add.asp?table=news&action=add\" method=\"post\"");
  EXPECT_EQ(f[2], " enctype=\"multipart/form-data\">");
  EXPECT_EQ(f[3], "<table class=\"grid\">");
}

TEST_P(AddForm, TextFromCallersAndTheDatabaseIsEscaped) {
  Exec("update FieldReference set fieldName='<b>\"标题\"</b>' where fieldCode='title'");
  Fragments f = Form("news", "save.asp?x=\"><script>", "", "a\"b", "");
  EXPECT_EQ(f[0], "<div align=\"center\" class=\"a&quot;b\">添加数据</div>");
  EXPECT_EQ(f[1],
            "<form name=\"frmAdd\" action=\"save.asp?x=&quot;&gt;&lt;script&gt;?table=news"
            "&action=add\" method=\"post\"");
  EXPECT_EQ(f[5], "<td nowrap>&lt;b&gt;&quot;标题&quot;&lt;/b&gt;</td>");
}

TEST_P(AddForm, InputsFollowTheDictionarysInputStyles) {
  struct Case {
    const char *table, *label, *input;
  };
  for (const Case& c : {
           Case{"FieldReference", "字段代码", R"(<input type="text" name="fieldCode">)"},
           Case{"FieldReference", "字段类型",
                R"(<select name="fieldType"><option value="1">一般</option><option )"
                R"(value="2">索引</option><option value="3">枚举</option></select>)"},
           Case{"FieldReference", "表格名称", R"(<input type="number" name="tabID">)"},
           Case{"administrator", "管理员密码", R"(<input type="password" name="adminPwd">)"},
           Case{"administrator", "管理员创建时间",
                R"(<input type="datetime-local" name="adminCreateTime">)"},
           Case{"adminMenu", "菜单功能说明", R"(<textarea name="adminMenuRemark"></textarea>)"},
           Case{"adminMenu", "页面打开位置",
                R"(<select name="adminMenuTarget"><option value="_self">_self</option><option )"
                R"(value="_blank">_blank</option><option value="_parent">_parent</option><option )"
                R"(value="_top">_top</option></select>)"},
       }) {
    EXPECT_EQ(InputOf(c.table, c.label), c.input) << c.table << "." << c.label;
  }
  std::string styles = InputOf("FieldReference", "添加样式");
  EXPECT_EQ(styles.rfind("<select name=\"addStyle\"><option value=\"0\">自动编号</option>", 0), 0u)
      << styles;
  EXPECT_NE(styles.find("<option value=\"7\">密码输入</option></select>"), std::string::npos);
}

TEST_P(AddForm, CheckBoxFileAndIndexInputs) {
  Exec("CREATE TABLE doc (id autoincrement ,done int ,scan char ,owner int ,PRIMARY KEY (id))");
  Exec("insert into TableReference (tableCode,tableName,tableType) values ('doc','文档',2)");
  for (const char* row : {"'done','完成',1,'5'", "'scan','扫描',1,'6'", "'owner','所属表',2,'2'"}) {
    Exec("insert into FieldReference (tabID,fieldCode,fieldName,fieldType,addStyle) values (8," +
         std::string(row) + ")");
  }
  // owner picks a row of the table of tables: code tableCode, label tableName.
  Exec("insert into IndexTable (mateID,objTable,objCode,objName) values (38,1,2,3)");
  EXPECT_EQ(InputOf("doc", "完成"), "<input type=\"checkbox\" name=\"done\" value=\"1\">");
  EXPECT_EQ(InputOf("doc", "扫描"), "<input type=\"file\" name=\"scan\">");
  std::string owner = InputOf("doc", "所属表");
  EXPECT_EQ(
      owner.rfind("<select name=\"owner\"><option value=\"TableReference\">数据表参考</option>"
                  "<option value=\"FieldReference\">字段参考</option>",
                  0),
      0u)
      << owner;
  EXPECT_NE(owner.find("<option value=\"doc\">文档</option></select>"), std::string::npos);
}

MIRELDA_ON_BOTH_ENGINES(AddForm);

}  // namespace
}  // namespace mirelda::webpage

// The installation road walked twice on one host: once by pages written in VBScript the way a
// classic page author writes them, once by the same steps in JavaScript. Each language keeps its
// own Jet file; both must give the same replies and leave the same rows.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "site/jet_rows.h"
#include "site/site_visitor.h"
#include "support/temp_dir.h"

namespace mirelda::testing {
namespace {

// The pages of each step, VBScript first. Each language's settings.inc names its own folder.
struct StepPages {
  const char* name;
  const char* vbscript;
  const char* javascript;
};

const StepPages kSteps[] = {
    {"create.asp",
     R"asp(<!-- #include file="settings.inc" -->
<%
Set db = Server.CreateObject("Mirelda.Database")
Set fso = Server.CreateObject("Scripting.FileSystemObject")
If Not fso.FolderExists("C:\road\") Then fso.CreateFolder "C:\road\"
If Not fso.FolderExists(FOLDER) Then fso.CreateFolder FOLDER
Response.Write "exists=" & db.AccessDbExists(FOLDER & "road.mdb") & vbLf
Response.Write "create=" & db.CreateAccessDbFile("road.mdb", 1, FOLDER) & vbLf
Response.Write "again=" & db.CreateAccessDbFile("road.mdb", 1, FOLDER) & vbLf
Response.Write "exists=" & db.AccessDbExists(FOLDER & "road.mdb") & vbLf
%>)asp",
     R"asp(<%@ LANGUAGE="JavaScript" %><!-- #include file="settings.inc" -->
<%
var db = Server.CreateObject("Mirelda.Database");
var fso = Server.CreateObject("Scripting.FileSystemObject");
if (!fso.FolderExists("C:\\road\\")) fso.CreateFolder("C:\\road\\");
if (!fso.FolderExists(FOLDER)) fso.CreateFolder(FOLDER);
Response.Write("exists=" + db.AccessDbExists(FOLDER + "road.mdb") + "\n");
Response.Write("create=" + db.CreateAccessDbFile("road.mdb", 1, FOLDER) + "\n");
Response.Write("again=" + db.CreateAccessDbFile("road.mdb", 1, FOLDER) + "\n");
Response.Write("exists=" + db.AccessDbExists(FOLDER + "road.mdb") + "\n");
%>)asp"},
    {"dictionary.asp",
     R"asp(<!-- #include file="connect.inc" -->
<%
Response.Write db.CreateTableReference(1) & vbLf
Response.Write db.CreateFieldReference(1) & vbLf
Response.Write db.CreateEnumTable(1) & vbLf
Response.Write db.CreateIndexTable(1) & vbLf
Response.Write db.CreateAdministrator(1) & vbLf
Response.Write db.CreateAdminMenu(1) & vbLf
db.closeDB
%>)asp",
     R"asp(<%@ LANGUAGE="JavaScript" %><!-- #include file="connect.inc" -->
<%
Response.Write(db.CreateTableReference(1) + "\n");
Response.Write(db.CreateFieldReference(1) + "\n");
Response.Write(db.CreateEnumTable(1) + "\n");
Response.Write(db.CreateIndexTable(1) + "\n");
Response.Write(db.CreateAdministrator(1) + "\n");
Response.Write(db.CreateAdminMenu(1) + "\n");
db.closeDB();
%>)asp"},
    {"table.asp",
     R"asp(<!-- #include file="connect.inc" -->
<%
names = Array("personID", "personAlias", "personPwd", "personName", "personCount", _
              "personLastIP", "personLastTime")
types = Array("autoincrement", "char", "char", "char", "int", "char", "datetime")
sizes = Array("", "(50)", "(50)", "(50)", "", "(50)", "")
flags = Array("", "NOT NULL UNIQUE", "NOT NULL", "", "DEFAULT 0", "", "")
Response.Write "person=" & db.CreateTable(1, "person", names, types, sizes, flags, "personID") & vbLf
Response.Write "again=" & db.CreateTable(1, "person", names, types, sizes, flags, "personID") & vbLf
Dim login(8, 3)
columns = Split("loginID loginName loginPwd loginIP loginAddr loginApp loginOk loginPersonID loginTime")
kinds = Split("autoincrement char char char char char int int datetime")
For i = 0 To UBound(columns)
  login(i, 0) = columns(i)
  login(i, 1) = kinds(i)
  If kinds(i) = "char" Then login(i, 2) = "(50)" Else login(i, 2) = ""
  login(i, 3) = ""
Next
ReDim names(8), types(8), sizes(8), flags(8)
For i = 0 To 8
  names(i) = login(i, 0) : types(i) = login(i, 1) : sizes(i) = login(i, 2) : flags(i) = login(i, 3)
Next
Response.Write "login=" & db.CreateTable(1, "login", names, types, sizes, flags, "loginID") & vbLf
Response.Write "exists=" & db.TableExists("login") & "," & db.TableExists("nosuch") & vbLf
conn.Execute "insert into person (personAlias,personPwd,personName) values ('ann','secret','安妮')"
conn.Execute "insert into TableReference (tableCode,tableName,tableType) values ('person','人员',2)"
tabId = conn.Execute("select MAX(id) from TableReference")(0).Value
labels = Array(Array("personAlias", "登录名", "1"), Array("personPwd", "密码", "7"), _
               Array("personName", "姓名", "1"))
For Each label In labels
  conn.Execute "insert into FieldReference (tabID,fieldCode,fieldName,fieldType,addStyle) values (" & _
               tabId & ",'" & label(0) & "','" & label(1) & "',1,'" & label(2) & "')"
Next
On Error Resume Next
conn.Execute "select * from nosuch"
If Err.Number <> 0 Then Response.Write "error=" & Err.Number & vbLf
Err.Clear
Response.Write "cleared=" & Err.Number & vbLf
On Error GoTo 0
conn.Close
%>)asp",
     R"asp(<%@ LANGUAGE="JavaScript" %><!-- #include file="connect.inc" -->
<%
var names = ["personID", "personAlias", "personPwd", "personName", "personCount",
             "personLastIP", "personLastTime"];
var types = ["autoincrement", "char", "char", "char", "int", "char", "datetime"];
var sizes = ["", "(50)", "(50)", "(50)", "", "(50)", ""];
var flags = ["", "NOT NULL UNIQUE", "NOT NULL", "", "DEFAULT 0", "", ""];
Response.Write("person=" + db.CreateTable(1, "person", names, types, sizes, flags, "personID") + "\n");
Response.Write("again=" + db.CreateTable(1, "person", names, types, sizes, flags, "personID") + "\n");
var columns = "loginID loginName loginPwd loginIP loginAddr loginApp loginOk loginPersonID loginTime".split(" ");
var kinds = "autoincrement char char char char char int int datetime".split(" ");
names = []; types = []; sizes = []; flags = [];
for (var i = 0; i < columns.length; i++) {
  names.push(columns[i]);
  types.push(kinds[i]);
  sizes.push(kinds[i] === "char" ? "(50)" : "");
  flags.push("");
}
Response.Write("login=" + db.CreateTable(1, "login", names, types, sizes, flags, "loginID") + "\n");
Response.Write("exists=" + db.TableExists("login") + "," + db.TableExists("nosuch") + "\n");
conn.Execute("insert into person (personAlias,personPwd,personName) values ('ann','secret','安妮')");
conn.Execute("insert into TableReference (tableCode,tableName,tableType) values ('person','人员',2)");
var tabId = conn.Execute("select MAX(id) from TableReference")(0).Value;
var labels = [["personAlias", "登录名", "1"], ["personPwd", "密码", "7"], ["personName", "姓名", "1"]];
for (var k = 0; k < labels.length; k++) {
  conn.Execute("insert into FieldReference (tabID,fieldCode,fieldName,fieldType,addStyle) values (" +
               tabId + ",'" + labels[k][0] + "','" + labels[k][1] + "',1,'" + labels[k][2] + "')");
}
try { conn.Execute("select * from nosuch"); } catch (e) { Response.Write("error=" + e.number + "\n"); }
Response.Write("cleared=0\n");
conn.Close();
%>)asp"},
    {"addpage.asp",
     R"asp(<!-- #include file="connect.inc" -->
<%
Set wp = Server.CreateObject("Mirelda.WebPage")
Set wp.setConnection = conn
wp.AddPage "person", "save.asp", ""
conn.Close
%>)asp",
     R"asp(<%@ LANGUAGE="JavaScript" %><!-- #include file="connect.inc" -->
<%
var wp = Server.CreateObject("Mirelda.WebPage");
wp.setConnection = conn;
wp.AddPage("person", "save.asp", "");
conn.Close();
%>)asp"},
    {"logon.asp",
     R"asp(<!-- #include file="connect.inc" -->
<%
Set wp = Server.CreateObject("Mirelda.WebPage")
Set wp.setConnection = conn
wp.Logon Request.Form("name"), Request.Form("pwd"), Request.ServerVariables("REMOTE_ADDR"), "home.asp"
Response.Write "refused"
%>)asp",
     R"asp(<%@ LANGUAGE="JavaScript" %><!-- #include file="connect.inc" -->
<%
var wp = Server.CreateObject("Mirelda.WebPage");
wp.setConnection = conn;
wp.Logon(Request.Form("name"), Request.Form("pwd"), Request.ServerVariables("REMOTE_ADDR"), "home.asp");
Response.Write("refused");
%>)asp"},
    {"admin.asp",
     R"asp(<!-- #include file="connect.inc" -->
<%
Set wp = Server.CreateObject("Mirelda.WebPage")
Set wp.setConnection = conn
wp.AdminLogon Request.Form("name"), Request.Form("pwd"), "127.0.0.1", "menu.asp", "other.asp"
Response.Write "admin=" & Session("adminName")
%>)asp",
     R"asp(<%@ LANGUAGE="JavaScript" %><!-- #include file="connect.inc" -->
<%
var wp = Server.CreateObject("Mirelda.WebPage");
wp.setConnection = conn;
wp.AdminLogon(Request.Form("name"), Request.Form("pwd"), "127.0.0.1", "menu.asp", "other.asp");
Response.Write("admin=" + (Session("adminName") === undefined ? "" : Session("adminName")));
%>)asp"},
    {"who.asp",
     R"asp(<%= "person=" & Session("personID") & ",admin=" & Session("adminName") %>)asp",
     R"asp(<%@ LANGUAGE="JavaScript" %><%= "person=" + (Session("personID") || "") + ",admin=" +
         (Session("adminName") || "") %>)asp"},
    {"upload.asp",
     R"asp(<!-- #include file="settings.inc" -->
<%
Set fso = Server.CreateObject("Scripting.FileSystemObject")
If Not fso.FolderExists(FOLDER & "up\") Then fso.CreateFolder FOLDER & "up\"
Set up = Server.CreateObject("Mirelda.FileSystem")
Response.Write up.Upload(1000, FOLDER & "up\", 1) & vbLf
Response.Write up.count & "|" & up.Form("title") & "|" & up.FileName("file1") & "|" & _
               up.Size("file1") & "|" & up.Size("big") & vbLf
%>)asp",
     R"asp(<%@ LANGUAGE="JavaScript" %><!-- #include file="settings.inc" -->
<%
var fso = Server.CreateObject("Scripting.FileSystemObject");
if (!fso.FolderExists(FOLDER + "up\\")) fso.CreateFolder(FOLDER + "up\\");
var up = Server.CreateObject("Mirelda.FileSystem");
Response.Write(up.Upload(1000, FOLDER + "up\\", 1) + "\n");
Response.Write(up.count + "|" + up.Form("title") + "|" + up.FileName("file1") + "|" +
               up.Size("file1") + "|" + up.Size("big") + "\n");
%>)asp"},
};

const char kVbSettings[] = "<% Const FOLDER = \"C:\\road\\vbs\\\" %>";
const char kJsSettings[] = "<% var FOLDER = \"C:\\\\road\\\\js\\\\\"; %>";
const char kVbConnect[] = R"asp(<!-- #include file="settings.inc" -->
<%
Set db = Server.CreateObject("Mirelda.Database")
Set conn = Server.CreateObject("ADODB.Connection")
conn.Open db.CreateAccessConnection(FOLDER, "road.mdb", 2)
Set db.setConnection = conn
%>)asp";
const char kJsConnect[] = R"asp(<!-- #include file="settings.inc" -->
<%
var db = Server.CreateObject("Mirelda.Database");
var conn = Server.CreateObject("ADODB.Connection");
conn.Open(db.CreateAccessConnection(FOLDER, "road.mdb", 2));
db.setConnection = conn;
%>)asp";

// The site: /vbs/ in VBScript, the host's default language, and /js/ in JavaScript.
std::filesystem::path WriteRoadSite(const std::filesystem::path& root) {
  std::map<std::string, std::string> files = {{"vbs/settings.inc", kVbSettings},
                                              {"js/settings.inc", kJsSettings},
                                              {"vbs/connect.inc", kVbConnect},
                                              {"js/connect.inc", kJsConnect}};
  for (const StepPages& step : kSteps) {
    files[std::string("vbs/") + step.name] = step.vbscript;
    files[std::string("js/") + step.name] = step.javascript;
  }
  for (const auto& [name, content] : files) WriteFile(root / name, content);
  return root;
}

// The two languages print Booleans in their own letter case; nothing else may differ.
std::string SameCase(const std::string& text) {
  return std::regex_replace(std::regex_replace(text, std::regex("True"), "true"),
                            std::regex("False"), "false");
}

// Every row of every table, without the columns that hold the time a row was written.
Rows TablesOf(const std::filesystem::path& file) {
  Rows all;
  for (const auto& table : JetRows(file,
                                   "select name from sqlite_master where type='table' "
                                   "and name<>'sqlite_sequence' order by name")) {
    std::string columns;
    for (const auto& column :
         JetRows(file, "select name,type from pragma_table_info('" + table[0] + "')")) {
      std::string type = column[1];
      for (char& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (type.find("DATE") != std::string::npos || type.find("TIME") != std::string::npos) {
        continue;
      }
      columns += (columns.empty() ? "" : ",") + ("\"" + column[0] + "\"");
    }
    all.push_back({"table " + table[0]});
    for (auto& row : JetRows(file, "select " + columns + " from \"" + table[0] + "\" order by 1")) {
      all.push_back(std::move(row));
    }
  }
  return all;
}

class VBScriptRoad : public ::testing::Test {
 protected:
  // Both languages take the step; their replies must agree. Returns the VBScript one.
  Page Both(const std::string& step,
            const std::vector<std::pair<std::string, std::string>>& form = {}) {
    Page vb = form.empty() ? vb_.Get("/vbs/" + step) : vb_.Post("/vbs/" + step, form);
    Page js = form.empty() ? js_.Get("/js/" + step) : js_.Post("/js/" + step, form);
    EXPECT_EQ(vb.status, js.status) << step << "\n" << vb.text << "\n" << js.text << host_.Log();
    EXPECT_EQ(vb.location, js.location) << step;
    EXPECT_EQ(SameCase(vb.text), SameCase(js.text)) << step << host_.Log();
    // The line ends after the include lines are the page's own text, the same in both languages.
    vb.text.erase(0, vb.text.find_first_not_of('\n'));
    return vb;
  }

  std::filesystem::path JetFile(const char* language) const {
    return host_.drive_c() / "road" / language / "road.mdb";
  }

  TempDir site_;
  SiteHost host_{WriteRoadSite(site_.path())};
  Visitor vb_{host_.port()};
  Visitor js_{host_.port()};
};

TEST_F(VBScriptRoad, BothLanguagesInstallLogOnAndUploadAlike) {
  Page created = Both("create.asp");
  EXPECT_EQ(created.text,
            "exists=False\ncreate=True\n对不起，该数据库已经存在!again=False\nexists=True\n")
      << created.text;

  Page dictionary = Both("dictionary.asp");
  EXPECT_EQ(dictionary.text,
            "数据表参考表建立成功！\n字段表建立成功！\n枚举表建立成功！\n索引表建立成功！\n"
            "管理员数据表建立成功！\n管理菜单表建立成功！\n")
      << dictionary.text;
  Page again = Both("dictionary.asp");
  EXPECT_NE(again.text.find("不需要初始化"), std::string::npos) << again.text;

  Page tables = Both("table.asp");
  EXPECT_NE(tables.text.find("person=创建表成功\n"), std::string::npos) << tables.text;
  EXPECT_NE(tables.text.find("login=创建表成功\nexists=True,False\n"), std::string::npos)
      << tables.text;
  EXPECT_NE(tables.text.find("error=-2147217865\ncleared=0\n"), std::string::npos) << tables.text;

  Page form = Both("addpage.asp");
  EXPECT_NE(form.text.find("save.asp"), std::string::npos) << form.text;
  EXPECT_NE(form.text.find("<input type=\"password\" name=\"personPwd\">"), std::string::npos)
      << form.text;

  EXPECT_EQ(Both("logon.asp", {{"name", "ann"}, {"pwd", "wrong"}}).text, "refused");
  Page logged = Both("logon.asp", {{"name", "ann"}, {"pwd", "secret"}});
  EXPECT_EQ(logged.status, 302);
  EXPECT_EQ(logged.location, "mainface/index.asp?trade=1");
  EXPECT_EQ(Both("admin.asp", {{"name", "admin"}, {"pwd", "Sun In May"}}).location, "menu.asp");
  EXPECT_EQ(Both("who.asp").text, "person=1,admin=admin");

  const std::vector<Part> parts = {Field("title", "标题 one"), File("file1", "a.txt", "hello"),
                                   File("big", "big.bin", std::string(2000, 'x'))};
  Page vb_upload = vb_.PostMultipart("/vbs/upload.asp", parts);
  Page js_upload = js_.PostMultipart("/js/upload.asp", parts);
  EXPECT_EQ(vb_upload.text, js_upload.text);
  EXPECT_NE(vb_upload.text.find("|标题 one|a.txt|5|2000\n"), std::string::npos) << vb_upload.text;
  for (const char* language : {"vbs", "js"}) {
    EXPECT_EQ(ReadFile(host_.drive_c() / "road" / language / "up" / "a.txt"), "hello") << language;
  }

  // What the pages stored, table by table.
  EXPECT_EQ(TablesOf(JetFile("vbs")), TablesOf(JetFile("js")));
  EXPECT_EQ(JetRows(JetFile("vbs"), "select personAlias,personCount from person"),
            (Rows{{"ann", "1"}}));
}

}  // namespace
}  // namespace mirelda::testing

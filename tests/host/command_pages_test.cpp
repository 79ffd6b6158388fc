// Commands with parameters and transactions in JavaScript and VBScript pages served by
// mirelda-host, on a Jet file and on the test run's PostgreSQL server.
#include <gtest/gtest.h>

#include "data/jet_file.h"
#include "host/running_host.h"
#include "support/postgres.h"

namespace mirelda::testing {
namespace {

const char kJavaScriptPage[] = R"page(<%@ LANGUAGE="JavaScript" %><%
var conn = Server.CreateObject("ADODB.Connection");
conn.Open("@CS@");
conn.Execute("create table t (id int, name varchar(50))");
Response.Write("level=" + conn.BeginTrans() + "\n");
var cmd = Server.CreateObject("ADODB.Command");
cmd.ActiveConnection = conn;
cmd.CommandText = "insert into t (id, name) values (?, ?)";
cmd.Parameters.Append(cmd.CreateParameter("id", 3, 1, 0, 1));
cmd.Parameters.Append(cmd.CreateParameter("name", 202, 1, 50, "O'Brien ?"));
cmd.Execute();
conn.RollbackTrans();
Response.Write("after_rollback=" + conn.Execute("select count(*) as c from t")("c").Value + "\n");
cmd.Parameters("id").Value = 2;
cmd.Execute();
var q = Server.CreateObject("ADODB.Command");
q.ActiveConnection = conn;
q.CommandText = "select name from t where id = ?";
q.Parameters.Append(q.CreateParameter("id", 3, 1, 0, "2"));
Response.Write("name=" + q.Execute()("name").Value + "\n");
try {
  conn.CommitTrans();
} catch (e) {
  Response.Write("commit=" + e.number + "\n");
}
%>)page";

const char kVBScriptPage[] = R"page(<%@ LANGUAGE="VBScript" %><%
Set conn = Server.CreateObject("ADODB.Connection")
conn.Open "@CS@"
conn.Execute "create table t (id int, name varchar(50))"
Response.Write "level=" & conn.BeginTrans() & vbLf
Set cmd = Server.CreateObject("ADODB.Command")
Set cmd.ActiveConnection = conn
cmd.CommandText = "insert into t (id, name) values (?, ?)"
cmd.Parameters.Append cmd.CreateParameter("id", 3, 1, 0, 1)
cmd.Parameters.Append cmd.CreateParameter("name", 202, 1, 50, "O'Brien ?")
cmd.Execute n
Response.Write "affected=" & n & vbLf
conn.RollbackTrans
Set rs = conn.Execute("select count(*) as c from t")
Response.Write "after_rollback=" & rs("c") & vbLf
cmd.Parameters("id").Value = 2
cmd.Execute
Set q = Server.CreateObject("ADODB.Command")
q.ActiveConnection = conn
q.CommandText = "select name from t where id = ?"
Set rs = q.Execute(, Array(2))
Response.Write "name=" & rs("name") & vbLf
On Error Resume Next
conn.CommitTrans
Response.Write "commit=" & Err.Number & vbLf
%>)page";

std::string Replaced(std::string page, const std::string& cs) {
  page.replace(page.find("@CS@"), 4, cs);
  return page;
}

// Each page gets a database of its own, so that its CREATE TABLE starts clean.
TEST(CommandPagesTest, BothLanguagesOnBothEngines) {
  TempDir dir;
  auto jet = [&](const std::string& name) {
    std::filesystem::path file = dir / name;
    data::CreateJetFile(file, file.string(), data::JetFormat::kJet40);
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string();
  };
  auto server = [] { return Postgres().ConnectionString(FreshPostgresDatabase()); };
  RunningHost host(Files{{"js_jet.asp", Replaced(kJavaScriptPage, jet("js.mdb"))},
                         {"vbs_jet.asp", Replaced(kVBScriptPage, jet("vbs.mdb"))},
                         {"js_server.asp", Replaced(kJavaScriptPage, server())},
                         {"vbs_server.asp", Replaced(kVBScriptPage, server())}},
                   {"--workers", "1"}, "VBScript", {.libraries = {"libmirelda-data.so"}});
  for (const char* page : {"/js_jet.asp", "/vbs_jet.asp", "/js_server.asp", "/vbs_server.asp"}) {
    SCOPED_TRACE(page);
    HttpReply r = host.Get(page);
    ASSERT_EQ(r.status, 200) << r.body;
    bool vbs = std::string(page).starts_with("/vbs");
    EXPECT_EQ(r.body, std::string("level=1\n") + (vbs ? "affected=1\n" : "") +
                          "after_rollback=0\nname=O'Brien ?\ncommit=-2147168242\n");
  }
}

}  // namespace
}  // namespace mirelda::testing

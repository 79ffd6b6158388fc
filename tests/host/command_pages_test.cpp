// Commands with parameters and transactions in JavaScript and VBScript pages served by
// mirelda-host, on a Jet file and on the test run's PostgreSQL server.
#include <gtest/gtest.h>

#include <memory>

#include "data/jet_file.h"
#include "host/host_process.h"
#include "host/http_client.h"
#include "host/running_host.h"
#include "support/postgres.h"
#include "support/temp_dir.h"

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

class CommandPagesTest : public ::testing::Test {
 protected:
  // Each page gets a database of its own, so that its CREATE TABLE starts clean.
  std::string NewJet(const std::string& name) {
    std::filesystem::path file = dir_.path() / name;
    data::CreateJetFile(file, file.string(), data::JetFormat::kJet40);
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string();
  }
  std::string NewServer() { return Postgres().ConnectionString(FreshPostgresDatabase()); }

  std::unique_ptr<HostProcess> Start() {
    std::string command = (BuildDir() / "mirelda-regsvr").string() + " --registry '" +
                          (dir_.path() / "registry").string() + "' '" +
                          (BuildDir() / "libmirelda-data.so").string() + "' >/dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("registration failed");
    std::filesystem::path site = dir_.path() / "site";
    WriteFile(site / "js_jet.asp", Replaced(kJavaScriptPage, NewJet("js.mdb")));
    WriteFile(site / "vbs_jet.asp", Replaced(kVBScriptPage, NewJet("vbs.mdb")));
    WriteFile(site / "js_server.asp", Replaced(kJavaScriptPage, NewServer()));
    WriteFile(site / "vbs_server.asp", Replaced(kVBScriptPage, NewServer()));
    return std::make_unique<HostProcess>(dir_.path(), site,
                                         std::vector<std::string>{"--workers", "1"});
  }

  TempDir dir_;
};

TEST_F(CommandPagesTest, BothLanguagesOnBothEngines) {
  auto host = Start();
  for (const char* page : {"/js_jet.asp", "/vbs_jet.asp", "/js_server.asp", "/vbs_server.asp"}) {
    SCOPED_TRACE(page);
    HttpReply r = HttpRequest(host->port(), "GET", page);
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(Field(r.body, "level"), "1");
    EXPECT_EQ(Field(r.body, "after_rollback"), "0");
    EXPECT_EQ(Field(r.body, "name"), "O'Brien ?");
    EXPECT_EQ(Field(r.body, "commit"), "-2147168242");
    if (std::string(page).starts_with("/vbs")) {
      EXPECT_EQ(Field(r.body, "affected"), "1");
    }
  }
  EXPECT_EQ(host->Stop(), 0) << host->Log();
}

}  // namespace
}  // namespace mirelda::testing

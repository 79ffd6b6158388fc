// Record sets in pages served by mirelda-host, on both engines: a JavaScript and a VBScript page
// each page through 45 rows, add, change and delete rows, and read GetRows as their language
// sees a two-dimensional array.
#include <gtest/gtest.h>

#include "host/running_host.h"
#include "support/postgres.h"

namespace mirelda::testing {
namespace {

// MAKE creates the Jet file (nothing on the server), CS is the connection string.
const char kJavaScriptPage[] = R"page(<%@ LANGUAGE="JavaScript" %><%
function out(k, v) { Response.Write(k + "=" + v + "\n"); }
MAKE
var conn = Server.CreateObject("ADODB.Connection");
conn.Open("CS");
conn.Execute("CREATE TABLE js (id autoincrement, name char(40), PRIMARY KEY (id))");
for (var i = 1; i <= 45; i++) conn.Execute("INSERT INTO js (name) VALUES ('r" + i + "')");
var rs = Server.CreateObject("ADODB.Recordset");
rs.PageSize = 10;
rs.Open("js", conn, 1, 3);
out("pages", rs.PageCount + ":" + rs.RecordCount);
rs.AbsolutePage = 5;
var ids = [];
while (!rs.EOF) { ids.push(rs("id").Value); rs.MoveNext(); }
out("last", ids.join(","));
out("page", rs.AbsolutePage);
var word = "O'Brien \u4e2d\u6587";
rs.AddNew();
rs.Fields("name").Value = word;
rs.Update();
out("new", rs("id").Value);
rs.MoveFirst();
rs("name").Value = "first";
rs.Update();
rs.Delete();
rs.Close();
out("stored", conn.Execute("SELECT name FROM js WHERE id = 46")("name").Value == word);
out("gone", conn.Execute("SELECT COUNT(*) AS c FROM js WHERE id = 1")("c").Value);
var rows = conn.Execute("SELECT id, name FROM js ORDER BY id").GetRows(2);
out("rows", rows.length + ":" + rows[0] + ":" + rows[3]);
conn.Close();
%>)page";

const char kVBScriptPage[] = R"page(<%@ LANGUAGE="VBScript" %><%
Sub Out(k, v) : Response.Write k & "=" & v & vbLf : End Sub
MAKE
Set conn = Server.CreateObject("ADODB.Connection")
conn.Open "CS"
conn.Execute "CREATE TABLE vbs (id autoincrement, name char(40), PRIMARY KEY (id))"
For i = 1 To 45 : conn.Execute "INSERT INTO vbs (name) VALUES ('r" & i & "')" : Next
Set rs = Server.CreateObject("ADODB.Recordset")
rs.CursorType = 1 : rs.LockType = 3
rs.Open "vbs", conn
rs.PageSize = 10
Out "pages", rs.PageCount & ":" & rs.RecordCount
rs.AbsolutePage = 5
ids = ""
Do While Not rs.EOF : ids = ids & "," & rs("id") : rs.MoveNext : Loop
Out "last", Mid(ids, 2)
Out "page", rs.AbsolutePage
word = "O'Brien " & ChrW(20013) & ChrW(25991)
rs.AddNew
rs("name") = word
rs.Update
Out "new", rs("id")
rs.MoveFirst
rs.Fields("name").Value = "first"
rs.Update
rs.Delete
rs.Close
Out "stored", LCase(conn.Execute("SELECT name FROM vbs WHERE id = 46")("name") = word)
Out "gone", conn.Execute("SELECT COUNT(*) AS c FROM vbs WHERE id = 1")("c")
a = conn.Execute("SELECT id, name FROM vbs ORDER BY id").GetRows(2)
Out "rows", UBound(a, 1) & ":" & UBound(a, 2) & ":" & a(1, 1)
conn.Close
%>)page";

std::string Fill(std::string page, const std::string& make, const std::string& cs) {
  page.replace(page.find("MAKE"), 4, make);
  for (size_t at; (at = page.find("\"CS\"")) != std::string::npos;) {
    page.replace(at, 4, "\"" + cs + "\"");
  }
  return page;
}

// Each page makes its own Jet file; on the server both share one fresh database.
TEST(RecordSetPages, PageThroughRowsAndChangeThemInBothLanguagesOnBothEngines) {
  TempDir dir;
  auto jet = [&](const char* file) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (dir / file).string();
  };
  std::string server = Postgres().ConnectionString(FreshPostgresDatabase());
  RunningHost host(
      Files{
          {"js_jet.asp",
           Fill(kJavaScriptPage, "Server.CreateObject(\"ADOX.Catalog\").Create(\"CS\");",
                jet("js.mdb"))},
          {"vbs_jet.asp", Fill(kVBScriptPage, "Server.CreateObject(\"ADOX.Catalog\").Create \"CS\"",
                               jet("vbs.mdb"))},
          {"js_server.asp", Fill(kJavaScriptPage, "", server)},
          {"vbs_server.asp", Fill(kVBScriptPage, "", server)}},
      {"--workers", "1"}, "VBScript", {.libraries = {"libmirelda-data.so"}});
  for (const char* page : {"/js_jet.asp", "/vbs_jet.asp", "/js_server.asp", "/vbs_server.asp"}) {
    SCOPED_TRACE(page);
    // GetRows(2): JavaScript sees the elements in storage order, field fastest.
    std::string rows = std::string(page).starts_with("/js") ? "4:2:r3" : "1:1:r3";
    HttpReply r = host.Get(page);
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(r.body,
              "pages=5:45\nlast=41,42,43,44,45\npage=-3\nnew=46\nstored=true\ngone=0\nrows=" +
                  rows + "\n");
  }
}

}  // namespace
}  // namespace mirelda::testing

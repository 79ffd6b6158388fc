// The converted sample served by mirelda-host: a JavaScript page and a VBScript page open it with
// the connection strings an Access application was written with and list its rows.
#include <gtest/gtest.h>

#include <memory>

#include "host/host_process.h"
#include "host/http_client.h"
#include "import/mdb_import.h"
#include "support/temp_dir.h"

namespace mirelda::testing {
namespace {

const char kJavaScriptPage[] = R"(<%@ LANGUAGE="JavaScript" %><%
var conn = Server.CreateObject("ADODB.Connection");
conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + Request.QueryString("db"));
var rs = Server.CreateObject("ADODB.RecordSet");
rs.Open("SELECT Fruit, [Vit A] FROM Fruit WHERE Sugar >= 20 ORDER BY Fruit", conn);
while (!rs.EOF) {
  Response.Write(rs.Fields("Fruit").Value + "=" + rs.Fields("Vit A").Value + "\n");
  rs.MoveNext();
}
rs.Close();
conn.Close();
%>)";

const char kVBScriptPage[] = R"(<%@ LANGUAGE="VBScript" %><%
Set conn = Server.CreateObject("ADODB.Connection")
conn.Open "Driver={Microsoft Access Driver (*.mdb)};DBQ=" & Request.QueryString("db")
Set rs = Server.CreateObject("ADODB.RecordSet")
rs.Open "SELECT Fruit FROM Dried ORDER BY Fruit", conn
Do While Not rs.EOF
  Response.Write rs("Fruit") & " "
  rs.MoveNext
Loop
rs.Close
conn.Close
%>)";

TEST(ConvertedFilePages, BothLanguagesListTheRowsThroughTheOriginalConnectionStrings) {
  TempDir dir;
  std::filesystem::path db = dir / "fruit.mdb";
  import::ImportAccessFile(BuildDir() / "tests" / "mdb-sample" / "fruit.mdb", db, false);
  std::string command = (BuildDir() / "mirelda-regsvr").string() + " --registry '" +
                        (dir / "registry").string() + "' '" +
                        (BuildDir() / "libmirelda-data.so").string() + "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  WriteFile(dir / "site" / "js.asp", kJavaScriptPage);
  WriteFile(dir / "site" / "vbs.asp", kVBScriptPage);
  auto host = std::make_unique<HostProcess>(dir.path(), dir / "site",
                                            std::vector<std::string>{"--workers", "1"});
  HttpReply js = HttpRequest(host->port(), "GET", "/js.asp?db=" + db.string());
  EXPECT_EQ(js.status, 200) << js.body;
  EXPECT_EQ(js.body, "Banana=3\nDate=0\n");
  HttpReply vbs = HttpRequest(host->port(), "GET", "/vbs.asp?db=" + db.string());
  EXPECT_EQ(vbs.status, 200) << vbs.body;
  EXPECT_EQ(vbs.body,
            "Apple Apricot Banana Blueberry Cherry Cranberry Date Fig Grapes Peach Strawberry "
            "Tomato ");
  EXPECT_EQ(host->Stop(), 0) << host->Log();
  EXPECT_EQ(host->Log().find("runtime error:"), std::string::npos) << host->Log();
}

}  // namespace
}  // namespace mirelda::testing

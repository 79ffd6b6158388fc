// Pages of both languages served by mirelda-host that send mail to a real SMTP sink and fetch
// from a real HTTP server, with the data library registered as an installation registers it and
// the mail server and the HTTP allow-list taken from the host's config file.
#include <gtest/gtest.h>

#include <fstream>

#include "host/running_host.h"
#include "support/python_server.h"

namespace mirelda::testing {
namespace {

// The JavaScript page leaves the server to the host's [mail] settings.
const char kJavaScriptPage[] = R"(<%@ LANGUAGE="JavaScript" %><%
function out(k, v) { Response.Write(k + "=" + v + "\n"); }
var m = Server.CreateObject("CDO.Message");
m.To = "js@example.com";
m.Subject = "网页邮件 from JavaScript";
m.TextBody = "正文";
m.Send();
out("sent", "yes");
var x = Server.CreateObject("MSXML2.ServerXMLHTTP.6.0");
x.open("POST", "http://127.0.0.1:HTTP_PORT/echo", false);
x.setRequestHeader("X-Test", "js");
x.send("中文");
out("status", x.status + " " + x.statusText);
out("echo", x.responseText.split("\n").join(";"));
try { x.open("GET", "http://example.com/"); } catch (e) { out("refused", e.number); }
%>)";

// The VBScript page names its server in a Configuration, both ways pages write fields.
const char kVBScriptPage[] = R"(<%@ LANGUAGE="VBScript" %><%
Const cdo = "http://schemas.microsoft.com/cdo/configuration/"
Set cfg = Server.CreateObject("CDO.Configuration")
cfg.Fields(cdo & "sendusing") = 2
With cfg.Fields
  .Item(cdo & "smtpserver") = "127.0.0.1"
  .Item(cdo & "smtpserverport") = SMTP_PORT
  .Update
End With
Set m = CreateObject("CDO.Message")
Set m.Configuration = cfg
m.From = "vb@example.com"
m.To = "refused@example.com"
m.Subject = "VBScript 邮件"
m.HTMLBody = "<b>粗体</b>"
On Error Resume Next
m.Send
Response.Write "refused=" & Err.Number & vbLf
Err.Clear
m.To = "vb-reader@example.com"
m.Send
Response.Write "sent=" & Err.Number & vbLf
On Error Goto 0
Set x = Server.CreateObject("Microsoft.XMLHTTP")
x.open "GET", "http://127.0.0.1:HTTP_PORT/bytes", False
x.send
Response.Write "status=" & x.status & vbLf
Response.Write "length=" & LenB(x.responseBody) & vbLf
Response.Write "type=" & x.getResponseHeader("Content-Type") & vbLf
%>)";

std::string WithPorts(std::string page, int smtp, int http) {
  for (auto [mark, port] : {std::pair{"SMTP_PORT", smtp}, std::pair{"HTTP_PORT", http}}) {
    for (size_t at; (at = page.find(mark)) != std::string::npos;) {
      page.replace(at, std::string(mark).size(), std::to_string(port));
    }
  }
  return page;
}

// Mail goes to a sink that writes each message it takes to N.txt, numbered from 1.
TEST(MailHttpPagesTest, PagesOfBothLanguagesMailAndFetch) {
  TempDir dir;
  std::filesystem::create_directories(dir / "mail");
  PythonServer smtp("smtp_sink.py", {(dir / "mail").string()});
  PythonServer http("http_sink.py");
  WriteFile(dir / "host.conf",
            "codepage = 65001\n[mail]\nsmtp-server = 127.0.0.1:" + std::to_string(smtp.port()) +
                "\nfrom = 网站 <site@example.com>\n[http]\n" +
                "allow = 127.0.0.1:" + std::to_string(http.port()) + "\n");
  RunningHost host(Files{{"js.asp", WithPorts(kJavaScriptPage, smtp.port(), http.port())},
                         {"vbs.asp", WithPorts(kVBScriptPage, smtp.port(), http.port())}},
                   {"--config", (dir / "host.conf").string()}, "VBScript",
                   {.libraries = {"libmirelda-data.so"}});
  auto received = [&](int n) {
    std::ifstream in(dir / "mail" / (std::to_string(n) + ".txt"));
    return std::string(std::istreambuf_iterator<char>(in), {});
  };

  HttpReply reply = host.Get("/js.asp");
  ASSERT_EQ(reply.status, 200) << reply.body << host.process().Log();
  EXPECT_EQ(reply.body,
            "sent=yes\nstatus=200 OK\necho=method=POST;content-type=None;x-test=js;"
            "body=e4b8ade69687;\nrefused=-2147024891\n");
  std::string mail = received(1);
  EXPECT_EQ(Field(mail, "from"), "网站 <site@example.com>");
  EXPECT_EQ(Field(mail, "subject"), "网页邮件 from JavaScript");
  EXPECT_EQ(Field(mail, "part0.text"), "正文\\n");

  reply = host.Get("/vbs.asp");
  ASSERT_EQ(reply.status, 200) << reply.body << host.process().Log();
  EXPECT_EQ(reply.body,
            "refused=-2147220977\nsent=0\nstatus=200\nlength=256\n"
            "type=application/octet-stream\n");
  mail = received(2);
  EXPECT_EQ(Field(mail, "rcpt"), "vb-reader@example.com");
  EXPECT_EQ(Field(mail, "subject"), "VBScript 邮件");
  EXPECT_EQ(Field(mail, "part0"), "text/html");
  EXPECT_EQ(received(3), "");
}

}  // namespace
}  // namespace mirelda::testing

// Pages of both languages served by mirelda-host that send mail to a real SMTP sink and fetch
// from a real HTTP server, with the data library registered as an installation registers it and
// the mail server and the HTTP allow-list taken from the host's config file.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "host/host_process.h"
#include "host/http_client.h"
#include "host/running_host.h"
#include "support/python_server.h"
#include "support/temp_dir.h"

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

class MailHttpPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "mail");
    smtp_ = std::make_unique<PythonServer>("smtp_sink.py",
                                           std::vector<std::string>{(dir_.path() / "mail")});
    http_ = std::make_unique<PythonServer>("http_sink.py");
    std::string command = (BuildDir() / "mirelda-regsvr").string() + " --registry '" +
                          (dir_.path() / "registry").string() + "' '" +
                          (BuildDir() / "libmirelda-data.so").string() + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::filesystem::path site = dir_.path() / "site";
    WriteFile(site / "js.asp", WithPorts(kJavaScriptPage, smtp_->port(), http_->port()));
    WriteFile(site / "vbs.asp", WithPorts(kVBScriptPage, smtp_->port(), http_->port()));
    WriteFile(dir_.path() / "host.conf",
              "codepage = 65001\n[mail]\nsmtp-server = 127.0.0.1:" + std::to_string(smtp_->port()) +
                  "\nfrom = 网站 <site@example.com>\n[http]\n" +
                  "allow = 127.0.0.1:" + std::to_string(http_->port()) + "\n");
    host_ = std::make_unique<HostProcess>(
        dir_.path(), site,
        std::vector<std::string>{"--config", (dir_.path() / "host.conf").string()});
  }
  void TearDown() override {
    EXPECT_EQ(host_->Stop(), 0) << host_->Log();
    EXPECT_EQ(host_->Log().find("runtime error:"), std::string::npos) << host_->Log();
  }

  std::string Received(int n) {
    std::ifstream in(dir_.path() / "mail" / (std::to_string(n) + ".txt"));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  TempDir dir_;
  std::unique_ptr<PythonServer> smtp_, http_;
  std::unique_ptr<HostProcess> host_;
};

TEST_F(MailHttpPagesTest, JavaScriptPageMailsThroughTheHostsServerAndFetches) {
  HttpReply reply = HttpRequest(host_->port(), "GET", "/js.asp");
  ASSERT_EQ(reply.status, 200) << reply.body << host_->Log();
  EXPECT_EQ(Field(reply.body, "sent"), "yes");
  EXPECT_EQ(Field(reply.body, "status"), "200 OK");
  EXPECT_EQ(Field(reply.body, "echo"),
            "method=POST;content-type=None;x-test=js;body=e4b8ade69687;");
  EXPECT_EQ(Field(reply.body, "refused"), "-2147024891");
  std::string mail = Received(1);
  EXPECT_EQ(Field(mail, "from"), "网站 <site@example.com>");
  EXPECT_EQ(Field(mail, "subject"), "网页邮件 from JavaScript");
  EXPECT_EQ(Field(mail, "part0.text"), "正文\\n");
}

TEST_F(MailHttpPagesTest, VBScriptPageMailsThroughItsConfigurationAndFetchesBytes) {
  HttpReply reply = HttpRequest(host_->port(), "GET", "/vbs.asp");
  ASSERT_EQ(reply.status, 200) << reply.body << host_->Log();
  EXPECT_EQ(Field(reply.body, "refused"), "-2147220977");
  EXPECT_EQ(Field(reply.body, "sent"), "0");
  EXPECT_EQ(Field(reply.body, "status"), "200");
  EXPECT_EQ(Field(reply.body, "length"), "256");
  EXPECT_EQ(Field(reply.body, "type"), "application/octet-stream");
  std::string mail = Received(1);
  EXPECT_EQ(Field(mail, "rcpt"), "vb-reader@example.com");
  EXPECT_EQ(Field(mail, "subject"), "VBScript 邮件");
  EXPECT_EQ(Field(mail, "part0"), "text/html");
  EXPECT_EQ(Received(2), "");
}

}  // namespace
}  // namespace mirelda::testing

// What pages read from requests: query strings and forms in both code pages, raw bodies, server
// variables and physical paths, and the body limit.
#include <gtest/gtest.h>

#include "host/running_host.h"

namespace mirelda::testing {
namespace {

const std::string kZhangSanGbk = "\xD5\xC5\xC8\xFD";
const std::string kZhangSanUtf8 = "\xE5\xBC\xA0\xE4\xB8\x89";

class RequestsTest : public SharedHostTest<RequestsTest> {
 protected:
  static void SetUpTestSuite() {
    host_.reset(new RunningHost(
        {
            {"echo.asp", R"(<%= Request("name") + "|" + String(Request("name")).length + "|" +
    Request.Form("f") + "|" + Request.QueryString("q") + "|" + Request.QueryString() %>)"},
            {"fields.asp",
             R"(<%= [Request.Form["name"], Request.Form["length"], Request.Form("call"),
     Request.QueryString["prototype"], Request.Form.call(null, "name")].join("|") %>)"},
            {"utf8.asp", R"(<% Session.CodePage = 65001; %><%= Request("name") + "|" +
    String(Request("name")).length + "|" + "\u00e9" %>)"},
            {"chars.asp", R"(<%= "\u5f20 \ud55c \ud83d\ude00" %>)"},
            {"body.asp", R"(<% var n = Request.TotalBytes; var b = Request.BinaryRead(n);
   var rest = Request.BinaryRead(10); Response.ContentType = "application/octet-stream";
   Response.Cookies("info").Item = n + ":" + b.length + ":" + rest.length;
   Response.BinaryWrite(b); %>)"},
            {"count.asp", R"(<% Application.Contents["hits"] = (Application("hits") || 0) + 1; %>)"
                          R"(<%= Application("hits") %>)"},
            {"vars.asp", R"(<% var v = Request.ServerVariables;
   Response.Write([v("SCRIPT_NAME"), v("APPL_PHYSICAL_PATH"), v("REMOTE_ADDR"),
     Request("HTTP_USER_AGENT"), v("REQUEST_METHOD"), v("HTTP_X_TEST_HEADER"),
     Server.MapPath("./"), Server.MapPath("/db/shop.mdb")].join("|")); %>)"},
            {"sub/dir/vars.asp",
             R"(<%= Server.MapPath("./") + "|" + Server.MapPath("../x.mdb") + "|" +
    Request.ServerVariables("SCRIPT_NAME") %><%
   try { Server.MapPath("../../../x"); } catch (e) { Response.Write("|" + e.number); }
   try { Server.MapPath("C:\\x"); } catch (e) { Response.Write("|" + e.number); } %>)"},
            {"encode.asp",
             R"(<%= Server.URLEncode("\u5f20 a&b") + "|" + Server.HTMLEncode("<a href='x'>&") %>)"},
        },
        {"--max-body", "64k"}));
  }
};

TEST_F(RequestsTest, QueryAndFormAreDecodedInTheDefaultCodePage936) {
  HttpReply r = host_->Post("/echo.asp?name=%D5%C5%C8%FD&q=a+b", "f=%C8%FD&name=ignored");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.Header("Content-Type"), "text/html; charset=GBK");
  EXPECT_EQ(r.body, kZhangSanGbk + "|2|\xC8\xFD|a b|name=%D5%C5%C8%FD&q=a+b");
  // A name given twice joins with ", ".
  EXPECT_EQ(host_->Get("/echo.asp?q=1&q=2").body, "undefined|9|undefined|1, 2|q=1&q=2");
  // Characters GBK cannot hold reach the browser as character references.
  EXPECT_EQ(host_->Get("/chars.asp").body, "\xD5\xC5 &#54620; &#128512;");
  // Fields named like function properties are fields too.
  EXPECT_EQ(host_->Post("/fields.asp?prototype=p", "name=n&length=l&call=c").body, "n|l|c|p|n");
}

TEST_F(RequestsTest, CodePage65001OfASessionOrOfTheHostSwitchesDecodingAndEncodingToUtf8) {
  HttpReply r = host_->Get("/utf8.asp?name=%E5%BC%A0%E4%B8%89");
  EXPECT_EQ(r.Header("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(r.body, kZhangSanUtf8 + "|2|\xC3\xA9");
  // Later pages of the session keep the code page.
  std::string cookie = SessionCookie(r);
  r = host_->Get("/echo.asp?name=%E5%BC%A0%E4%B8%89", {{"Cookie", cookie}});
  EXPECT_EQ(r.Header("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(r.body.substr(0, kZhangSanUtf8.size() + 2), kZhangSanUtf8 + "|2");
  // A host started with code page 65001 speaks UTF-8 from the first page.
  RunningHost utf8(Files{{"echo.asp", "<%= Request(\"name\") + \"|\" + Request.Form(\"f\") %>"}},
                   {"--codepage", "65001"});
  r = utf8.Post("/echo.asp?name=%E5%BC%A0%E4%B8%89", "f=%E4%B8%89");
  EXPECT_EQ(r.Header("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(r.body, kZhangSanUtf8 + "|\xE4\xB8\x89");
}

TEST_F(RequestsTest, BinaryReadHandsOverTheRawBodyOnce) {
  std::string body =
      "--b\r\nContent-Disposition: form-data; name=\"f\"; filename=\"x.bin\"\r\n\r\n";
  for (int i = 0; i < 256; ++i) body += static_cast<char>(i);
  body += "\r\n--b--\r\n";
  HttpReply r = host_->Post("/body.asp", body, "multipart/form-data; boundary=b");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, body);
  std::string n = std::to_string(body.size());
  EXPECT_EQ(CookiePair(r.Header("Set-Cookie")), "info=" + n + "%3A" + n + "%3A0");
}

TEST_F(RequestsTest, OversizeBodiesAndHeadersAreRefusedBeforeThePageRuns) {
  int before = std::stoi(host_->Get("/count.asp").body);
  HttpReply r = host_->Post("/count.asp", std::string(70000, 'x'));
  EXPECT_EQ(r.status, 413);
  EXPECT_EQ(std::stoi(host_->Get("/count.asp").body), before + 1);

  // Without a declared length the body is measured as it comes; too long closes the connection.
  HttpConnection connection(host_->port());
  std::string chunk = "9c40\r\n" + std::string(40000, 'y') + "\r\n";  // 0x9c40 bytes
  connection.Send("POST /count.asp HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n" +
                  chunk + chunk + "0\r\n\r\n");
  EXPECT_TRUE(connection.ClosedByServer());
  EXPECT_EQ(std::stoi(host_->Get("/count.asp").body), before + 2);

  // Headers are held in the connection's buffer: 24 KiB of them reach the page whole, 40 KiB
  // are refused with 431 and the page does not run.
  std::string big(24000, 'h');
  r = host_->Get("/vars.asp", {{"X-Test-Header", big}});
  EXPECT_NE(r.body.find("|" + big + "|"), std::string::npos);
  r = host_->Get("/count.asp", {{"X-Test-Header", std::string(40000, 'h')}});
  EXPECT_EQ(r.status, 431);
  EXPECT_EQ(std::stoi(host_->Get("/count.asp").body), before + 3);
}

TEST_F(RequestsTest, ServerVariablesAndMapPathSpeakDrivePaths) {
  HttpReply r = host_->Get("/vars.asp", {{"User-Agent", "TestAgent/1.0"}, {"X-Test-Header", "t"}});
  EXPECT_EQ(r.body, "/vars.asp|S:\\|127.0.0.1|TestAgent/1.0|GET|t|S:\\|S:\\db\\shop.mdb");
  r = host_->Get("/sub/dir/vars.asp");
  EXPECT_EQ(r.body, "S:\\sub\\dir|S:\\sub\\x.mdb|/sub/dir/vars.asp|5|5");
  EXPECT_EQ(host_->Get("/encode.asp").body, "%D5%C5+a%26b|&lt;a href=&#39;x&#39;&gt;&amp;");
}

}  // namespace
}  // namespace mirelda::testing

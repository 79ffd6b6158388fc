// The page objects' members that classic pages use beyond the basics: the request's collections
// by name, by position and as a whole, and the response's own headers, expiry, cache control,
// status and flushing.
#include <gtest/gtest.h>

#include <ctime>

#include "host/http/http_date.h"
#include "host/running_host.h"
#include "mirelda/variant.h"

namespace mirelda::testing {
namespace {

class PageObjectsTest : public SharedHostTest<PageObjectsTest> {
 protected:
  static void SetUpTestSuite() {
    host_.reset(new RunningHost({
        {"collections.asp", R"(<%
var f = Request.Form();
Response.Write(f.Count + '|' + f(1) + '|' + f.Key(2) + '|' + f('A') + '|' + f.Item(2) +
               '|' + f + '|' + Request.Form(1) + '|' + Request.Form('b'));
var q = Request.QueryString();
Response.Write('\n' + q.Count + '|' + q.Key(1) + '|' + q(2) + '|' + q);
var c = Request.Cookies();
Response.Write('\n' + c.Count + '|' + c.Key(2) + '|' + c('c1'));
var s = Request.ServerVariables();
Response.Write('\n' + (s.Count > 10) + '|' + s('request_method') + '|' +
               Request.ServerVariables('REQUEST_METHOD'));
try { f(3); } catch (e) { Response.Write('\n' + e.number); }
try { Request.Form(0); } catch (e) { Response.Write('|' + e.number); }
Response.Write('|' + (f('none') === undefined));
%>)"},
        {"headers.asp", R"(<%
Response.AddHeader('X-Mirelda', 'yes');
Response.CacheControl = 'no-cache';
Response.Expires = 0;
Response.Status = '404 Not Found';
Response.Write(Response.CacheControl + '|' + Response.Expires);
try { Response.AddHeader('Bad Name', 'x'); } catch (e) { Response.Write('|' + e.number); }
try { Response.AddHeader('X-Inject', 'a\r\nB: c'); } catch (e) { Response.Write('|' + e.number); }
%>)"},
        {"absolute.asp", "<% Response.ExpiresAbsolute = new Date(2030, 0, 2, 3, 4, 5); %>"},
        {"flush.asp", R"(<%
Response.Write('a'); Response.Flush();
try { Response.AddHeader('X-Late', '1'); } catch (e) {
  Response.Write('|' + e.number + '|' + (e.description.indexOf('Header Error') === 0)); }
try { Response.Clear(); } catch (e) { Response.Write('|clear'); }
try { Response.Redirect('/'); } catch (e) { Response.Write('|redirect'); }
%>)"},
        {"unbuffered.asp", R"(<%
Response.Buffer = false; Response.Write('x');
try { Response.Status = '500 Nope'; } catch (e) { Response.Write('|' + e.number); }
%>)"},
    }));
  }
};

TEST_F(PageObjectsTest, RequestCollectionsGoByNameByPositionAndAsAWhole) {
  HttpReply r = host_->Post("/collections.asp?q=x&r=y", "a=1&b=2&a=3",
                            "application/x-www-form-urlencoded", {{"Cookie", "c1=v1; c2=v2"}});
  ASSERT_EQ(r.status, 200) << r.body << host_->process().Log();
  EXPECT_EQ(r.body,
            "2|1, 3|b|1, 3|2|a=1&b=2&a=3|1, 3|2\n"
            "2|q|y|q=x&r=y\n"
            "2|c2|v1\n"
            "true|POST|POST\n"
            "9|9|true");
}

TEST_F(PageObjectsTest, ResponseHeadersExpiryCacheControlAndStatusUntilTheFirstFlush) {
  const int64_t before = static_cast<int64_t>(std::time(nullptr));
  HttpReply r = host_->Get("/headers.asp");
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(r.body, "no-cache|0|5|5");
  EXPECT_EQ(r.Header("X-Mirelda"), "yes");
  EXPECT_EQ(r.Header("X-Inject"), "");
  EXPECT_EQ(r.Header("Cache-Control"), "no-cache");
  std::optional<int64_t> expires = host::ParseHttpDate(r.Header("Expires"));
  ASSERT_TRUE(expires) << r.Header("Expires");
  EXPECT_GE(*expires, before - 1);
  EXPECT_LE(*expires, before + 60);

  r = host_->Get("/absolute.asp");
  EXPECT_EQ(r.Header("Expires"),
            host::FormatHttpDate(Date::FromParts(2030, 1, 2, 3, 4, 5).ToUnixTime()));
  // Once flushed, the headers can no longer change.
  r = host_->Get("/flush.asp");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "a|-2147467259|true|clear|redirect");
  EXPECT_EQ(r.Header("X-Late"), "");

  r = host_->Get("/unbuffered.asp");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "x|-2147467259");
}

}  // namespace
}  // namespace mirelda::testing

// Pages that run other pages: Server.Execute and Server.Transfer share the request, the response
// and the session with the page that calls them, in either language; the executed page's end and
// errors reach the caller, and Server.GetLastError tells what failed and where.
#include <gtest/gtest.h>

#include "host/running_host.h"

namespace mirelda::testing {
namespace {

class ServerExecuteTest : public SharedHostTest<ServerExecuteTest> {
 protected:
  static void SetUpTestSuite() {
    host_.reset(new RunningHost(
        {
            {"shop/caller.asp",
             "<% Session(\"who\") = \"Ann\" %>a<% Server.Execute \"part.asp\" %>"
             "c<%= Session(\"seen\") %>"},
            {"shop/part.asp",
             "[<%= Request(\"x\") %>:<%= Session(\"who\") %>:"
             "<%= Request.ServerVariables(\"SCRIPT_NAME\") %>:<%= Server.MapPath(\".\") %>]"
             "<% Session(\"seen\") = \"yes\" %>"},
            {"js_caller.asp",
             "<%@ LANGUAGE=\"JavaScript\" %>1<% Server.Execute('/shop/part.asp'); %>2"},
            {"transfer.asp", "a<% Server.Transfer \"/js_part.asp\"\nResponse.Write \"no\" %>no"},
            {"js_part.asp", "<%@ LANGUAGE=\"JavaScript\" %>b<%= 6 * 7 %>"},
            {"end_caller.asp", "a<% Server.Execute \"ender.asp\" %>no"},
            {"ender.asp", "b<% Response.End %>no"},
            {"trap.asp",
             "<% On Error Resume Next\nServer.Execute \"inc/divide.asp\"\n"
             "n = Err.Number\nOn Error GoTo 0\nSet e = Server.GetLastError()\n"
             "Response.Write \"|\" & n & \"|\" & e.Number & \"|\" & e.File & \"|\" & e.Line & "
             "\"|\" & e.Description & \"|\" & e.Source\n"
             "For Each p In Array(\"missing.asp\", \"trap.asp?x=1\", \"../../out.asp\", "
             "\"style.css\")\n"
             "  On Error Resume Next\n  Server.Execute p\n"
             "  Response.Write \"|\" & Err.Number\n  On Error GoTo 0\nNext %>"},
            {"inc/divide.asp", "x<%\ny = 1 / 0\n%>"},
            {"unhandled.asp", "<% Server.Execute \"inc/divide.asp\" %>"},
            {"bad_syntax.asp", "<%\nIf Then\n%>"},
            {"syntax_caller.asp", "<% Server.Execute \"bad_syntax.asp\" %>"},
            {"self.asp", "<% Server.Execute \"self.asp\" %>"},
            {"no_error.asp",
             "<%= Server.GetLastError().Number & \"|\" & TypeName(Server.GetLastError()) %>"},
            {"style.css", "p {}"},
        },
        {"--workers", "1"}, "VBScript"));
  }
};

TEST_F(ServerExecuteTest, AnExecutedPageWritesInPlaceWithTheCallersRequestAndSession) {
  HttpReply r = host_->Get("/shop/caller.asp?x=7");
  ASSERT_EQ(r.status, 200) << r.body << host_->process().Log();
  // The request stays the browser's (SCRIPT_NAME included); MapPath follows the executed page.
  EXPECT_EQ(r.body.rfind("a[7:Ann:/shop/caller.asp:", 0), 0u) << r.body;
  EXPECT_NE(r.body.find("\\shop]cyes"), std::string::npos) << r.body;

  r = host_->Get("/js_caller.asp?x=8");
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(r.body.rfind("1[8::/js_caller.asp:", 0), 0u) << r.body;
  EXPECT_EQ(r.body.back(), '2');
}

// Transfer and an executed page's end stop the caller; errors of executed pages reach the caller
// with their place.
TEST_F(ServerExecuteTest, EndsAndErrorsOfExecutedPagesReachTheCaller) {
  const std::pair<const char*, const char*> bodies[] = {
      {"/transfer.asp", "ab42"},
      {"/end_caller.asp", "ab"},
      {"/no_error.asp", "0|ASPError"},
      {"/trap.asp",
       "x|11|11|/inc/divide.asp|2|Division by zero|Microsoft VBScript runtime error|53|5|5|53"}};
  for (auto [page, body] : bodies) {
    HttpReply r = host_->Get(page);
    EXPECT_EQ(r.status, 200) << page << host_->process().Log();
    EXPECT_EQ(r.body, body) << page;
  }

  const std::pair<const char*, const char*> failures[] = {
      {"/unhandled.asp", "File: /inc/divide.asp, line 2"},
      {"/syntax_caller.asp", "File: /bad_syntax.asp, line 2"},
      {"/self.asp", "Error number: 28 "}};
  for (auto [page, place] : failures) {
    HttpReply r = host_->Get(page);
    EXPECT_EQ(r.status, 500) << page;
    EXPECT_NE(r.body.find(place), std::string::npos) << page << "\n" << r.body;
  }
}

}  // namespace
}  // namespace mirelda::testing

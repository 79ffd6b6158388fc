// A running host sees a changed include within about a second, and a change that breaks a page
// shows on every request until it is mended.
#include <gtest/gtest.h>

#include "host/running_host.h"

namespace mirelda::testing {
namespace {

TEST(PageFreshness, AChangedIncludeIsSeenAndABrokenOneIsNeverHidden) {
  RunningHost host(Files{{"page.asp", "<!-- #include file=\"inc/part.inc\" -->!"},
                         {"inc/part.inc", "<%= 'one' %>"}});
  ASSERT_EQ(host.Get("/page.asp").body, "one!");

  WriteFile(host.site() / "inc/part.inc", "<%= 'two' %>");
  EXPECT_EQ(host.GetUntil("/page.asp", "two!").body, "two!");

  WriteFile(host.site() / "inc/part.inc", "<%= 'three' +* %>");
  HttpReply broken = host.GetUntil("/page.asp", [](const HttpReply& r) { return r.status == 500; });
  EXPECT_EQ(broken.status, 500);
  for (int i = 0; i < 5; ++i) {
    broken = host.Get("/page.asp");
    EXPECT_EQ(broken.status, 500) << broken.body;
  }
  EXPECT_NE(broken.body.find("/inc/part.inc"), std::string::npos) << broken.body;

  WriteFile(host.site() / "inc/part.inc", "<%= 'four' %>");
  EXPECT_EQ(host.GetUntil("/page.asp", "four!").body, "four!");
}

}  // namespace
}  // namespace mirelda::testing

// Limits that options set, as a running mirelda-host keeps them.
#include <gtest/gtest.h>

#include "host/running_host.h"

namespace mirelda::testing {
namespace {

// With room for two sessions a third visitor pushes out the one idle longest; the others keep
// their values.
TEST(HostProcess, MaxSessionsMakesTheIdlestSessionRoom) {
  RunningHost host({{"set.asp", "<% Session.Contents[\"user\"] = Request(\"v\"); %>set"},
                    {"get.asp", "<%= \"user=\" + Session(\"user\") %>"}},
                   {"--max-sessions", "2"});
  std::string alice = SessionCookie(host.Get("/set.asp?v=alice"));
  std::string bob = SessionCookie(host.Get("/set.asp?v=bob"));
  ASSERT_EQ(host.Get("/get.asp", {{"Cookie", alice}}).body, "user=alice");
  std::string carol = SessionCookie(host.Get("/set.asp?v=carol"));
  EXPECT_EQ(host.Get("/get.asp", {{"Cookie", alice}}).body, "user=alice");
  EXPECT_EQ(host.Get("/get.asp", {{"Cookie", bob}}).body, "user=undefined");
  EXPECT_EQ(host.Get("/get.asp", {{"Cookie", carol}}).body, "user=carol");
}

}  // namespace
}  // namespace mirelda::testing

// Dates in headers: the one form replies carry, and the three forms a request's dates may take.
#include "host/http/http_date.h"

#include <gtest/gtest.h>

namespace mirelda::host {
namespace {

TEST(HttpDate, FormatsImfFixdateInGmt) {
  EXPECT_EQ(FormatHttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(FormatHttpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(ParseHttpDate(FormatHttpDate(1764000000)), 1764000000);
  // Years of one digit are padded, and a year past 9999 (a file's time may be set to anything)
  // is written whole.
  EXPECT_EQ(FormatHttpDate(-62135596800), "Mon, 01 Jan 0001 00:00:00 GMT");
  EXPECT_EQ(FormatHttpDate(253402300800), "Sat, 01 Jan 10000 00:00:00 GMT");
}

TEST(HttpDate, ParsesTheThreeFormsAndRefusesTheRest) {
  constexpr int kNow = 2026;
  struct Case {
    const char* text;
    int64_t seconds;
  };
  const Case cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
      {"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},
      {"Sun Nov  6 08:49:37 1994", 784111777},
      {"Sun Nov 16 08:49:37 1994", 784975777},
      {"Thu, 29 Feb 2024 23:59:59 GMT", 1709251199},
      // Two-digit years: at most 50 years ahead, otherwise the century before.
      {"Monday, 01-Jan-74 00:00:00 GMT", 3281990400},
      {"Saturday, 01-Jan-77 00:00:00 GMT", 220924800},
      {"Wednesday, 01-Jan-70 00:00:00 GMT", 3155760000},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseHttpDate(c.text, kNow), c.seconds) << c.text;
  for (const char* text :
       {"Sun, 06 Xyz 1994 08:49:37 GMT", "Sun, 6 Nov 1994 08:49:37 GMT",
        "Sun, 06 Nov 1994 08:49:37 UTC", "Sun, 06 Nov 1994 08:49:37 GMT ",
        "Sun, 06 Nov 94 08:49:37 GMT", "Sun, 31 Nov 1994 08:49:37 GMT",
        "Wed, 29 Feb 2023 08:49:37 GMT", "Sun, 06 Nov 1994 24:00:00 GMT",
        "Sun, 06 Nov 1994 08:60:00 GMT", "Sun, 06-Nov-94 08:49:37 GMT",
        "Sunday, 06-Nov-1994 08:49:37 GMT", "Sun Nov 6 08:49:37 1994", "Sun Nov  6 08:49:37 94",
        "sun, 06 nov 1994 08:49:37 gmt", "784111777", ""}) {
    EXPECT_EQ(ParseHttpDate(text, kNow), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace mirelda::host

// A real browser (headless Chromium) posts a form to mirelda-host in each code page: what the
// page reads is what the user typed, Chinese included.
#include <gtest/gtest.h>

#include <cstdio>

#include "host/running_host.h"
#include "support/temp_dir.h"

namespace mirelda::testing {
namespace {

// The form submits itself; the result page shows what it read.
const Files kSite = {
    {"form.asp",
     "<html><body><form method=\"post\" action=\"show.asp?q=\xE4\xB8\xAD\xE6\x96\x87\">"
     "<input name=\"who\" value=\"\xE5\xBC\xA0\xE4\xB8\x89 &amp; \xE6\x9D\x8E\xE5\x9B\x9B\">"
     "</form><script>document.forms[0].submit();</script></body></html>"},
    {"show.asp",
     "<html><body><p id=\"read\"><%= Server.HTMLEncode(Request.Form(\"who\") + \"|\" + "
     "Request.QueryString(\"q\") + \"|\" + String(Request.Form(\"who\")).length) %></p>"
     "</body></html>"},
};

// The DOM Chromium ends up with after loading url; "" when there is no Chromium or it failed.
std::string BrowserDom(const std::string& url) {
  for (const char* browser : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
    if (::access(browser, X_OK) != 0) continue;
    mirelda::testing::TempDir profile;
    std::string command = std::string(browser) +
                          " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                          " --disable-background-networking --disable-component-update"
                          " --disable-sync --virtual-time-budget=5000 --user-data-dir='" +
                          profile.path().string() + "' --dump-dom '" + url + "' 2>/dev/null";
    std::string dom;
    FILE* out = ::popen(command.c_str(), "r");
    for (int c; out && (c = std::fgetc(out)) != EOF;) dom += static_cast<char>(c);
    if (out) ::pclose(out);
    return dom;
  }
  return "";
}

TEST(BrowserForm, ChineseSurvivesAFormPostInEachCodePage) {
  for (const char* code_page : {"936", "65001"}) {
    SCOPED_TRACE(code_page);
    RunningHost host(kSite, {"--codepage", code_page});
    std::string dom = BrowserDom("http://127.0.0.1:" + std::to_string(host.port()) + "/form.asp");
    ASSERT_FALSE(dom.empty()) << "no Chromium answered (scripts/setup --test installs it)";
    // 张三 & 李四|中文|7
    EXPECT_NE(dom.find("<p id=\"read\">\xE5\xBC\xA0\xE4\xB8\x89 &amp; \xE6\x9D\x8E\xE5\x9B\x9B|"
                       "\xE4\xB8\xAD\xE6\x96\x87|7</p>"),
              std::string::npos)
        << dom;
  }
}

}  // namespace
}  // namespace mirelda::testing

// Script pages into JavaScript: literal text, blocks, includes, and the line map that error
// messages use.
#include "host/page_compiler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "support/temp_dir.h"

namespace mirelda::host {
namespace {

using mirelda::testing::TempDir;

void Write(const std::filesystem::path& path, const std::string& content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

// The script line that contains text.
int LineOf(const CompiledPage& page, const std::string& text) {
  size_t at = page.script.find(text);
  if (at == std::string::npos) return -1;
  return 1 + static_cast<int>(std::count(page.script.begin(), page.script.begin() + at, '\n'));
}

TEST(PageCompiler, LinesOfPagesAndIncludesLeadBackToTheirFiles) {
  TempDir site;
  Write(site / "app/page.asp",
        "<html>\n"                                     // 1
        "<!-- #include file=\"parts/top.inc\" -->\n"   // 2
        "<% var a = 1;\n"                              // 3
        "   probeA(); %>\n"                            // 4
        "<%= a // a comment %> after\n"                // 5
        "<!-- #include virtual=\"/lib/util.inc\" -->"  // 6
        "<% probeB(); %>\n");                          // 6
  Write(site / "app/parts/top.inc", "<h1>top</h1>\n<% probeTop(); %>\n");
  Write(site / "lib/util.inc", "<%\n\n probeUtil(); %>");
  auto page = CompilePage(site.path(), "/app/page.asp", 936);
  auto at = [&](const std::string& text) { return page->Locate(LineOf(*page, text)); };
  EXPECT_EQ(at("probeA").file, "/app/page.asp");
  EXPECT_EQ(at("probeA").line, 4);
  EXPECT_EQ(at("probeTop").file, "/app/parts/top.inc");
  EXPECT_EQ(at("probeTop").line, 2);
  EXPECT_EQ(at("probeUtil").file, "/lib/util.inc");
  EXPECT_EQ(at("probeUtil").line, 3);
  EXPECT_EQ(at("probeB").file, "/app/page.asp");
  EXPECT_EQ(at("probeB").line, 6);
  // The comment in the expression does not swallow what follows it.
  EXPECT_NE(page->script.find("__mireldaWrite( a // a comment \n);"), std::string::npos);
  EXPECT_EQ(page->files,
            (std::vector<std::string>{"/app/page.asp", "/app/parts/top.inc", "/lib/util.inc"}));
  EXPECT_EQ(page->dependencies.size(), 3u);
  ASSERT_FALSE(page->literals.empty());
  EXPECT_EQ(page->literals[0], "<html>\n");
}

TEST(PageCompiler, ServerScriptBlocksAreCodeAndNeverText) {
  TempDir site;
  Write(site / "p.asp",
        "<script>client();</script>\n"                     // 1
        "<SCRIPT language=\"JScript\" RUNAT=Server>\n"     // 2
        "function helper() { return serverSecret; }\n"     // 3
        "</SCRIPT>\n"                                      // 4
        "<script runat='server'>probeAfter();</script>");  // 5
  auto page = CompilePage(site.path(), "/p.asp", 936);
  for (const std::string& literal : page->literals) {
    EXPECT_EQ(literal.find("serverSecret"), std::string::npos) << literal;
    EXPECT_EQ(literal.find("probeAfter"), std::string::npos) << literal;
  }
  EXPECT_NE(page->literals[0].find("client();"), std::string::npos);
  EXPECT_EQ(page->Locate(LineOf(*page, "serverSecret")).line, 3);
  EXPECT_EQ(page->Locate(LineOf(*page, "probeAfter")).line, 5);
}

TEST(PageCompiler, RefusesBrokenPagesAndIncludesOutsideTheSite) {
  TempDir site;
  auto error_of = [&](const std::string& page_text) -> std::string {
    Write(site / "p.asp", page_text);
    try {
      CompilePage(site.path(), "/p.asp", 936);
    } catch (const PageCompileError& e) {
      return std::string(e.what()) + " @" + e.where().file + ":" + std::to_string(e.where().line);
    }
    return "compiled";
  };
  std::string unclosed = error_of("a\n<% x = 1");
  EXPECT_NE(unclosed.find("never closed"), std::string::npos) << unclosed;
  EXPECT_NE(unclosed.find("@/p.asp:2"), std::string::npos) << unclosed;
  EXPECT_NE(error_of("<!-- #include file=\"../x-secret.txt\" -->").find("out of the site"),
            std::string::npos);
  EXPECT_NE(error_of("<!-- #include virtual=\"/../../etc/passwd\" -->").find("out of the site"),
            std::string::npos);
  EXPECT_NE(error_of("\n<!-- #include file=\"missing.inc\" -->").find("@/p.asp:2"),
            std::string::npos);
  EXPECT_NE(error_of("<!-- #include file=\"p.asp\" -->").find("nest deeper"), std::string::npos);
  EXPECT_NE(error_of("<%@ LANGUAGE=\"VBScript\" %>").find("JavaScript"), std::string::npos);
  EXPECT_NE(error_of("<script language=vbscript runat=server>x</script>").find("JavaScript"),
            std::string::npos);
  EXPECT_NE(error_of("<script runat=\"server\">f();").find("never closed"), std::string::npos);
  EXPECT_EQ(error_of("<%@ Language=JScript %><!-- plain comment --><!-- #include nothing -->"),
            "compiled");
}

TEST(PageCompiler, KnowsWhenItsFilesChangeAndReadsOldCodePageFiles) {
  TempDir site;
  Write(site / "p.asp", "<!-- #include file=\"i.inc\" -->");
  Write(site / "i.inc", "one");
  auto page = CompilePage(site.path(), "/p.asp", 936);
  EXPECT_TRUE(page->IsCurrent());
  Write(site / "i.inc", "two, longer");
  EXPECT_FALSE(page->IsCurrent());
  auto again = CompilePage(site.path(), "/p.asp", 936);
  EXPECT_GT(again->generation, page->generation);
  // A page saved in GBK (not valid UTF-8) is read in the host's code page.
  Write(site / "gbk.asp", "\xD5\xC5\xC8\xFD");
  EXPECT_EQ(CompilePage(site.path(), "/gbk.asp", 936)->literals.at(0), "\xE5\xBC\xA0\xE4\xB8\x89");
  Write(site / "bom.asp", "\xEF\xBB\xBFhi");
  EXPECT_EQ(CompilePage(site.path(), "/bom.asp", 936)->literals.at(0), "hi");
}

}  // namespace
}  // namespace mirelda::host

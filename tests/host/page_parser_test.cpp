// Script pages into page sources: literal text, code and expressions with the file, line and
// column they come from, includes, directives, script blocks and their languages, and the pages
// that cannot be read.
#include "host/page/page_parser.h"

#include <gtest/gtest.h>

#include <fstream>

#include "host/page/script_engine.h"
#include "mirelda/text.h"
#include "support/temp_dir.h"

namespace mirelda::host {
namespace {

using mirelda::testing::TempDir;

void Write(const std::filesystem::path& path, const std::string& content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

PageParseOptions Options(std::string default_language = "vbscript") {
  PageParseOptions options;
  options.default_language = std::move(default_language);
  options.canonical_language = [](std::string_view name) -> std::string {
    if (text::EqualsIgnoreCase(name, "VBScript") || text::EqualsIgnoreCase(name, "vbs")) {
      return "vbscript";
    }
    if (text::EqualsIgnoreCase(name, "JScript") || text::EqualsIgnoreCase(name, "JavaScript")) {
      return "javascript";
    }
    return "";
  };
  return options;
}

// One line per segment: kind, language, file:line:column and the text.
std::string Describe(const PageSource& page) {
  std::string out;
  for (const Segment& s : page.segments) {
    const char* kind = s.kind == SegmentKind::kLiteral      ? "text"
                       : s.kind == SegmentKind::kExpression ? "expr"
                                                            : (s.script_block ? "block" : "code");
    out += std::string(kind) + " " + s.language + " " + page.files[s.file] + ":" +
           std::to_string(s.line) + ":" + std::to_string(s.column) + " [" + s.text + "]\n";
  }
  return out;
}

TEST(PageParser, SegmentsKeepTheirFilesLinesAndColumns) {
  TempDir site;
  Write(site / "app/page.asp",
        "<html>\n"                                            // 1
        "<!-- #include file=\"parts/top.inc\" -->\n"          // 2
        "<% a = 1\n"                                          // 3
        "   b = 2 %>\n"                                       // 4
        "  <%= a %> \xE4\xB8\xAD<%=b%>\n"                     // 5
        "<!-- #include virtual=\"/lib/util.inc\" --><% c %>"  // 6
        "<!-- a plain comment -->");
  Write(site / "app/parts/top.inc", "<h1>top</h1>\n<% t %>\n");
  Write(site / "lib/util.inc", "<%\n\n u %>");
  auto page = ParsePage(site.path(), "/app/page.asp", Options());
  EXPECT_EQ(Describe(*page),
            "text  /app/page.asp:1:1 [<html>\n]\n"
            "text  /app/parts/top.inc:1:1 [<h1>top</h1>\n]\n"
            "code vbscript /app/parts/top.inc:2:3 [ t ]\n"
            "text  /app/parts/top.inc:2:8 [\n]\n"
            "text  /app/page.asp:2:39 [\n]\n"
            "code vbscript /app/page.asp:3:3 [ a = 1\n   b = 2 ]\n"
            "text  /app/page.asp:4:12 [\n  ]\n"
            "expr vbscript /app/page.asp:5:6 [ a ]\n"
            "text  /app/page.asp:5:11 [ \xE4\xB8\xAD]\n"
            "expr vbscript /app/page.asp:5:16 [b]\n"
            "text  /app/page.asp:5:19 [\n]\n"
            "code vbscript /lib/util.inc:1:3 [\n\n u ]\n"
            "code vbscript /app/page.asp:6:44 [ c ]\n"
            "text  /app/page.asp:6:49 [<!-- a plain comment -->]\n");
  EXPECT_EQ(page->files,
            (std::vector<std::string>{"/app/page.asp", "/app/parts/top.inc", "/lib/util.inc"}));
  EXPECT_EQ(page->dependencies.size(), 3u);
  SourceLocation where = page->Locate(page->segments[5], 1, 4);
  EXPECT_EQ(where.file + ":" + std::to_string(where.line) + ":" + std::to_string(where.column),
            "/app/page.asp:4:4");
}

TEST(PageParser, DirectivesAndScriptBlocksNameLanguagesAndCodePages) {
  TempDir site;
  Write(site / "js.asp",
        "<%@ Language=\"JScript\" CODEPAGE=65001 EnableSessionState=False %>\n"
        "<script>client();</script>\n"
        "<SCRIPT language=\"VBScript\" RUNAT=Server>\nFunction f\nEnd Function\n</SCRIPT>"
        "<script runat='server'>g();</script><% h(); %>");
  auto page = ParsePage(site.path(), "/js.asp", Options());
  EXPECT_EQ(page->directives.language, "javascript");
  EXPECT_EQ(page->directives.code_page, 65001);
  EXPECT_FALSE(page->directives.session_state);
  EXPECT_EQ(Describe(*page),
            "text  /js.asp:1:66 [\n<script>client();</script>\n]\n"
            "block vbscript /js.asp:3:42 [\nFunction f\nEnd Function\n]\n"
            "block javascript /js.asp:6:33 [g();]\n"
            "code javascript /js.asp:6:48 [ h(); ]\n");
  Write(site / "default.asp", "<% x %>");
  auto plain = ParsePage(site.path(), "/default.asp", Options("javascript"));
  EXPECT_EQ(plain->directives.language, "javascript");
  EXPECT_FALSE(plain->directives.code_page.has_value());
  EXPECT_TRUE(plain->directives.session_state);
}

TEST(PageParser, ReadsFilesInTheirCodePages) {
  TempDir site;
  auto literal = [&](const std::string& name, const std::string& content) -> std::string {
    Write(site / name, content);
    try {
      return ParsePage(site.path(), "/" + name, Options())->segments.back().text;
    } catch (const PageError& e) {
      return "error: " + e.description() + " @" + std::to_string(e.where().line);
    }
  };
  // GBK without a directive is read in the fallback code page; with one, in the named page.
  EXPECT_EQ(literal("gbk.asp", "\xD5\xC5\xC8\xFD"), "\xE5\xBC\xA0\xE4\xB8\x89");
  EXPECT_EQ(literal("gbk936.asp", "<%@ CODEPAGE=936 %>\xD5\xC5"), "\xE5\xBC\xA0");
  EXPECT_EQ(literal("bom.asp", "\xEF\xBB\xBFhi"), "hi");
  // Bytes that are text in neither are refused at their line, never passed on.
  EXPECT_EQ(literal("bad.asp", "a\nb\n\xFF\xFF"),
            "error: The file /bad.asp holds bytes that are no text in UTF-8 or the code page "
            "936 @3");
  EXPECT_EQ(literal("bad8.asp", "<%@ CODEPAGE=65001 %>\n\xD5\xC5"),
            "error: The file /bad8.asp holds bytes that are no text in its code page 65001 @2");
}

TEST(PageParser, RefusesBrokenPagesAndIncludesOutsideTheSite) {
  TempDir site;
  Write(site / "x-secret.txt", "secret");
  auto error_of = [&](const std::string& page_text) -> std::string {
    Write(site / "dir/p.asp", page_text);
    try {
      ParsePage(site.path(), "/dir/p.asp", Options());
    } catch (const PageError& e) {
      return e.description() + " @" + e.where().file + ":" + std::to_string(e.where().line);
    }
    return "parsed";
  };
  struct Case {
    std::string page, error;
  };
  const Case cases[] = {
      {"a\n<% x = 1", "A script block opened with <% is never closed with %> @/dir/p.asp:2"},
      {"<!-- #include file=\"../../x-secret.txt\" -->",
       "The include \"../../x-secret.txt\" leads out of the site @/dir/p.asp:1"},
      {"<!-- #include virtual=\"/../etc/passwd\" -->",
       "The include \"/../etc/passwd\" leads out of the site @/dir/p.asp:1"},
      {"<!-- #include file=\"/x-secret.txt\" -->",
       "An include file=\"...\" is relative; use virtual=\"/x-secret.txt\" for a path from the "
       "site's root @/dir/p.asp:1"},
      {"<!-- #include file=\"c:\\x.inc\" -->",
       "The include \"c:\\x.inc\" names no file of the site @/dir/p.asp:1"},
      {"\n<!-- #include file=\"missing.inc\" -->",
       "Cannot read the file /dir/missing.inc @/dir/p.asp:2"},
      {"<!-- #include file=\"p.asp\" -->",
       "Includes nest deeper than 16 levels (is a file including itself?) @/dir/p.asp:1"},
      {"<%@ LANGUAGE=\"Perl\" %>",
       "This host runs no script language named \"Perl\" @/dir/p.asp:1"},
      {"\n<script language=tcl runat=server>x</script>",
       "This host runs no script language named \"tcl\" @/dir/p.asp:2"},
      {"<script runat=\"server\">f()",
       "A <script runat=\"server\"> block is never closed @/dir/p.asp:1"},
      {"<%@ CODEPAGE=12345678 %>",
       "The page names the code page \"12345678\", which this host cannot read @/dir/p.asp:1"},
      {"<%@ Language=JScript %><!-- plain comment --><!-- #include nothing -->", "parsed"},
      {"<!-- #include virtual=\"/x-secret.txt\" -->", "parsed"},
  };
  for (const Case& c : cases) EXPECT_EQ(error_of(c.page), c.error) << c.page;
}

TEST(PageParser, KnowsWhenItsFilesChange) {
  TempDir site;
  Write(site / "p.asp", "<!-- #include file=\"i.inc\" -->");
  Write(site / "i.inc", "one");
  auto page = ParsePage(site.path(), "/p.asp", Options());
  EXPECT_TRUE(page->IsCurrent());
  Write(site / "i.inc", "two, longer");
  EXPECT_FALSE(page->IsCurrent());
  auto again = ParsePage(site.path(), "/p.asp", Options());
  EXPECT_GT(again->generation, page->generation);
}

}  // namespace
}  // namespace mirelda::host

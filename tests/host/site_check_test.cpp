// mirelda-host --check as a process: sites seeded with one fault of each kind it finds, the exact
// lines it prints and its exit status; the demo site, which must have none; and usage errors.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "host/host_process.h"
#include "support/temp_dir.h"

namespace mirelda::testing {
namespace {

namespace fs = std::filesystem;

struct CheckRun {
  int status = -1;
  std::string out;
};

// Runs mirelda-host with args and what it prints to standard output.
CheckRun RunHost(const std::vector<std::string>& args) {
  std::string command = "'" + (BuildDir() / "mirelda-host").string() + "'";
  for (const std::string& a : args) command += " '" + a + "'";
  FILE* out = ::popen((command + " 2>/dev/null").c_str(), "r");
  CheckRun run;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;) run.out.append(buffer, n);
  int status = ::pclose(out);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// A registration store with both component libraries in it, as an installation has.
fs::path Registry(const TempDir& dir) {
  for (const char* library : {"libmirelda.so", "libmirelda-data.so"})
    RegisterLibrary(dir / "registry", library);
  return dir / "registry";
}

using Files = std::map<std::string, std::string>;

CheckRun CheckSite(const Files& files) {
  TempDir dir;
  for (const auto& [name, content] : files) WriteFile(dir / "site" / name, content);
  return RunHost({"--check", (dir / "site").string(), "--registry", Registry(dir).string()});
}

constexpr const char kGlobal[] =
    R"(<object runat="server" scope="Application" id="AppDb" progid="Mirelda.Database"></object>
<script language="VBScript" runat="server">
Sub Application_OnStart
  Application("hits") = 0
End Sub
</script>
)";

// Pages no check may report: declared names, the host's objects, object tags of the page and of
// global.asa, procedures and classes of the page and its includes, built-ins, creatable ProgIDs,
// and names that ExecuteGlobal may define.
const Files kCleanPages = {
    {"global.asa", kGlobal},
    {"inc/tools.inc", "<%\nFunction Twice(n)\n  Twice = n * 2\nEnd Function\n%>"},
    {"clean.asp",
     "<object runat=\"server\" id=\"Conn\" progid=\"ADODB.Connection\"></object>\n"
     "<!-- #include file=\"inc/tools.inc\" -->\n"
     "<%\nOption Explicit\nDim box, i\nSet box = New Holder\n"
     "For i = 1 To Len(\"ab\")\n  box.Put Twice(i)\nNext\n"
     "Response.Write AppDb Is Nothing & Conn Is Nothing & IsObject(ObjectContext)\n"
     "Set box = Server.CreateObject(\"Scripting.FileSystemObject\")\n"
     "Class Holder\n  Private items\n  Sub Put(n)\n    items = items & n\n  End Sub\nEnd "
     "Class\n%>"},
    {"loose.asp",
     "<%\nparts = Split(\"a,b\", \",\")\nResponse.Write parts(0)\nReDim more(2)\n"
     "more(1) = 3\ncounter = counter + 1\n%>"},
    {"executes.asp",
     "<%\nOption Explicit\nExecuteGlobal \"Function Later(n) : Later = n : End Function\"\n"
     "Response.Write Later(1) & made\n%>"},
    {"mixed.asp",
     "<%@ LANGUAGE=\"JavaScript\" %>\n<script language=\"VBScript\" runat=\"server\">\n"
     "Function Fmt(n) : Fmt = FormatNumber(Twice(n), 2) : End Function\n</script>\n"
     "<% function Twice(n) { return n * 2; } Response.Write(Fmt(1)); %>"},
    {"js/clean.asp",
     "<%@ LANGUAGE=\"JavaScript\" %>\n<%\nvar fso = "
     "Server.CreateObject('Scripting.FileSystemObject');\n"
     "Response.Write(AppDb ? 'yes' : 'no');\n%>"},
};

TEST(SiteCheckTest, ReportsEachFaultOnceWithItsPlace) {
  struct Case {
    const char* name;
    Files files;
    std::string expected;
    int status;
  };
  Files faulty = kCleanPages;
  faulty.insert({
      {"inc/menu.inc", "<%\nSub Menu\n  Response.Write \"<ul>\" &\nEnd Sub\n%>"},
      {"menu.asp", "<!-- #include file=\"inc/menu.inc\" -->\n<% Menu %>"},
      {"admin/menu.asp", "<!-- #include virtual=\"/inc/menu.inc\" -->\n<% Menu %>"},
      {"explicit.asp",
       "<%\nOption Explicit\nDim shown\nshown = 1\nResponse.Write shown + count\n"
       "Function Later()\n  Later = count + missed\nEnd Function\nNotThere 1\n%>"},
      {"progid.asp",
       "<object runat=\"server\" id=\"Thing\" progid=\"Nowhere.Tag\"></object>\n"
       "<%\nSet x = Server.CreateObject(\"Nowhere.Thing\")\n%>"},
      {"unknown.asp", "<%\nx = 2\nResponse.Write Frobnicate(x)\nTally 1, 2\n%>"},
      {"js/broken.asp", "<%@ LANGUAGE=\"JavaScript\" %>\n<%\nvar a = ;\n%>"},
      {"js/progid.asp",
       "<%@ LANGUAGE=\"JavaScript\" %>\n<%\nvar o = Server.CreateObject( 'Nowhere.Js' );\n%>"},
  });
  const Case cases[] = {
      {"clean pages", kCleanPages, "6 pages checked, 0 problems\n", 0},
      {"one page", {{"only.asp", "<% Response.Write 1 %>"}}, "1 page checked, 0 problems\n", 0},
      {"a fault of each kind", faulty,
       "/inc/menu.inc:3:26: error 1023: Expected expression\n"
       "/explicit.asp:5:24: error 500: Variable is undefined: 'count'\n"
       "/explicit.asp:7:19: error 500: Variable is undefined: 'missed'\n"
       "/explicit.asp:9:1: error 500: Variable is undefined: 'NotThere'\n"
       "/js/broken.asp:3:0: error -2147467259: SyntaxError: empty expression not allowed\n"
       "/js/progid.asp:3:30: error 429: ActiveX component can't create object: 'Nowhere.Js'\n"
       "/progid.asp:1:1: error 429: ActiveX component can't create object: 'Nowhere.Tag'\n"
       "/progid.asp:3:29: error 429: ActiveX component can't create object: 'Nowhere.Thing'\n"
       "/unknown.asp:3:16: error 13: Type mismatch: 'Frobnicate'\n"
       "/unknown.asp:4:1: error 13: Type mismatch: 'Tally'\n"
       "13 pages checked, 10 problems\n",
       1},
      {"a global.asa that does not compile",
       {{"global.asa",
         "<script language=\"VBScript\" runat=\"server\">\nSub Application_OnStart\n"
         "</script>"},
        {"page.asp", "<% Response.Write 1 %>"}},
       "/global.asa:3:1: error 1014: Expected 'End'\n2 pages checked, 1 problem\n",
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CheckRun run = CheckSite(c.files);
    EXPECT_EQ(run.out, c.expected);
    EXPECT_EQ(run.status, c.status);
  }
}

TEST(SiteCheckTest, DemoSiteHasNoProblems) {
  TempDir dir;
  CheckRun run = RunHost({"--check", MIRELDA_SITE_DIR, "--registry", Registry(dir).string()});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find(" pages checked, 0 problems\n"), std::string::npos) << run.out;
}

TEST(SiteCheckTest, UsageErrorsExitTwoAndCheckNothing) {
  TempDir dir;
  WriteFile(dir / "site" / "page.asp", "<% x = %>");
  std::string site = (dir / "site").string();
  const std::vector<std::string> cases[] = {
      {"--check", (dir / "missing").string()},
      {"--check"},
      {"--check", site, "--default-language", "Perl"},
      {"--check", site, "--codepage", "1234"},
      {"--check", site, "extra"},
  };
  for (const std::vector<std::string>& args : cases) {
    SCOPED_TRACE(args.back());
    CheckRun run = RunHost(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace mirelda::testing

// The same page work in VBScript and in JavaScript, run in one process through the host's own
// page parser, engines and the in-memory page objects: a loop of arithmetic and string building,
// Dictionary operations, a listing of rows through ADODB from a Jet file, and a RegExp replace
// over 1 MiB of text. Each item runs several times per language; the table shows the median times
// and the VBScript/JavaScript ratio (below 1.0: VBScript is faster).
//
//   build/bench/script_bench [RUNS]      (default 7)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "data/data_connection.h"
#include "data/jet_file.h"
#include "host/page/page_parser.h"
#include "host/test_host/test_host.h"
#include "mirelda/registry.h"
#include "script/javascript/javascript_engine.h"
#include "script/vbscript/engine.h"
#include "support/temp_dir.h"

namespace {

using namespace mirelda;
using Clock = std::chrono::steady_clock;

struct Item {
  const char* name;
  std::string vbscript;
  std::string javascript;
  const char* needs = nullptr;  // a ProgID the item cannot run without
};

std::vector<Item> Items(const std::string& connection) {
  return {
      {"loop: 10^6 steps of arithmetic, text built every 100th",
       R"(<%
n = 0 : s = ""
For i = 1 To 1000000
  n = (n + i * 3) Mod 1000003
  If i Mod 100 = 0 Then s = s & n & ","
Next
Response.Write Len(s)
%>)",
       R"(<%@ LANGUAGE="JavaScript" %><%
var n = 0, s = "";
for (var i = 1; i <= 1000000; i++) {
  n = (n + i * 3) % 1000003;
  if (i % 100 == 0) s = s + n + ",";
}
Response.Write(s.length);
%>)"},
      {"Dictionary: 10^5 operations",
       R"(<%
Set d = CreateObject("Scripting.Dictionary")
For i = 1 To 25000 : d.Add "k" & i, i : Next
t = 0
For i = 1 To 25000
  If d.Exists("k" & i) Then t = t + d.Item("k" & i)
Next
For i = 1 To 25000 : d.Remove "k" & i : Next
Response.Write t & " " & d.Count
%>)",
       R"(<%@ LANGUAGE="JavaScript" %><%
var d = Server.CreateObject("Scripting.Dictionary");
for (var i = 1; i <= 25000; i++) d.Add("k" + i, i);
var t = 0;
for (var i = 1; i <= 25000; i++) if (d.Exists("k" + i)) t += d.Item("k" + i);
for (var i = 1; i <= 25000; i++) d.Remove("k" + i);
Response.Write(t + " " + d.Count);
%>)",
       "Scripting.Dictionary"},
      {"ADODB: a listing of 1,000 rows",
       R"(<%
Set conn = Server.CreateObject("ADODB.Connection")
conn.Open ")" +
           connection + R"("
Set rs = conn.Execute("select id, name, price from items order by id")
Do While Not rs.EOF
  Response.Write "<tr><td>" & rs("id") & "</td><td>" & rs("name") & "</td><td>" & rs("price") & "</td></tr>"
  rs.MoveNext
Loop
rs.Close : conn.Close
%>)",
       R"(<%@ LANGUAGE="JavaScript" %><%
var conn = Server.CreateObject("ADODB.Connection");
conn.Open(")" +
           connection + R"(");
var rs = conn.Execute("select id, name, price from items order by id");
while (!rs.EOF) {
  Response.Write("<tr><td>" + rs("id") + "</td><td>" + rs("name") + "</td><td>" + rs("price") + "</td></tr>");
  rs.MoveNext();
}
rs.Close(); conn.Close();
%>)"},
      {"RegExp: a replace over 1 MiB",
       R"(<%
t = "word 1234 other 56 " : t = t & Space(13)
For k = 1 To 15 : t = t & t : Next
Set re = New RegExp
re.Pattern = "\d+" : re.Global = True
Response.Write Len(re.Replace(t, "#"))
%>)",
       R"(<%@ LANGUAGE="JavaScript" %><%
var t = "word 1234 other 56 " + "             ";
for (var k = 1; k <= 15; k++) t = t + t;
Response.Write(t.replace(/\d+/g, "#").length);
%>)"},
  };
}

class Bench {
 public:
  Bench()
      : vbscript_(script::vbscript::MakeVBScriptEngine()),
        javascript_(script::javascript::MakeJavaScriptEngine()),
        vbscript_runner_(vbscript_->NewRunner()),
        javascript_runner_(javascript_->NewRunner()) {}

  const std::filesystem::path& root() const { return dir_.path(); }

  // Milliseconds of one run of the page; its output goes to *output.
  double Run(const std::string& text, bool javascript, std::string* output) {
    std::ofstream(dir_.path() / "page.asp", std::ios::binary | std::ios::trunc) << text;
    host::PageParseOptions parse;
    parse.canonical_language = [](std::string_view name) -> std::string {
      std::string lower(name);
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (lower == "vbscript") return "vbscript";
      return lower == "javascript" || lower == "jscript" ? "javascript" : "";
    };
    parse.default_language = "vbscript";
    auto source = host::ParsePage(dir_.path(), "/page.asp", parse);
    const host::ScriptEngine& engine = javascript ? *javascript_ : *vbscript_;
    host::ScriptRunner& runner = javascript ? *javascript_runner_ : *vbscript_runner_;
    host_.NewPage("/page.asp");
    Clock::time_point start = Clock::now();
    auto script = engine.Compile(*source);
    host::PageRun run;
    host_.RunPage([&](host::TestContext& context) {
      host::PageRunInput input;
      input.context = &context;
      input.deadline = Clock::now() + std::chrono::minutes(5);
      run = runner.Run(*script, input);
    });
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (run.outcome == host::PageRun::Outcome::kFailed) {
      std::fprintf(stderr, "page failed (%s): %d %s line %d\n",
                   javascript ? "JavaScript" : "VBScript", run.number, run.description.c_str(),
                   run.where.line);
      std::exit(1);
    }
    *output = host_.response().Output();
    return ms;
  }

 private:
  mirelda::testing::TempDir dir_;
  host::TestHost host_{dir_.path(), "/page.asp"};
  std::shared_ptr<const host::ScriptEngine> vbscript_;
  std::shared_ptr<const host::ScriptEngine> javascript_;
  std::unique_ptr<host::ScriptRunner> vbscript_runner_;
  std::unique_ptr<host::ScriptRunner> javascript_runner_;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// A Jet file of 1,000 rows for the listing; the rows go in one insert, so that making the file
// takes no time of its own.
std::string MakeJetFile(const std::filesystem::path& folder) {
  std::filesystem::path file = folder / "items.mdb";
  data::CreateJetFile(file, file.string(), data::JetFormat::kJet40);
  std::string connection = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string();
  auto jet = std::make_shared<data::DataConnection>();
  jet->Open(connection);
  jet->Execute("create table items (id integer primary key, name varchar(50), price double)", -1);
  std::string insert = "insert into items (id, name, price) values ";
  for (int i = 1; i <= 1000; ++i) {
    insert += (i > 1 ? ", (" : "(") + std::to_string(i) + ", 'item number " + std::to_string(i) +
              "', " + std::to_string(i) + ".25)";
  }
  jet->Execute(insert, -1);
  jet->Close();
  return connection;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  Bench bench;
  std::string connection = MakeJetFile(bench.root());
  std::printf("%-55s %12s %12s %8s\n", "item", "VBScript ms", "JScript ms", "ratio");
  for (const Item& item : Items(connection)) {
    if (item.needs && !ClassTable::Find(item.needs)) {
      std::printf("%-55s skipped: %s is not in this build\n", item.name, item.needs);
      continue;
    }
    std::vector<double> vbs, js;
    std::string vbs_out, js_out;
    for (int r = 0; r < runs; ++r) {
      vbs.push_back(bench.Run(item.vbscript, false, &vbs_out));
      js.push_back(bench.Run(item.javascript, true, &js_out));
    }
    if (vbs_out != js_out) {
      std::fprintf(stderr, "%s: the languages disagree (%zu and %zu bytes of output)\n", item.name,
                   vbs_out.size(), js_out.size());
      return 1;
    }
    double a = Median(vbs), b = Median(js);
    std::printf("%-55s %12.1f %12.1f %8.2f\n", item.name, a, b, a / b);
  }
  return 0;
}

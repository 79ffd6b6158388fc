// Scripting.Dictionary in pages served by mirelda-host, with the data library registered the way
// an installation registers it: JavaScript reaches it through Server.CreateObject and the
// JavaScript bridge, VBScript through both ways of creating it.
#include <gtest/gtest.h>

#include <memory>

#include "host/host_process.h"
#include "host/http_client.h"
#include "host/running_host.h"
#include "support/temp_dir.h"

namespace mirelda::testing {
namespace {

const char kJavaScriptPage[] = R"(<%@ LANGUAGE="JavaScript" %><%
function out(k, v) { Response.Write(k + "=" + v + "\n"); }
var d = Server.CreateObject("Scripting.Dictionary");
d.Add("k", "v");
d.Add(2, 20);
d.Add("third", 3);
out("type", typeof d);
out("item", d.Item("k"));
out("default", d("k") + ":" + d(2));
out("count", d.Count);
out("exists", d.Exists("k") + ":" + d.Exists("nope") + ":" + d.Exists("2"));
var keys = d.Keys();
out("keys", Array.isArray(keys) + ":" + keys.length + ":" + keys.join(","));
out("keytypes", typeof keys[0] + ":" + typeof keys[1]);
out("items", d.Items().join(","));
try { d.Add("k", "again"); } catch (e) { out("duplicate", e.number + "|" + e.description); }
try { d.Remove("nope"); } catch (e) { out("missing", e.number + "|" + e.description); }
d.Remove("k");
out("after", d.Count + ":" + d.Keys().join(","));
var t = Server.CreateObject("Scripting.Dictionary");
t.CompareMode = 1;
t.Add("Name", 1);
out("text", t.Exists("NAME") + ":" + t.CompareMode);
var add = d.Add, seen = [];
for (var i = 0; i < 3; i++) { d.Add("loop" + i, i); t.Add("other" + i, i); seen.push(d.Count); }
out("loop", (d.Add === add) + ":" + seen.join(",") + ":" + d.Exists("other0") + ":" + t.Count);
%>)";

const char kVBScriptPage[] = R"(<%@ LANGUAGE="VBScript" %><%
Set a = CreateObject("Scripting.Dictionary")
Set b = Server.CreateObject("Scripting.Dictionary")
a.Add "x", 1 : b("y") = a("x") + 1
For Each k In b : Response.Write "key=" & k & vbLf : Next
Response.Write "sum=" & (a("x") + b("y")) & vbLf
%>)";

// mirelda-host serving the two pages, with the data library registered before it starts.
class DictionaryHost {
 public:
  DictionaryHost() {
    std::string command = (BuildDir() / "mirelda-regsvr").string() + " --registry '" +
                          (dir_.path() / "registry").string() + "' '" +
                          (BuildDir() / "libmirelda-data.so").string() + "' >/dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("registration failed");
    std::filesystem::path site = dir_.path() / "site";
    WriteFile(site / "js.asp", kJavaScriptPage);
    WriteFile(site / "vbs.asp", kVBScriptPage);
    process_ = std::make_unique<HostProcess>(dir_.path(), site,
                                             std::vector<std::string>{"--workers", "1"});
  }
  // The host must stop cleanly, and the sanitizer build must have found nothing in it.
  ~DictionaryHost() {
    int code = process_->Stop();
    std::string log = process_->Log();
    EXPECT_EQ(code, 0) << log;
    EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
    EXPECT_EQ(log.find("runtime error:"), std::string::npos) << log;
  }

  HttpReply Get(const std::string& target) { return HttpRequest(process_->port(), "GET", target); }

 private:
  TempDir dir_;
  std::unique_ptr<HostProcess> process_;
};

class DictionaryPagesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { host_ = new DictionaryHost; }
  static void TearDownTestSuite() {
    delete host_;
    host_ = nullptr;
  }

  static DictionaryHost* host_;
};
DictionaryHost* DictionaryPagesTest::host_ = nullptr;

// First in the suite: CreateObject finds the class through the host's registration store, before
// any Server.CreateObject has loaded the data library into the process.
TEST_F(DictionaryPagesTest, VBScriptPageCreatesItBothWays) {
  HttpReply r = host_->Get("/vbs.asp");
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(Field(r.body, "key"), "y");
  EXPECT_EQ(Field(r.body, "sum"), "3");
}

TEST_F(DictionaryPagesTest, JavaScriptPageUsesTheDictionary) {
  HttpReply r = host_->Get("/js.asp");
  ASSERT_EQ(r.status, 200) << r.body;
  const std::string& body = r.body;
  // The bridge makes a component callable, so that d("k") reaches its default member.
  EXPECT_EQ(Field(body, "type"), "function");
  EXPECT_EQ(Field(body, "item"), "v");
  EXPECT_EQ(Field(body, "default"), "v:20");
  EXPECT_EQ(Field(body, "count"), "3");
  EXPECT_EQ(Field(body, "exists"), "true:false:false");
  // Keys comes back as a JavaScript array, its elements converted one by one.
  EXPECT_EQ(Field(body, "keys"), "true:3:k,2,third");
  EXPECT_EQ(Field(body, "keytypes"), "string:number");
  EXPECT_EQ(Field(body, "items"), "v,20,3");
  EXPECT_EQ(Field(body, "duplicate"),
            "457|This key is already associated with an element of this collection");
  EXPECT_EQ(Field(body, "missing"), "32811|Element not found");
  EXPECT_EQ(Field(body, "after"), "2:2,third");
  EXPECT_EQ(Field(body, "text"), "true:1");
  // A member read again is the same function, and it still acts on its own dictionary only;
  // a property read again is read anew.
  EXPECT_EQ(Field(body, "loop"), "true:3,4,5:false:4");
}

}  // namespace
}  // namespace mirelda::testing

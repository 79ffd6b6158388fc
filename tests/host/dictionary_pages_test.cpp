// Scripting.Dictionary in pages served by mirelda-host, with the data library registered the way
// an installation registers it: JavaScript reaches it through Server.CreateObject and the
// JavaScript bridge, VBScript through both ways of creating it.
#include <gtest/gtest.h>

#include "host/running_host.h"

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

class DictionaryPagesTest : public SharedHostTest<DictionaryPagesTest> {
 protected:
  static void SetUpTestSuite() {
    host_.reset(new RunningHost(Files{{"js.asp", kJavaScriptPage}, {"vbs.asp", kVBScriptPage}},
                                {"--workers", "1"}, "VBScript",
                                {.libraries = {"libmirelda-data.so"}}));
  }
};

// First in the suite: CreateObject finds the class through the host's registration store, before
// any Server.CreateObject has loaded the data library into the process.
TEST_F(DictionaryPagesTest, VBScriptPageCreatesItBothWays) {
  HttpReply r = host_->Get("/vbs.asp");
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(r.body, "key=y\nsum=3\n");
}

// The bridge makes a component callable, so that d("k") reaches its default member. Keys comes
// back as a JavaScript array, its elements converted one by one. A member read again is the same
// function, and it still acts on its own dictionary only; a property read again is read anew.
TEST_F(DictionaryPagesTest, JavaScriptPageUsesTheDictionary) {
  HttpReply r = host_->Get("/js.asp");
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(
      r.body,
      "type=function\nitem=v\ndefault=v:20\ncount=3\nexists=true:false:false\n"
      "keys=true:3:k,2,third\nkeytypes=string:number\nitems=v,20,3\n"
      "duplicate=457|This key is already associated with an element of this collection\n"
      "missing=32811|Element not found\nafter=2:2,third\ntext=true:1\nloop=true:3,4,5:false:4\n");
}

}  // namespace
}  // namespace mirelda::testing

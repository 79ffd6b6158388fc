// Text files, folders and ADODB.Stream in pages of both languages served by mirelda-host, with
// the data library registered: pages write and read a text file, send a file as a download,
// save posted bytes, and walk and empty Session.Contents and Application.Contents.
#include <gtest/gtest.h>

#include <fstream>

#include "host/running_host.h"

namespace mirelda::testing {
namespace {

const char kJavaScriptPage[] = R"(<%@ LANGUAGE="JavaScript" %><%
function out(k, v) { Response.Write(k + "=" + v + "\n"); }
var fso = Server.CreateObject("Scripting.FileSystemObject");
var path = Server.MapPath("js/notes.txt");
var t = fso.CreateTextFile(path, true);
t.WriteLine("\u4e2d\u6587");
t.Write("two");
t.Close();
t = fso.OpenTextFile(path, 1);
out("first", escape(t.ReadLine()));
out("second", t.ReadLine() + ":" + t.AtEndOfStream + ":" + t.Line);
t.Close();
try { fso.OpenTextFile(Server.MapPath("js/none.txt")); } catch (e) { out("missing", e.number); }
var file = fso.GetFile(path);
out("file", file.Name + ":" + file.Size + ":" + fso.GetBaseName(path) + ":" +
    fso.GetExtensionName(path) + ":" + file.ParentFolder.Files.Count);
var s = Server.CreateObject("ADODB.Stream");
s.Type = 2;
s.Charset = "gb2312";
s.Open();
s.LoadFromFile(path);
out("stream", escape(s.ReadText(-2)) + ":" + s.Size);
s.Close();
Session.Contents["a"] = 1;
Session.Contents["b"] = "two";
Session.Contents["c"] = 3;
Session.Contents.Remove("a");
var names = [];
for (var i = 1; i <= Session.Contents.Count; i++) names.push(Session.Contents.Key(i));
out("names", names.join(","));
out("same", Session.Contents("b") + ":" + Session("b") + ":" + Session.Contents.Item(2));
Session.Contents.RemoveAll();
out("after", Session.Contents.Count + ":" + Session("b"));
%>)";

const char kVBScriptPage[] = R"(<%
Sub Out(k, v) : Response.Write k & "=" & v & vbLf : End Sub
Set fso = Server.CreateObject("Scripting.FileSystemObject")
p = Server.MapPath("vb/u.txt")
Set t = fso.OpenTextFile(p, 2, True, -1)
t.WriteLine "a" & ChrW(20013)
t.WriteBlankLines 1
t.Write "end"
t.Close
Set t = fso.OpenTextFile(p, 1, False, -1)
Out "all", Replace(t.ReadAll, vbCrLf, "|") = "a" & ChrW(20013) & "||end"
t.Close
Out "size", fso.GetFile(p).Size
fso.CopyFile p, Server.MapPath("vb/copy.txt")
names = ""
For Each f In fso.GetFolder(Server.MapPath("vb")).Files : names = names & f.Name & ";" : Next
Out "names", names
On Error Resume Next
fso.CreateTextFile p, False
Out "exists", Err.Number
Err.Clear
On Error GoTo 0
Session("x") = 1 : Session.Contents("y") = "two" : Session("z") = 3
Session.Contents.Remove "x"
Session.Contents.Remove 2
keys = ""
For Each k In Session.Contents : keys = keys & k & "=" & Session.Contents(k) & ";" : Next
Out "keys", keys
On Error Resume Next
k = Session.Contents.Key(2)
Out "beyond", Err.Number
On Error GoTo 0
Session.Contents.RemoveAll
Out "count", Session.Contents.Count & ":" & IsEmpty(Session("y"))
Application.Contents("hits") = 5
Out "hits", Application("hits")
Application.Contents.Remove "hits"
Out "app", IsEmpty(Application.Contents("hits"))
%>)";

const char kDownloadPage[] = R"(<%
Set s = Server.CreateObject("ADODB.Stream")
s.Type = 1
s.Open
s.LoadFromFile Server.MapPath("blob.bin")
Response.ContentType = "application/octet-stream"
Response.BinaryWrite s.Read
s.Close
%>)";

const char kSavePage[] = R"(<%
Set s = Server.CreateObject("ADODB.Stream")
s.Type = 1
s.Open
s.Write Request.BinaryRead(Request.TotalBytes)
s.SaveToFile Server.MapPath("saved.bin"), 2
On Error Resume Next
s.SaveToFile Server.MapPath("saved.bin")
Response.Write "size=" & s.Size & vbLf & "again=" & Err.Number & vbLf
%>)";

std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

class FilesPagesTest : public SharedHostTest<FilesPagesTest> {
 protected:
  static void SetUpTestSuite() {
    host_.reset(new RunningHost(Files{{"js.asp", kJavaScriptPage},
                                      {"vb.asp", kVBScriptPage},
                                      {"download.asp", kDownloadPage},
                                      {"save.asp", kSavePage},
                                      {"blob.bin", AllBytes()}},
                                {"--workers", "1"}, "VBScript",
                                {.libraries = {"libmirelda-data.so"}}));
    std::filesystem::create_directories(host_->site() / "js");
    std::filesystem::create_directories(host_->site() / "vb");
  }
};

// JavaScript writes, reads and empties the session; VBScript writes Unicode and walks a folder
// and the Contents.
TEST_F(FilesPagesTest, PagesOfBothLanguagesWriteReadAndWalk) {
  const std::pair<const char*, const char*> bodies[] = {
      // The file is GBK: two characters of two bytes, CRLF, "two".
      {"/js.asp",
       "first=%u4E2D%u6587\nsecond=two:true:2\nmissing=53\nfile=notes.txt:9:notes:txt:1\n"
       "stream=%u4E2D%u6587:9\nnames=b,c\nsame=two:two:3\nafter=0:undefined\n"},
      // The size is of the mark, "a中" CRLF, CRLF and "end" in UTF-16.
      {"/vb.asp",
       "all=True\nsize=20\nnames=copy.txt;u.txt;\nexists=58\nkeys=y=two;\nbeyond=9\n"
       "count=0:True\nhits=5\napp=True\n"}};
  for (auto [page, body] : bodies) {
    HttpReply r = host_->Get(page);
    EXPECT_EQ(r.status, 200) << page;
    EXPECT_EQ(r.body, body) << page;
  }
}

TEST_F(FilesPagesTest, AStreamSendsADownloadAndSavesPostedBytes) {
  HttpReply download = host_->Get("/download.asp");
  ASSERT_EQ(download.status, 200) << download.body;
  EXPECT_EQ(download.body, AllBytes());
  HttpReply saved = host_->Post("/save.asp", AllBytes(), "application/octet-stream");
  ASSERT_EQ(saved.status, 200) << saved.body;
  EXPECT_EQ(saved.body, "size=256\nagain=-2146825284\n");
  std::ifstream in(host_->site() / "saved.bin", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), AllBytes());
}

}  // namespace
}  // namespace mirelda::testing

// Text files, folders and ADODB.Stream in pages of both languages served by mirelda-host, with
// the data library registered: pages write and read a text file, send a file as a download,
// save posted bytes, and walk and empty Session.Contents and Application.Contents.
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

class FilesHost {
 public:
  FilesHost() {
    std::string command = (BuildDir() / "mirelda-regsvr").string() + " --registry '" +
                          (dir_.path() / "registry").string() + "' '" +
                          (BuildDir() / "libmirelda-data.so").string() + "' >/dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("registration failed");
    WriteFile(site() / "js.asp", kJavaScriptPage);
    WriteFile(site() / "vb.asp", kVBScriptPage);
    WriteFile(site() / "download.asp", kDownloadPage);
    WriteFile(site() / "save.asp", kSavePage);
    WriteFile(site() / "blob.bin", AllBytes());
    std::filesystem::create_directories(site() / "js");
    std::filesystem::create_directories(site() / "vb");
    process_ = std::make_unique<HostProcess>(
        dir_.path(), site(),
        std::vector<std::string>{"--workers", "1", "--default-language", "VBScript"});
  }
  ~FilesHost() {
    int code = process_->Stop();
    std::string log = process_->Log();
    EXPECT_EQ(code, 0) << log;
    EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
    EXPECT_EQ(log.find("runtime error:"), std::string::npos) << log;
  }
  std::filesystem::path site() const { return dir_.path() / "site"; }
  int port() const { return process_->port(); }

 private:
  TempDir dir_;
  std::unique_ptr<HostProcess> process_;
};

class FilesPagesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { host_ = new FilesHost; }
  static void TearDownTestSuite() {
    delete host_;
    host_ = nullptr;
  }
  static HttpReply Get(const std::string& target) {
    return HttpRequest(host_->port(), "GET", target);
  }
  static FilesHost* host_;
};
FilesHost* FilesPagesTest::host_ = nullptr;

TEST_F(FilesPagesTest, JavaScriptPageWritesReadsAndEmptiesTheSession) {
  HttpReply r = Get("/js.asp");
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(Field(r.body, "first"), "%u4E2D%u6587");
  EXPECT_EQ(Field(r.body, "second"), "two:true:2");
  EXPECT_EQ(Field(r.body, "missing"), "53");
  // GBK: two characters of two bytes, CRLF, "two".
  EXPECT_EQ(Field(r.body, "file"), "notes.txt:9:notes:txt:1");
  EXPECT_EQ(Field(r.body, "stream"), "%u4E2D%u6587:9");
  EXPECT_EQ(Field(r.body, "names"), "b,c");
  EXPECT_EQ(Field(r.body, "same"), "two:two:3");
  EXPECT_EQ(Field(r.body, "after"), "0:undefined");
}

TEST_F(FilesPagesTest, VBScriptPageWritesUnicodeWalksAFolderAndTheContents) {
  HttpReply r = Get("/vb.asp");
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(Field(r.body, "all"), "True");
  EXPECT_EQ(Field(r.body, "size"), "20");  // mark, "a中" CRLF, CRLF, "end" in UTF-16
  EXPECT_EQ(Field(r.body, "names"), "copy.txt;u.txt;");
  EXPECT_EQ(Field(r.body, "exists"), "58");
  EXPECT_EQ(Field(r.body, "keys"), "y=two;");
  EXPECT_EQ(Field(r.body, "beyond"), "9");
  EXPECT_EQ(Field(r.body, "count"), "0:True");
  EXPECT_EQ(Field(r.body, "hits"), "5");
  EXPECT_EQ(Field(r.body, "app"), "True");
}

TEST_F(FilesPagesTest, AStreamSendsADownloadAndSavesPostedBytes) {
  HttpReply download = Get("/download.asp");
  ASSERT_EQ(download.status, 200) << download.body;
  EXPECT_EQ(download.body, AllBytes());
  HttpReply saved = HttpRequest(host_->port(), "POST", "/save.asp",
                                {{"Content-Type", "application/octet-stream"}}, AllBytes());
  ASSERT_EQ(saved.status, 200) << saved.body;
  EXPECT_EQ(Field(saved.body, "size"), "256");
  EXPECT_EQ(Field(saved.body, "again"), "-2146825284");
  std::ifstream in(host_->site() / "saved.bin", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), AllBytes());
}

}  // namespace
}  // namespace mirelda::testing

// A page served by mirelda-host over loopback receives a posted form through Mirelda.FileSystem.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "host/running_host.h"
#include "multipart_form.h"

namespace mirelda::testing {
namespace {

namespace fs = std::filesystem;
using upload::testing::Exists;
using upload::testing::MultipartForm;
using Files = std::map<std::string, std::string>;

const std::string kFormType = "multipart/form-data; boundary=----MireldaFormBoundaryq8nT3YxWk2";

// Stores into C:\up with the size limit and overwrite mode of the query.
const char* const kStorePage =
    "<% var up = Server.CreateObject(\"Mirelda.FileSystem\");\n"
    "   Response.Write(up.Upload(Number(String(Request.QueryString(\"max\"))), \"c:\\\\up\",\n"
    "                            Number(String(Request.QueryString(\"ow\"))))); %>";

// Every entry of a folder, hidden ones included, with its content.
Files FolderFiles(const fs::path& folder) {
  Files files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().filename()] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return files;
}

void WriteFiles(const fs::path& folder, const Files& files) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (const auto& [name, content] : files)
    std::ofstream(folder / name, std::ios::binary) << content;
}

TEST(HttpUpload, APageReadsThePostedFieldsAndFiles) {
  RunningHost host(std::map<std::string, std::string>{
      {"up.asp",
       "<% var up = Server.CreateObject(\"Mirelda.FileSystem\");\n"
       "   up.UpToFile = 2;\n"
       "   var r = up.Upload();\n"
       "   Response.Write([r, up.count, up.Form(\"title\"), up.FileName(\"f\"),\n"
       "                   up.Size(\"f\"), up.Size(\"none\")].join(\"|\") + \"|\");\n"
       "   Response.BinaryWrite(up.Form(\"f\")); %>"}});
  std::string body = MultipartForm()
                         .Field("title", "\xD5\xC5\xC8\xFD")
                         .File("f", "C:\\tmp\\x.bin", std::string("\x00\xFF\r\n", 4))
                         .Body();
  HttpReply r = host.Post("/up.asp", body, kFormType);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "OK|2|\xD5\xC5\xC8\xFD|x.bin|4|0|" + std::string("\x00\xFF\r\n", 4));
}

// mirelda-host with both component libraries registered (the page stores through the data
// library's file system object), answering in UTF-8, its drive C: under work/var/c.
class StoreHost {
 public:
  explicit StoreHost(const fs::path& work) : work_(work) {
    WriteFile(work / "site" / "store.asp", kStorePage);
    std::string command = (BuildDir() / "mirelda-regsvr").string() + " --registry '" +
                          (work / "registry").string() + "' '" +
                          (BuildDir() / "libmirelda-data.so").string() + "' >/dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("registration failed");
    Start();
  }
  void Start() {
    process_ = std::make_unique<HostProcess>(
        work_, work_ / "site",
        std::vector<std::string>{"--default-language", "JavaScript", "--codepage", "65001"});
  }
  HostProcess& process() { return *process_; }
  fs::path folder() const { return work_ / "var" / "c" / "up"; }
  HttpReply Post(int max_size, int overwrite, const std::string& body) {
    return HttpRequest(
        process_->port(), "POST",
        "/store.asp?max=" + std::to_string(max_size) + "&ow=" + std::to_string(overwrite),
        {{"Content-Type", kFormType}}, body);
  }

 private:
  fs::path work_;
  std::unique_ptr<HostProcess> process_;
};

struct StoreCase {
  const char* what;
  Files before;
  std::string body;
  int max_size;
  int overwrite;
  std::string message;  // a prefix of the reply
  Files after;          // the whole folder, hidden files included
};

const std::string kTooLarge = "对不起，文件名为[big.bin] 的文件大小超出了范围。";
// What is in the folder after a post matches what the page was told.
TEST(HttpUpload, TheFolderHoldsExactlyTheFilesOfTheResults) {
  const std::string big(10, 'b');
  // A field whose value holds the part marker: one part more is counted than there is.
  const std::string miscounted = "x; name=\"y\"";
  const StoreCase cases[] = {
      {"a file over the limit leaves no empty file",
       {},
       MultipartForm().File("f", "big.bin", big).Body(),
       9,
       1,
       kTooLarge,
       {}},
      {"an oversize file beside a stored one",
       {},
       MultipartForm().File("a", "a.txt", "aa").File("b", "big.bin", big).Body(),
       9,
       1,
       kTooLarge,
       {{"a.txt", "aa"}}},
      {"an oversize file over an existing one",
       {{"big.bin", "kept"}},
       MultipartForm().File("f", "big.bin", big).Body(),
       9,
       2,
       kTooLarge,
       {{"big.bin", "kept"}}},
      {"an existing target takes back the files stored before it",
       {{"taken.txt", "mine"}},
       MultipartForm()
           .File("a", "new1.txt", "1")
           .File("e", "empty.txt", "")
           .File("c", "taken.txt", "theirs")
           .Body(),
       0,
       1,
       Exists("taken.txt"),
       {{"taken.txt", "mine"}}},
      {"a malformed body puts replaced files back",
       {{"doc.txt", "old"}, {"other.txt", "other"}},
       MultipartForm()
           .File("a", "doc.txt", "new")
           .File("b", "fresh.txt", "fresh")
           .File("c", "doc.txt", "newer")
           .Field("f", miscounted)
           .Body(),
       0,
       2,
       "Invalid procedure call or argument",
       {{"doc.txt", "old"}, {"other.txt", "other"}}},
      {"a completed run keeps what it replaced and nothing hidden",
       {{"doc.txt", "old"}},
       MultipartForm().File("a", "doc.txt", "new").File("b", "fresh.txt", "fresh").Body(),
       0,
       2,
       "OK",
       {{"doc.txt", "new"}, {"fresh.txt", "fresh"}}},
  };
  TempDir dir;
  StoreHost host(dir.path());
  for (const StoreCase& c : cases) {
    WriteFiles(host.folder(), c.before);
    HttpReply r = host.Post(c.max_size, c.overwrite, c.body);
    EXPECT_EQ(r.status, 200) << c.what;
    EXPECT_EQ(r.body.rfind(c.message, 0), 0u) << c.what << ": " << r.body;
    EXPECT_EQ(FolderFiles(host.folder()), c.after) << c.what;
  }
  EXPECT_EQ(host.process().Stop(), 0);
}

// An oversize post used to leave an empty file that then refused the real one of that name.
TEST(HttpUpload, AnOversizeFileDoesNotBlockALaterOneOfItsName) {
  TempDir dir;
  StoreHost host(dir.path());
  WriteFiles(host.folder(), {});
  std::string body = MultipartForm().File("f", "p.png", "12345").Body();
  EXPECT_EQ(host.Post(4, 1, body).body, "对不起，文件名为[p.png] 的文件大小超出了范围。");
  EXPECT_EQ(host.Post(5, 1, body).body, "OK");
  EXPECT_EQ(FolderFiles(host.folder()), (Files{{"p.png", "12345"}}));
  EXPECT_EQ(host.process().Stop(), 0);
}

// The host dies while a large post is still arriving: no file appears under any name the post
// carries, and the same post to a new host then stores everything.
TEST(HttpUpload, AHostKilledMidUploadLeavesNoFileUnderItsName) {
  TempDir dir;
  StoreHost host(dir.path());
  WriteFiles(host.folder(), {});
  const std::string large(4 << 20, 'L');
  std::string body = MultipartForm()
                         .File("a", "small.txt", "small")
                         .File("b", "large.bin", large)
                         .File("c", "last.txt", "last")
                         .Body();
  {
    HttpConnection connection(host.process().port());
    connection.Send(
        "POST /store.asp?max=8388608&ow=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: " +
        kFormType + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n");
    // Three quarters of the body, in pieces with pauses between them, as a slow client sends.
    const size_t piece = body.size() / 16;
    for (size_t sent = 0; sent < piece * 12; sent += piece) {
      connection.Send(body.substr(sent, piece));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    host.process().Signal(SIGKILL);
    host.process().Wait();
  }
  for (const auto& [name, content] : FolderFiles(host.folder())) {
    EXPECT_EQ(name[0], '.') << name << " is visible after the crash";
  }
  host.Start();
  EXPECT_EQ(host.Post(8 << 20, 1, body).body, "OK");
  Files stored = FolderFiles(host.folder());
  EXPECT_EQ(stored["small.txt"], "small");
  EXPECT_EQ(stored["large.bin"], large);
  EXPECT_EQ(stored["last.txt"], "last");
  EXPECT_EQ(host.process().Stop(), 0);
}

}  // namespace
}  // namespace mirelda::testing

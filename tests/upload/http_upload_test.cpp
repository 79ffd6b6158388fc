// Pages served by mirelda-host over loopback receive posted forms through Mirelda.FileSystem:
// the folder ends up holding exactly the files of the results, also when the host dies mid-post,
// and bodies past the memory threshold go to an unlinked file while they arrive, so the host's
// memory stays flat, a body that stops arriving loses its file, and uploads running side by side
// store exactly the bytes that were sent.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <random>
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
const Files kSizePage = {{"size.asp", "<% Response.Write(Request.TotalBytes); %>"}};

// Stores into C:\up with the size limit and overwrite mode of the query; answers Upload's reply
// and the size of the part named f.
const char* const kStorePage =
    "<% var up = Server.CreateObject(\"Mirelda.FileSystem\");\n"
    "   Response.Write(up.Upload(Number(String(Request.QueryString(\"max\"))), \"c:\\\\up\",\n"
    "                            Number(String(Request.QueryString(\"ow\"))))\n"
    "                  + \"|\" + up.Size(\"f\")); %>";

// Every entry of a folder, hidden ones included, with its content.
Files FolderFiles(const fs::path& folder) {
  Files files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename()] = ReadFile(entry.path());
  return files;
}

void WriteFiles(const fs::path& folder, const Files& files) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (const auto& [name, content] : files) WriteFile(folder / name, content);
}

// mirelda-host with both component libraries registered (the page stores through the data
// library's file system object), answering in UTF-8, its drive C: under work/var/c and the
// folder C:\up there and empty.
class StoreHost {
 public:
  explicit StoreHost(std::vector<std::string> extra = {}) : extra_(std::move(extra)) {
    WriteFile(work() / "site" / "store.asp", kStorePage);
    RegisterLibrary(work() / "registry", "libmirelda-data.so");
    Start();
    WriteFiles(folder(), {});
  }
  // As RunningHost does: the host exits 0 and the sanitizer build found nothing in it.
  ~StoreHost() {
    EXPECT_EQ(process_->Stop(), 0) << process_->Log();
    for (const char* finding : {"Sanitizer", "runtime error:"}) {
      EXPECT_EQ(process_->Log().find(finding), std::string::npos) << process_->Log();
    }
  }
  void Start() {
    std::vector<std::string> args = {"--default-language", "JavaScript", "--codepage", "65001"};
    args.insert(args.end(), extra_.begin(), extra_.end());
    process_ = std::make_unique<HostProcess>(work(), work() / "site", args);
  }
  HostProcess& process() { return *process_; }
  fs::path work() const { return dir_.path(); }
  fs::path folder() const { return work() / "var" / "c" / "up"; }
  HttpReply Post(int max_size, int overwrite, const std::string& body) {
    return HttpRequest(
        process_->port(), "POST",
        "/store.asp?max=" + std::to_string(max_size) + "&ow=" + std::to_string(overwrite),
        {{"Content-Type", kFormType}}, body);
  }

 private:
  TempDir dir_;
  std::vector<std::string> extra_;
  std::unique_ptr<HostProcess> process_;
};

TEST(HttpUpload, APageReadsThePostedFieldsAndFiles) {
  RunningHost host(
      Files{{"up.asp",
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

// What is in the folder after a post matches what the page was told.
TEST(HttpUpload, TheFolderHoldsExactlyTheFilesOfTheResults) {
  StoreHost host;
  // The folder before a post, the post, the start of its reply and the whole folder after it.
  auto post = [&](const char* what, const Files& before, const std::string& body, int max_size,
                  int overwrite, const std::string& reply, const Files& after) {
    SCOPED_TRACE(what);
    WriteFiles(host.folder(), before);
    HttpReply r = host.Post(max_size, overwrite, body);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body.rfind(reply, 0), 0u) << r.body;
    EXPECT_EQ(FolderFiles(host.folder()), after);
  };
  const std::string big = MultipartForm().File("f", "big.bin", std::string(10, 'b')).Body();
  const std::string too_large = "对不起，文件名为[big.bin] 的文件大小超出了范围。";
  post("a file over the limit leaves no empty file", {}, big, 9, 1, too_large, {});
  post("an oversize file beside a stored one", {},
       MultipartForm().File("a", "a.txt", "aa").File("b", "big.bin", "0123456789").Body(), 9, 1,
       too_large, {{"a.txt", "aa"}});
  post("an oversize file over an existing one", {{"big.bin", "kept"}}, big, 9, 2, too_large,
       {{"big.bin", "kept"}});
  post("an existing target takes back the files stored before it", {{"taken.txt", "mine"}},
       MultipartForm()
           .File("a", "new1.txt", "1")
           .File("e", "empty.txt", "")
           .File("c", "taken.txt", "theirs")
           .Body(),
       0, 1, Exists("taken.txt"), {{"taken.txt", "mine"}});
  // The last field's value holds the part marker: one part more is counted than there is.
  post("a malformed body puts replaced files back", {{"doc.txt", "old"}, {"other.txt", "other"}},
       MultipartForm()
           .File("a", "doc.txt", "new")
           .File("b", "fresh.txt", "fresh")
           .File("c", "doc.txt", "newer")
           .Field("f", "x; name=\"y\"")
           .Body(),
       0, 2, "Invalid procedure call or argument", {{"doc.txt", "old"}, {"other.txt", "other"}});
  post("a completed run keeps what it replaced and nothing hidden", {{"doc.txt", "old"}},
       MultipartForm().File("a", "doc.txt", "new").File("b", "fresh.txt", "fresh").Body(), 0, 2,
       "OK", {{"doc.txt", "new"}, {"fresh.txt", "fresh"}});

  // An oversize post used to leave an empty file that then refused the real one of that name.
  WriteFiles(host.folder(), {});
  std::string png = MultipartForm().File("f", "p.png", "12345").Body();
  EXPECT_EQ(host.Post(4, 1, png).body, "对不起，文件名为[p.png] 的文件大小超出了范围。|5");
  EXPECT_EQ(host.Post(5, 1, png).body, "OK|5");
  EXPECT_EQ(FolderFiles(host.folder()), (Files{{"p.png", "12345"}}));
}

// The host dies while a large post is still arriving: no file appears under any name the post
// carries, and the same post to a new host then stores everything.
TEST(HttpUpload, AHostKilledMidUploadLeavesNoFileUnderItsName) {
  StoreHost host;
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
  EXPECT_EQ(host.Post(8 << 20, 1, body).body, "OK|0");
  Files stored = FolderFiles(host.folder());
  EXPECT_EQ(stored["small.txt"], "small");
  EXPECT_EQ(stored["large.bin"], large);
  EXPECT_EQ(stored["last.txt"], "last");
}

// The peak resident size of a process, in bytes.
uint64_t PeakResident(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  }
  return 0;
}

// How many of the process's descriptors are open on files of folder that are already unlinked.
int UnlinkedFilesIn(pid_t pid, const fs::path& folder) {
  int count = 0;
  std::error_code ec;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::string target = fs::read_symlink(fd.path(), ec).string();
    if (target.rfind(folder.string() + "/", 0) == 0 &&
        target.find("(deleted)") != std::string::npos) {
      ++count;
    }
  }
  return count;
}

// Polls until the condition holds or a generous deadline passes; says which.
template <class Condition>
bool Eventually(Condition condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

TEST(SpooledBody, ALargeBodyIsNotHeldInMemory) {
  RunningHost host(kSizePage);
  ASSERT_EQ(host.Get("/size.asp").body, "0");
  uint64_t before = PeakResident(host.process().pid());
  const size_t size = size_t{48} << 20;
  HttpReply r = host.Post("/size.asp", std::string(size, 'x'), "application/octet-stream");
  EXPECT_EQ(r.body, std::to_string(size));
  // Loose on purpose: a body held whole would add its own 48 MiB at least. The peak as read can
  // come out below an earlier reading (it was the current size then, not yet the noted peak),
  // so it is compared, not subtracted.
  EXPECT_LT(PeakResident(host.process().pid()), before + size / 2);
}

TEST(SpooledBody, ABodyThatStopsArrivingLosesItsFile) {
  RunningHost host(kSizePage, {"--body-timeout", "1"});
  fs::path spool = fs::canonical(host.work() / "var");
  HttpConnection connection(host.port());
  connection.Send("POST /size.asp HTTP/1.1\r\nHost: x\r\nContent-Length: 4194304\r\n\r\n" +
                  std::string(size_t{1} << 20, 'x'));
  pid_t pid = host.process().pid();
  EXPECT_TRUE(Eventually([&] { return UnlinkedFilesIn(pid, spool) == 1; }));
  EXPECT_TRUE(Eventually([&] { return UnlinkedFilesIn(pid, spool) == 0; }));
  EXPECT_TRUE(connection.ClosedByServer());
  EXPECT_EQ(host.Get("/size.asp").body, "0");
}

TEST(SpooledBody, UploadsSideBySideStoreExactlyWhatWasSent) {
  StoreHost host({"--body-buffer", "64k"});
  const size_t size = size_t{3} << 20;
  std::vector<std::string> contents, replies(6);
  for (unsigned i = 0; i < replies.size(); ++i) {
    std::mt19937 random(i);
    contents.emplace_back(size + i, '\0');
    for (char& c : contents.back()) c = static_cast<char>(random());
  }
  std::vector<std::thread> posts;
  for (unsigned i = 0; i < replies.size(); ++i) {
    posts.emplace_back([&, i] {
      std::string name = "part" + std::to_string(i) + ".bin";
      replies[i] =
          host.Post(100000000, 0, MultipartForm().File("f", name, contents[i]).Body()).body;
    });
  }
  for (auto& post : posts) post.join();
  Files stored = FolderFiles(host.folder());
  for (unsigned i = 0; i < replies.size(); ++i) {
    EXPECT_EQ(replies[i], "OK|" + std::to_string(size + i));
    EXPECT_TRUE(stored["part" + std::to_string(i) + ".bin"] == contents[i]) << "part " << i;
  }
  EXPECT_EQ(UnlinkedFilesIn(host.process().pid(), fs::canonical(host.work() / "var")), 0);
}

}  // namespace
}  // namespace mirelda::testing

// DeleteFile, RenameFile and FileExist through the file system object, and the pending error
// that a trapped caller leaves for them.
#include <gtest/gtest.h>

#include <fstream>

#include "database/database.h"
#include "support/component_page.h"
#include "support/error_matchers.h"

namespace mirelda::database {
namespace {

class FileUtilities : public testing::ComponentPage {
 protected:
  void SetUp() override {
    ComponentPage::SetUp();
    db_ = Start<Database>();
    Put("a.txt", "A");
    Put("b.txt", "B");
  }
  void Put(const std::string& name, const std::string& content) {
    std::ofstream(HostPath(name)) << content;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(HostPath(name));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::shared_ptr<Database> db_;
};

TEST_F(FileUtilities, DeleteAndRenameTouchTheFilesAndFileExistFindsThem) {
  EXPECT_EQ(db_->RenameFile("C:\\a.txt", "C:\\b.txt"), Variant(true));  // replaces b.txt
  EXPECT_FALSE(std::filesystem::exists(HostPath("a.txt")));
  EXPECT_EQ(Read("b.txt"), "A");
  EXPECT_EQ(db_->Call("DeleteFile", "C:\\b.txt"), Variant(true));
  EXPECT_FALSE(std::filesystem::exists(HostPath("b.txt")));
  EXPECT_EQ(Output(), "");
  // FileExist joins folder and name without a separator.
  std::filesystem::create_directories(HostPath("db"));
  Put("dbx.mdb", "");
  Put("c.txt", "");
  EXPECT_EQ(db_->FileExist("c:\\db", "x.mdb"), Variant(true));
  EXPECT_EQ(db_->FileExist("c:\\db\\", "x.mdb"), Variant(false));
  EXPECT_EQ(db_->FileExist("C:\\", "c.txt"), Variant(true));
}

TEST_F(FileUtilities, FailuresOfTheFileSystemReachTheCaller) {
  EXPECT_ERROR(db_->DeleteFile("C:\\missing.txt"), errc::kFileNotFound);
  EXPECT_ERROR(db_->RenameFile("C:\\missing.txt", "C:\\c.txt"), errc::kFileNotFound);
  EXPECT_ERROR(db_->DeleteFile("Q:\\a.txt"), errc::kPathNotFound);
  EXPECT_EQ(Read("a.txt"), "A");
}

TEST_F(FileUtilities, APendingErrorIsReportedAndNoFileIsTouched) {
  ResumeNext trap;
  trap.Step([] { throw Error(-2147467259, "compaction failed"); });
  EXPECT_EQ(db_->DeleteFile("C:\\a.txt"), Variant(false));
  EXPECT_EQ(Read("a.txt"), "A");
  EXPECT_FALSE(PendingError().pending());
  trap.Step([] { throw Error(errc::kFileAlreadyExists); });
  EXPECT_EQ(db_->RenameFile("C:\\a.txt", "C:\\b.txt"), Variant(false));
  EXPECT_EQ(Read("b.txt"), "B");
  EXPECT_EQ(Writes(), (std::vector<std::string>{
                          "删除文件发生错误!请查看错误信息<br>-2147467259<br>compaction failed",
                          "修改文件名时发生错误!请查看错误信息<br>58<br>File already exists"}));
  // Reported once: the next call finds nothing pending and renames.
  EXPECT_EQ(db_->RenameFile("C:\\a.txt", "C:\\b.txt"), Variant(true));
  EXPECT_EQ(Read("b.txt"), "A");
}

}  // namespace
}  // namespace mirelda::database

// Path and file utilities. None of them traps an error of its own: a failure of the page host or
// of the file system object reaches the caller. DeleteFile and RenameFile first report an error
// that a trapped caller left pending, and then touch no file.
#include "database/arguments.h"
#include "database/database.h"
#include "mirelda/data.h"
#include "mirelda/text.h"

namespace mirelda::database {
namespace {

std::shared_ptr<FileSystemObject> AsFileSystem(const std::shared_ptr<Dispatch>& object) {
  auto fso = std::dynamic_pointer_cast<FileSystemObject>(object);
  if (!fso) throw Error(errc::kTypeMismatch, "Scripting.FileSystemObject is no file system object");
  return fso;
}

std::string AfterLastSlash(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Variant Database::AppPath() { return Variant(RequireServer().MapPath("./")); }

Variant Database::AppName() {
  return Variant(AfterLastSlash(RequireRequest().ServerVariables("SCRIPT_NAME").ToText()));
}

Variant Database::ArrayToString(Variant aObject) { return Variant(JoinArray(aObject.AsArray())); }

Variant Database::DeleteFile(Variant filespec) {
  auto fso = AsFileSystem(Create("Scripting.FileSystemObject"));
  if (PendingError().pending()) {
    Write(TakePendingError("删除文件发生错误!请查看错误信息<br>"));
    return Variant(false);
  }
  fso->DeleteFile(filespec.ToString(), false);
  return Variant(true);
}

Variant Database::RenameFile(Variant filespec1, Variant filespec2) {
  auto fso = AsFileSystem(Create("Scripting.FileSystemObject"));
  if (PendingError().pending()) {
    Write(TakePendingError("修改文件名时发生错误!请查看错误信息<br>"));
    return Variant(false);
  }
  fso->CopyFile(filespec1.ToString(), filespec2.ToString(), true);
  fso->DeleteFile(filespec1.ToString(), false);
  return Variant(true);
}

Variant Database::ConvertPath(Variant RelativePath) {
  std::string p = RelativePath.ToText();
  auto separator = [](std::string_view c) { return c == "\\" || c == "/"; };
  if (!separator(text::Last(p))) p = text::Trim(p) + "\\";
  if (separator(text::First(p))) p = text::Trim(text::AfterFirst(p));
  return Variant(RequireRequest().ServerVariables("APPL_PHYSICAL_PATH").ToText() + p);
}

Variant Database::FileExist(Variant fPath, Variant fName) {
  auto fso = AsFileSystem(Create("Scripting.FileSystemObject"));
  return Variant(fso->FileExists(fPath.ToText() + fName.ToText()));
}

}  // namespace mirelda::database

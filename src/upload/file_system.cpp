// The class frame of Mirelda.FileSystem: its interface, in interface order, and the steps of
// Upload.
#include "upload/file_system.h"

#include <new>
#include <optional>
#include <vector>

#include "frame/identity.h"
#include "mirelda/error.h"
#include "upload/file_store.h"
#include "upload/multipart_body.h"
#include "upload/text_decoder.h"
#include "upload/upload_failure.h"

namespace mirelda::upload {
namespace {

constexpr int32_t kDefaultCodePage = 936;

}  // namespace

std::optional<Guid> FileSystem::ClassId() const { return frame::FileSystemIdentity().class_id; }

const MemberTable& FileSystem::Members() const {
  static const MemberTable table =
      MemberTableBuilder<FileSystem>("_FileSystem", frame::FileSystemIdentity().interface_id)
          .Method<&FileSystem::OnStartPage>("OnStartPage", {Arg("vScriptingContext").ByRef()})
          .Method<&FileSystem::OnEndPage>("OnEndPage")
          .Let<&FileSystem::UpToFile>("UpToFile", {Arg("lngReal")})
          .Let<&FileSystem::NewFileName>("NewFileName", {Arg("strNewFileName")})
          .Method<&FileSystem::Upload>("Upload",
                                       {Arg("lngMaxSize").Optional(), Arg("ServerPath").Optional(),
                                        Arg("lngOverWrite").Optional()})
          .Get<&FileSystem::count>("count")
          .Let<&FileSystem::MaxSize>("MaxSize", {Arg("lngNewMaxSize")})
          .Let<&FileSystem::Path>("Path", {Arg("varNewPath")})
          .Let<&FileSystem::OverWrite>("OverWrite", {Arg("lngNewOverWrite")})
          .Method<&FileSystem::FileName>("FileName", {Arg("varformname").ByRef()})
          .Method<&FileSystem::Size>("Size", {Arg("varformname").ByRef()})
          .Method<&FileSystem::Form>("Form", {Arg("varformname").ByRef()})
          .Build();
  return table;
}

std::string FileSystem::FileName(const std::string& varformname) const {
  const UploadPart* part = results_.Find(varformname);
  return part ? part->file_name : std::string();
}

int32_t FileSystem::Size(const std::string& varformname) const {
  const UploadPart* part = results_.Find(varformname);
  return part ? part->size : 0;
}

Variant FileSystem::Form(const std::string& varformname) const {
  const UploadPart* part = results_.Find(varformname);
  return part ? part->value : Variant("");
}

int32_t FileSystem::CodePage() const {
  return objSession ? objSession->CodePage() : kDefaultCodePage;
}

std::string FileSystem::Upload(int32_t lngMaxSize, std::string ServerPath, int16_t lngOverWrite) {
  // Every failure becomes the returned message: a page tests the message, not an error.
  try {
    return RunUpload(lngMaxSize, ServerPath, lngOverWrite);
  } catch (const Error& e) {
    return e.description();
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::exception& e) {
    return e.what();
  }
}

std::string FileSystem::RunUpload(int32_t lngMaxSize, const std::string& ServerPath,
                                  int16_t lngOverWrite) {
  PendingFailure pending;
  EffectiveSettings run = settings_.Resolve(lngMaxSize, ServerPath, lngOverWrite);
  // Files are still stored into a relative folder; the page hears of it at the end.
  if (!IsAbsoluteFolder(run.folder)) pending.Set(PathNotAbsoluteMessage());

  RequestObject& request = RequireRequest();
  ByteArray body = request.BinaryRead(request.TotalBytes()).AsBytes();
  MultipartBody multipart(std::move(body), TextDecoder::ForCodePage(CodePage()));

  int32_t part_count = multipart.CountParts();
  results_.set_part_count(part_count);
  if (part_count > kMaxParts) return TooManyPartsMessage();
  if (part_count == 0) return NoPartMessage();

  // A run that stops before publishing its parts takes back the files it stored, so the folder
  // matches the results the page gets.
  StoredFiles stored;
  std::vector<UploadPart> parts;
  parts.reserve(static_cast<size_t>(part_count));
  for (int32_t i = 0; i < part_count; ++i) {
    UploadPart part = multipart.NextPart(run.size_limit, pending);
    // A client name that could leave the folder or is no name at all is kept but not stored; a
    // file over the limit is not stored at all, not even empty.
    if (part.is_file && run.store_files && !part.over_limit && IsStorableFileName(part.file_name)) {
      const ByteArray& content = part.value.AsBytes();
      if (!SaveUploadedFile(RequireServer(), run.folder, part.file_name, run.new_file_name, content,
                            run.overwrite_mode, stored)) {
        return TargetExistsMessage(part.file_name);
      }
    }
    parts.push_back(std::move(part));
  }
  if (std::optional<std::string> taken = stored.Place()) return TargetExistsMessage(*taken);
  results_.Publish(std::move(parts));
  stored.Keep();
  return pending.Result();
}

}  // namespace mirelda::upload

// Mirelda.FileSystem: receives a multipart/form-data post, stores its files and answers the
// posted fields and files by form field name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "frame/page_context.h"
#include "upload/upload_results.h"
#include "upload/upload_settings.h"

namespace mirelda::upload {

// The most parts one post may carry.
inline constexpr int32_t kMaxParts = 255;

class FileSystem final : public frame::PageContext {
 public:
  // Settings (write-only properties); each keeps its unset value for a value it cannot use.
  void UpToFile(int32_t lngReal) { settings_.SetUpToFile(lngReal); }
  void NewFileName(std::string strNewFileName) {
    settings_.SetNewFileName(std::move(strNewFileName));
  }
  void MaxSize(int32_t lngNewMaxSize) { settings_.SetMaxSize(lngNewMaxSize); }
  void Path(std::string varNewPath) { settings_.SetPath(std::move(varNewPath)); }
  void OverWrite(int16_t lngNewOverWrite) { settings_.SetOverWrite(lngNewOverWrite); }

  // Reads the whole request body, cuts it into fields and files, stores the files into the
  // target folder (unless UpToFile is 2) and keeps everything for count, FileName, Size and Form.
  // Returns "OK" or the one message that says what went wrong; never raises to the page. Needs
  // the page's Request, and its Server to store files; decodes text with the Session's code page
  // (936 without a session).
  std::string Upload(int32_t lngMaxSize, std::string ServerPath, int16_t lngOverWrite);

  // The number of parts the last Upload counted, as a Long.
  Variant count() const { return Variant(results_.part_count()); }
  // Lookups by form field name (exact, first match); not found gives "", 0 and "".
  std::string FileName(const std::string& varformname) const;
  int32_t Size(const std::string& varformname) const;
  Variant Form(const std::string& varformname) const;

  const UploadSettings& settings() const { return settings_; }
  const UploadResults& results() const { return results_; }

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "FileSystem"; }
  std::optional<Guid> ClassId() const override;

 private:
  std::string RunUpload(int32_t lngMaxSize, const std::string& ServerPath, int16_t lngOverWrite);
  int32_t CodePage() const;

  UploadSettings settings_;
  UploadResults results_;
};

}  // namespace mirelda::upload

// Builds request bodies as browsers post forms with enctype multipart/form-data, and runs a
// FileSystem on pages of the in-memory test host.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/test_host.h"
#include "upload/file_system.h"

namespace mirelda::upload::testing {

inline constexpr std::string_view kBoundary = "----MireldaFormBoundaryq8nT3YxWk2";

class MultipartForm {
 public:
  explicit MultipartForm(std::string boundary = std::string(kBoundary))
      : boundary_(std::move(boundary)) {}

  MultipartForm& Field(std::string_view name, std::string_view value) {
    return Part("Content-Disposition: form-data; name=\"" + std::string(name) + "\"\r\n\r\n" +
                std::string(value));
  }
  MultipartForm& File(std::string_view name, std::string_view file_name, std::string_view content,
                      std::string_view type = "application/octet-stream") {
    return Part("Content-Disposition: form-data; name=\"" + std::string(name) + "\"; filename=\"" +
                std::string(file_name) + "\"\r\nContent-Type: " + std::string(type) + "\r\n\r\n" +
                std::string(content));
  }
  // A part's header and content as given.
  MultipartForm& Part(std::string header_and_content) {
    parts_.push_back(std::move(header_and_content));
    return *this;
  }

  std::string Body() const {
    std::string body;
    for (const std::string& part : parts_) body += "--" + boundary_ + "\r\n" + part + "\r\n";
    return body + "--" + boundary_ + "--\r\n";
  }

 private:
  std::string boundary_;
  std::vector<std::string> parts_;
};

// One FileSystem instance that posts bodies on successive pages of one test host.
class UploadPage {
 public:
  UploadPage() : file_system(std::make_shared<FileSystem>()) { Start(); }

  // Upload of body on a fresh page, with the arguments given.
  std::string Upload(const std::string& body, int32_t max_size = 0, std::string folder = {},
                     int16_t overwrite = 0) {
    host.NewPage();
    Start();
    host.request().body = body;
    return file_system->Upload(max_size, std::move(folder), overwrite);
  }

  host::TestHost host;
  std::shared_ptr<FileSystem> file_system;

 private:
  void Start() { file_system->OnStartPage(host.context_ptr()); }
};

// The bytes of a Variant holding a byte array, as text.
inline std::string BytesOf(const Variant& value) { return std::string(value.AsBytes().view()); }

}  // namespace mirelda::upload::testing

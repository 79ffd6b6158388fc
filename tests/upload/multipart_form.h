// Builds bodies as browsers post forms with enctype multipart/form-data, and posts them to a
// FileSystem on successive pages of the in-memory test host.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "host/test_host/test_host.h"
#include "upload/file_system.h"

namespace mirelda::upload::testing {

class MultipartForm {
 public:
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
  MultipartForm& Part(const std::string& header_and_content) {
    body_ += "--" + boundary_ + "\r\n" + header_and_content + "\r\n";
    return *this;
  }
  std::string Body() const { return body_ + "--" + boundary_ + "--\r\n"; }

 private:
  std::string boundary_ = "----MireldaFormBoundaryq8nT3YxWk2";
  std::string body_;
};

// One FileSystem that posts each body on a fresh page of one host.
struct UploadPage {
  std::string Upload(const std::string& body, int32_t max_size = 0, std::string folder = {},
                     int16_t overwrite = 0) {
    host.NewPage();
    file_system->OnStartPage(host.context_ptr());
    host.request().body = body;
    return file_system->Upload(max_size, std::move(folder), overwrite);
  }

  host::TestHost host;
  std::shared_ptr<FileSystem> file_system = std::make_shared<FileSystem>();
};

// The reply to a file whose name the folder already holds.
inline std::string Exists(const std::string& name) {
  return "对不起，目标文件[" + name + "]在上载的目录中已经存在,请改名后重新上传";
}

inline std::string BytesOf(const Variant& value) { return std::string(value.AsBytes().view()); }

}  // namespace mirelda::upload::testing

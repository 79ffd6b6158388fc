// The Response object of the HTTP host. Output is buffered until the page ends, so headers,
// cookies and the status can change until then; Write encodes text with the page's code page at
// the time of the call. Belongs to the page's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/http/reply.h"
#include "mirelda/host.h"

namespace mirelda::host {

class HttpResponse final : public ResponseObject {
 public:
  explicit HttpResponse(std::function<int32_t()> code_page);

  void Write(const Variant& text) override;
  void BinaryWrite(const Variant& bytes) override;
  std::shared_ptr<ResponseCookie> Cookies(const std::string& name) override;
  void Redirect(const std::string& url) override;
  void End() override;
  void Clear() override;
  std::string ContentType() override { return content_type_; }
  void SetContentType(const std::string& type) override;
  std::string Charset() override;
  void SetCharset(const std::string& charset) override;
  std::string Status() override { return status_; }
  void SetStatus(const std::string& status) override;
  bool Buffer() override { return buffer_; }
  void SetBuffer(bool buffer) override;
  void AddHeader(const std::string& name, const std::string& value) override;
  void Flush() override;
  Variant Expires() override;
  void SetExpires(int32_t minutes) override;
  Variant ExpiresAbsolute() override;
  void SetExpiresAbsolute(Date when) override;
  std::string CacheControl() override { return cache_control_; }
  void SetCacheControl(const std::string& value) override;
  void AppendToLog(const std::string& line) override { log_lines_.push_back(line); }

  // The reply for the page as it stands: status, Content-Type with charset, Location, one
  // Set-Cookie per cookie, and the body, which moves into the reply.
  Reply Finish();
  // Cookies only, for the error page that replaces a failed page's output.
  void AddCookieHeaders(Reply& reply) const;
  size_t body_size() const { return body_.size(); }
  // AppendToLog's lines, in call order.
  const std::vector<std::string>& log_lines() const { return log_lines_; }

 private:
  std::function<int32_t()> code_page_;
  std::string body_;
  std::vector<std::shared_ptr<ResponseCookie>> cookies_;
  std::optional<std::string> location_;
  std::string content_type_ = "text/html";
  std::string charset_;  // empty: named after the code page
  std::string status_ = "200 OK";
  bool buffer_ = true;
  // Set by Flush, and by the first Write while buffering is off: from then on the headers
  // count as sent, and changing them is a Header Error.
  bool headers_sent_ = false;
  std::vector<std::pair<std::string, std::string>> headers_;  // AddHeader's, in call order
  std::optional<int64_t> expires_at_;                         // Unix time of the Expires header
  std::optional<int32_t> expires_minutes_;
  std::string cache_control_;
  std::vector<std::string> log_lines_;
  // Throws the Header Error once the headers count as sent.
  void RequireHeadersOpen(const char* what) const;
};

// The Set-Cookie header value of a cookie; its value and keys are encoded in the code page and
// percent-encoded.
std::string SetCookieValue(const ResponseCookie& cookie, int32_t code_page);

}  // namespace mirelda::host

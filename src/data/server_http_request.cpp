#include "data/server_http_request.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "data/charset_conversion.h"
#include "data/data_classes.h"
#include "data/transfer_errors.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

constexpr int32_t kOpened = 1;
constexpr int32_t kCompleted = 4;

bool IsToken(std::string_view s) {
  if (s.empty()) return false;
  for (unsigned char c : s) {
    bool ok = std::isalnum(c) || std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) !=
                                     std::string_view::npos;
    if (!ok) return false;
  }
  return true;
}

std::string OptionalText(const Variant& v) {
  return v.is_missing() || v.is_empty() || v.is_null() ? "" : v.ToString();
}

// The charset parameter of a Content-Type value, "" when it has none.
std::string CharsetOf(std::string_view content_type) {
  std::string lower = text::ToLowerAscii(content_type);
  size_t at = lower.find("charset=");
  if (at == std::string::npos) return "";
  std::string value = lower.substr(at + 8);
  value = value.substr(0, value.find_first_of("; \t"));
  if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.find('"', 1) - 1);
  return value;
}

}  // namespace

void ServerHttpRequest::Open(const std::string& method, const std::string& url, const Variant&,
                             const Variant& user, const Variant& password) {
  if (!IsToken(method)) {
    throw Error(kInvalidArgument, "\"" + method + "\" is not an HTTP method");
  }
  std::string upper = text::ToUpperAscii(method);
  static const std::string_view kStandard[] = {"GET",    "POST",    "HEAD", "PUT",
                                               "DELETE", "OPTIONS", "PATCH"};
  bool standard =
      std::find(std::begin(kStandard), std::end(kStandard), upper) != std::end(kStandard);
  CheckHttpUrl(url);
  HttpTimeouts timeouts = exchange_.timeouts;
  exchange_ = HttpExchange{};
  exchange_.timeouts = timeouts;
  exchange_.method = standard ? upper : method;
  exchange_.url = url;
  exchange_.user = OptionalText(user);
  exchange_.password = OptionalText(password);
  response_.reset();
  ready_state_ = kOpened;
}

void ServerHttpRequest::SetRequestHeader(const std::string& name, const std::string& value) {
  if (ready_state_ != kOpened) {
    throw Error(kUnexpected, "setRequestHeader needs an open request that is not yet sent");
  }
  if (!IsToken(name)) throw Error(kInvalidArgument, "\"" + name + "\" is not a header name");
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
    throw Error(kInvalidArgument, "The value of the header " + name +
                                      " must not hold a line break (CR or LF) or a NUL");
  }
  std::erase_if(exchange_.headers,
                [&](const auto& h) { return text::EqualsIgnoreCase(h.first, name); });
  exchange_.headers.emplace_back(name, value);
}

void ServerHttpRequest::Send(const Variant& body) {
  if (ready_state_ != kOpened || response_) {
    throw Error(kUnexpected, "send needs an open request that is not yet sent");
  }
  if (body.is_string()) {
    exchange_.body = body.ToString();
  } else if (body.is_bytes()) {
    exchange_.body = std::string(body.AsBytes().view());
  } else if (body.is_missing() || body.is_empty() || body.is_null()) {
    exchange_.body.reset();
  } else {
    throw Error(errc::kTypeMismatch, "send takes text or a byte array, not " + TypeName(body));
  }
  response_ = PerformHttp(exchange_);
  ready_state_ = kCompleted;
}

void ServerHttpRequest::Abort() {
  response_.reset();
  ready_state_ = 0;
}

void ServerHttpRequest::SetTimeouts(int32_t resolve, int32_t connect, int32_t send,
                                    int32_t receive) {
  for (int32_t t : {resolve, connect, send, receive}) {
    if (t < -1)
      throw Error(kInvalidArgument, "A timeout must be -1, 0 or a number of milliseconds");
  }
  auto limit = [](int32_t t) { return t <= 0 ? 0L : static_cast<long>(t); };
  exchange_.timeouts = {limit(resolve), limit(connect), limit(send), limit(receive)};
}

bool ServerHttpRequest::WaitForResponse(const Variant&) { return true; }

int32_t ServerHttpRequest::ReadyState() { return ready_state_; }

const HttpResult& ServerHttpRequest::Response() {
  if (!response_) {
    throw Error(kPending, "The data necessary to complete this operation is not yet available");
  }
  return *response_;
}

int32_t ServerHttpRequest::Status() { return static_cast<int32_t>(Response().status); }
std::string ServerHttpRequest::StatusText() { return Response().reason; }

std::string ServerHttpRequest::ResponseText() {
  const std::string& body = Response().body;
  std::string_view bytes = body;
  if (bytes.starts_with("\xEF\xBB\xBF")) return DecodeCharset(bytes.substr(3), "UTF-8");
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    return DecodeCharset(bytes, "UTF-16");
  }
  std::string charset;
  for (const auto& [n, v] : response_->headers) {
    if (text::EqualsIgnoreCase(n, "Content-Type")) {
      charset = CharsetOf(v);
      break;
    }
  }
  return DecodeCharset(bytes, charset.empty() ? "UTF-8" : charset);
}

Variant ServerHttpRequest::ResponseBody() { return Variant(ByteArray(Response().body)); }

std::string ServerHttpRequest::GetResponseHeader(const std::string& name) {
  for (const auto& [n, v] : Response().headers) {
    if (text::EqualsIgnoreCase(n, name)) return v;
  }
  throw Error(kHttpHeaderNotFound, "The requested header was not found: " + name);
}

std::string ServerHttpRequest::GetAllResponseHeaders() {
  std::string all;
  for (const auto& [n, v] : Response().headers) all += n + ": " + v + "\r\n";
  return all;
}

std::optional<Guid> ServerHttpRequest::ClassId() const { return ServerHttpRequestClassId(); }

const MemberTable& ServerHttpRequest::Members() const {
  using R = ServerHttpRequest;
  static const MemberTable table =
      MemberTableBuilder<R>("IServerXMLHTTPRequest2")
          .Method<&R::Open>("open", {Arg("bstrMethod"), Arg("bstrUrl"), Arg("varAsync").Optional(),
                                     Arg("bstrUser").Optional(), Arg("bstrPassword").Optional()})
          .Method<&R::SetRequestHeader>("setRequestHeader", {Arg("bstrHeader"), Arg("bstrValue")})
          .Method<&R::Send>("send", {Arg("varBody").Optional()})
          .Method<&R::Abort>("abort")
          .Method<&R::SetTimeouts>("setTimeouts", {Arg("resolveTimeout"), Arg("connectTimeout"),
                                                   Arg("sendTimeout"), Arg("receiveTimeout")})
          .Method<&R::WaitForResponse>("waitForResponse", {Arg("timeoutInSeconds").Optional()})
          .Get<&R::ReadyState>("readyState")
          .Get<&R::Status>("status")
          .Get<&R::StatusText>("statusText")
          .Get<&R::ResponseText>("responseText")
          .Get<&R::ResponseBody>("responseBody")
          .Method<&R::GetResponseHeader>("getResponseHeader", {Arg("bstrHeader")})
          .Method<&R::GetAllResponseHeaders>("getAllResponseHeaders")
          .Build();
  return table;
}

}  // namespace mirelda::data

#include "host/objects/response.h"

#include <ctime>

#include "host/http/http_date.h"
#include "host/objects/code_page.h"
#include "host/objects/url_encoding.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

// Header text that a page sets must not carry line breaks, or it would add headers of its own.
void RequireHeaderSafe(const std::string& value, const char* what) {
  for (char c : value) {
    if (c == '\r' || c == '\n' || c == '\0') {
      throw Error(errc::kInvalidProcedureCall, std::string(what) + " must not contain line breaks");
    }
  }
}

std::string CookieText(const std::string& text, int32_t code_page) {
  return UrlEncodeBytes(EncodeToCodePage(text, code_page, Unmappable::kQuestionMark));
}

// A path or domain may not end its attribute early: "; Domain=..." inside a path would add one.
std::string CookieAttribute(const std::string& value) {
  std::string out;
  for (char c : EscapeUrlForHeader(value)) {
    if (c == ';') {
      out += "%3B";
    } else if (c == ',') {
      out += "%2C";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string SetCookieValue(const ResponseCookie& cookie, int32_t code_page) {
  std::string value;
  if (cookie.keys().empty()) {
    value = CookieText(cookie.value(), code_page);
  } else {
    for (const auto& [k, v] : cookie.keys()) {
      if (!value.empty()) value += '&';
      value += CookieText(k, code_page) + "=" + CookieText(v, code_page);
    }
  }
  std::string out = CookieText(cookie.name(), code_page) + "=" + value;
  if (cookie.expires()) out += "; Expires=" + FormatHttpDate(cookie.expires()->ToUnixTime());
  if (!cookie.domain().empty()) out += "; Domain=" + CookieAttribute(cookie.domain());
  if (!cookie.path().empty()) out += "; Path=" + CookieAttribute(cookie.path());
  if (cookie.secure()) out += "; Secure";
  if (cookie.http_only()) out += "; HttpOnly";
  return out;
}

HttpResponse::HttpResponse(std::function<int32_t()> code_page) : code_page_(std::move(code_page)) {}

void HttpResponse::RequireHeadersOpen(const char* what) const {
  if (!headers_sent_) return;
  throw Error(errc::kUnspecified,
              std::string("Header Error: ") + what +
                  " after the HTTP headers were written to the browser. Any header change "
                  "must be made before page content is flushed.",
              "Response object");
}

void HttpResponse::Write(const Variant& text) {
  if (const std::string* held = text.TextIf()) {
    AppendInCodePage(body_, *held, code_page_());
  } else {
    AppendInCodePage(body_, text.ToText(), code_page_());
  }
  if (!buffer_) headers_sent_ = true;
}

void HttpResponse::BinaryWrite(const Variant& bytes) {
  body_.append(bytes.AsBytes().view());
  if (!buffer_) headers_sent_ = true;
}

void HttpResponse::SetBuffer(bool buffer) {
  if (buffer != buffer_) RequireHeadersOpen("Response.Buffer changed");
  buffer_ = buffer;
}

void HttpResponse::Flush() { headers_sent_ = true; }

void HttpResponse::AddHeader(const std::string& name, const std::string& value) {
  RequireHeadersOpen("Response.AddHeader");
  bool token = !name.empty();
  for (unsigned char c : name) {
    token = token && c > 32 && c < 127 && c != ':' && c != '(' && c != ')' && c != '"' &&
            c != '/' && c != '[' && c != ']' && c != '{' && c != '}' && c != ',' && c != ';' &&
            c != '=' && c != '\\' && c != '?' && c != '@' && c != '<' && c != '>';
  }
  if (!token) {
    throw Error(errc::kInvalidProcedureCall, "\"" + name + "\" is no header name");
  }
  RequireHeaderSafe(value, "Response.AddHeader");
  headers_.emplace_back(name, EncodeToCodePage(value, code_page_(), Unmappable::kQuestionMark));
}

Variant HttpResponse::Expires() {
  return expires_minutes_ ? Variant(*expires_minutes_) : Variant();
}

void HttpResponse::SetExpires(int32_t minutes) {
  RequireHeadersOpen("Response.Expires");
  expires_minutes_ = minutes;
  expires_at_ = static_cast<int64_t>(std::time(nullptr)) + int64_t{minutes} * 60;
}

Variant HttpResponse::ExpiresAbsolute() {
  return expires_at_ ? Variant(Date::FromUnixTime(*expires_at_)) : Variant();
}

void HttpResponse::SetExpiresAbsolute(Date when) {
  RequireHeadersOpen("Response.ExpiresAbsolute");
  expires_minutes_.reset();
  expires_at_ = when.ToUnixTime();
}

void HttpResponse::SetCacheControl(const std::string& value) {
  RequireHeadersOpen("Response.CacheControl");
  RequireHeaderSafe(value, "Response.CacheControl");
  cache_control_ = value;
}

std::shared_ptr<ResponseCookie> HttpResponse::Cookies(const std::string& name) {
  if (name.empty()) throw Error(errc::kInvalidProcedureCall, "A cookie needs a name");
  for (const auto& c : cookies_) {
    if (text::EqualsIgnoreCase(c->name(), name)) return c;
  }
  RequireHeadersOpen("Response.Cookies");
  cookies_.push_back(std::make_shared<ResponseCookie>(name));
  return cookies_.back();
}

void HttpResponse::Redirect(const std::string& url) {
  RequireHeadersOpen("Response.Redirect");
  // The script goes on (a page that must stop calls End); what it wrote before is dropped, as the
  // browser shows the page it is sent to instead.
  location_ = EscapeUrlForHeader(EncodeToCodePage(url, code_page_(), Unmappable::kQuestionMark));
  status_ = "302 Object moved";
  body_.clear();
}

void HttpResponse::End() { throw EndOfPage{}; }

void HttpResponse::Clear() {
  if (headers_sent_) {
    throw Error(errc::kUnspecified, "Response.Clear after output was flushed to the browser",
                "Response object");
  }
  body_.clear();
}

void HttpResponse::SetContentType(const std::string& type) {
  RequireHeadersOpen("Response.ContentType");
  RequireHeaderSafe(type, "Response.ContentType");
  content_type_ = type;
}

std::string HttpResponse::Charset() {
  return charset_.empty() ? CharsetName(code_page_()) : charset_;
}

void HttpResponse::SetCharset(const std::string& charset) {
  RequireHeadersOpen("Response.Charset");
  RequireHeaderSafe(charset, "Response.Charset");
  charset_ = charset;
}

void HttpResponse::SetStatus(const std::string& status) {
  RequireHeadersOpen("Response.Status");
  RequireHeaderSafe(status, "Response.Status");
  bool valid = status.size() >= 3 && status[0] >= '1' && status[0] <= '5';
  for (size_t i = 0; valid && i < 3; ++i) valid = status[i] >= '0' && status[i] <= '9';
  if (!valid || (status.size() > 3 && status[3] != ' ')) {
    throw Error(errc::kInvalidProcedureCall,
                "Response.Status must read \"NNN reason\", not \"" + status + "\"");
  }
  status_ = status;
}

void HttpResponse::AddCookieHeaders(Reply& reply) const {
  for (const auto& cookie : cookies_)
    reply.AddHeader("Set-Cookie", SetCookieValue(*cookie, code_page_()));
}

Reply HttpResponse::Finish() {
  Reply reply;
  reply.status = std::stoi(status_.substr(0, 3));
  std::string type = content_type_.empty() ? "text/html" : content_type_;
  if (text::ToLowerAscii(type).rfind("text/", 0) == 0 && type.find(';') == std::string::npos) {
    type += "; charset=" + (charset_.empty() ? CharsetName(code_page_()) : charset_);
  }
  reply.AddHeader("Content-Type", type);
  if (location_) {
    reply.AddHeader("Location", *location_);
    if (body_.empty()) {
      body_ =
          "<head><title>Object moved</title></head>\n<body><h1>Object Moved</h1>This object "
          "may be found <a HREF=\"" +
          *location_ + "\">here</a>.</body>\n";
    }
  }
  if (expires_at_) reply.AddHeader("Expires", FormatHttpDate(*expires_at_));
  if (!cache_control_.empty()) reply.AddHeader("Cache-Control", cache_control_);
  for (const auto& [name, value] : headers_) reply.AddHeader(name, value);
  AddCookieHeaders(reply);
  reply.body = std::move(body_);
  body_.clear();
  return reply;
}

}  // namespace mirelda::host

#include "host/objects/request.h"

#include <algorithm>

#include "host/objects/code_page.h"
#include "host/objects/url_encoding.h"
#include "mirelda/error.h"
#include "mirelda/path_map.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// "a=1; b=2" into percent-decoded pairs, the session cookie left out.
std::vector<std::pair<std::string, std::string>> ParseCookieHeader(std::string_view header) {
  std::vector<std::pair<std::string, std::string>> pairs;
  while (!header.empty()) {
    size_t semi = header.find(';');
    std::string_view piece = TrimBlanks(header.substr(0, semi));
    header = semi == std::string_view::npos ? std::string_view() : header.substr(semi + 1);
    size_t eq = piece.find('=');
    if (piece.empty() || eq == 0) continue;
    std::string_view name = TrimBlanks(piece.substr(0, eq));
    std::string_view value =
        eq == std::string_view::npos ? std::string_view() : TrimBlanks(piece.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    pairs.emplace_back(PercentDecode(name, true), PercentDecode(value, true));
  }
  return pairs;
}

bool IsFormPost(const RequestData& data) {
  std::string type = text::ToLowerAscii(data.Header("Content-Type"));
  return type.rfind("application/x-www-form-urlencoded", 0) == 0;
}

// "User-Agent" as the server variable "HTTP_USER_AGENT".
std::string ServerVariableName(std::string_view header) {
  std::string name = "HTTP_" + text::ToUpperAscii(header);
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

}  // namespace

std::string RequestData::Header(std::string_view name) const {
  for (const auto& [k, v] : headers) {
    if (text::EqualsIgnoreCase(k, name)) return v;
  }
  return "";
}

HttpRequest::HttpRequest(std::shared_ptr<const RequestData> data, std::string script_name,
                         std::string page_file, std::string site_root,
                         std::function<int32_t()> code_page)
    : data_(std::move(data)),
      script_name_(std::move(script_name)),
      page_file_(std::move(page_file)),
      site_root_(std::move(site_root)),
      code_page_(std::move(code_page)) {
  query_ = ParseUrlEncodedPairs(data_->raw_query);
  if (IsFormPost(*data_)) form_ = ParseUrlEncodedPairs(data_->BodyText());
  for (auto& pair : ParseCookieHeader(data_->Header("Cookie"))) {
    if (!text::EqualsIgnoreCase(pair.first, kSessionCookieName))
      cookies_.push_back(std::move(pair));
  }
}

std::optional<std::string> HttpRequest::RawCookie(const RequestData& data, std::string_view name) {
  for (auto& [k, v] : ParseCookieHeader(data.Header("Cookie"))) {
    if (k == name) return v;
  }
  return std::nullopt;
}

const NameMap& HttpRequest::DecodedOf(const RawPairs& raw, Decoded& cache) {
  int32_t code_page = code_page_();
  if (cache.code_page == code_page) return cache.values;
  cache.values.clear();
  for (const auto& [name, value] : raw) {
    std::string key = DecodeFromCodePage(name, code_page);
    std::string decoded = DecodeFromCodePage(value, code_page);
    auto [it, inserted] = cache.values.emplace(key, decoded);
    if (!inserted) it->second += ", " + decoded;
  }
  cache.code_page = code_page;
  return cache.values;
}

Variant HttpRequest::Find(const NameMap& map, const std::string& name) {
  auto it = map.find(name);
  return it == map.end() ? Variant() : Variant(it->second);
}

Variant HttpRequest::ServerVariables(const std::string& name) {
  const RequestData& d = *data_;
  std::string n = text::ToUpperAscii(name);
  int32_t code_page = code_page_();
  if (n == "SCRIPT_NAME" || n == "PATH_INFO" || n == "URL") return Variant(script_name_);
  if (n == "APPL_PHYSICAL_PATH") {
    std::string folder = paths::ToPagePath(site_root_);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return Variant(folder);
  }
  if (n == "PATH_TRANSLATED") return Variant(paths::ToPagePath(page_file_));
  if (n == "QUERY_STRING") return Variant(DecodeFromCodePage(d.raw_query, code_page));
  if (n == "REQUEST_METHOD") return Variant(d.method);
  if (n == "SERVER_PROTOCOL") return Variant(d.protocol);
  if (n == "REMOTE_ADDR" || n == "REMOTE_HOST") return Variant(d.remote_address);
  if (n == "REMOTE_PORT") return Variant(std::to_string(d.remote_port));
  if (n == "LOCAL_ADDR") return Variant(d.local_address);
  if (n == "SERVER_PORT") return Variant(std::to_string(d.local_port));
  if (n == "SERVER_SOFTWARE") return Variant("Mirelda/1.0");
  if (n == "HTTPS") return Variant(d.https ? "on" : "off");
  if (n == "CONTENT_TYPE") return Variant(d.Header("Content-Type"));
  if (n == "CONTENT_LENGTH") return Variant(std::to_string(d.body.size()));
  if (n == "SERVER_NAME") {
    std::string host = d.Header("Host");
    if (host.empty()) return Variant(d.local_address);
    size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']', colon) == std::string::npos) {
      host.resize(colon);
    }
    return Variant(host);
  }
  if (n == "ALL_HTTP" || n == "ALL_RAW") {
    std::string all;
    for (const auto& [k, v] : d.headers) {
      all += (n == "ALL_HTTP" ? ServerVariableName(k) + ":" : k + ": ") + v + "\r\n";
    }
    return Variant(DecodeFromCodePage(all, code_page));
  }
  if (n.rfind("HTTP_", 0) == 0) {
    for (const auto& [k, v] : d.headers) {
      if (ServerVariableName(k) == n) return Variant(DecodeFromCodePage(v, code_page));
    }
  }
  return Variant();
}

Variant HttpRequest::Item(const std::string& name) {
  for (Variant v :
       {Find(DecodedOf(query_, query_decoded_), name), Find(DecodedOf(form_, form_decoded_), name),
        Find(DecodedOf(cookies_, cookies_decoded_), name)}) {
    if (!v.is_empty()) return v;
  }
  return ServerVariables(name);
}

Variant HttpRequest::QueryString(const Variant& name) {
  if (name.is_missing()) return Variant(DecodeFromCodePage(data_->raw_query, code_page_()));
  return Find(DecodedOf(query_, query_decoded_), name.ToString());
}

Variant HttpRequest::Form(const Variant& name) {
  if (name.is_missing()) {
    return Variant(form_.empty() ? std::string()
                                 : DecodeFromCodePage(data_->BodyText(), code_page_()));
  }
  return Find(DecodedOf(form_, form_decoded_), name.ToString());
}

Variant HttpRequest::Cookies(const Variant& name) {
  if (name.is_missing()) {
    std::string all;
    for (const auto& [k, v] : DecodedOf(cookies_, cookies_decoded_)) {
      if (!all.empty()) all += "; ";
      all += k + "=" + v;
    }
    return Variant(all);
  }
  return Find(DecodedOf(cookies_, cookies_decoded_), name.ToString());
}

RequestCollection::Entries HttpRequest::Entries(RequestPart part) {
  if (part == RequestPart::kServerVariables) {
    RequestCollection::Entries entries;
    std::vector<std::string> names = {
        "APPL_PHYSICAL_PATH", "CONTENT_LENGTH",  "CONTENT_TYPE", "HTTPS",       "LOCAL_ADDR",
        "PATH_INFO",          "PATH_TRANSLATED", "QUERY_STRING", "REMOTE_ADDR", "REMOTE_HOST",
        "REMOTE_PORT",        "REQUEST_METHOD",  "SCRIPT_NAME",  "SERVER_NAME", "SERVER_PORT",
        "SERVER_PROTOCOL",    "SERVER_SOFTWARE", "URL"};
    for (const auto& header : data_->headers) {
      std::string name = ServerVariableName(header.first);
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    for (const std::string& name : names)
      entries.emplace_back(name, ServerVariables(name).ToText());
    return entries;
  }
  const RawPairs& raw = part == RequestPart::kQueryString ? query_
                        : part == RequestPart::kForm      ? form_
                                                          : cookies_;
  int32_t code_page = code_page_();
  RequestCollection::Entries entries;
  for (const auto& [name, value] : raw) {
    std::string key = DecodeFromCodePage(name, code_page);
    std::string decoded = DecodeFromCodePage(value, code_page);
    auto same = std::find_if(entries.begin(), entries.end(),
                             [&](const auto& e) { return text::EqualsIgnoreCase(e.first, key); });
    if (same == entries.end()) {
      entries.emplace_back(std::move(key), std::move(decoded));
    } else {
      same->second += ", " + decoded;
    }
  }
  return entries;
}

int32_t HttpRequest::TotalBytes() {
  return static_cast<int32_t>(std::min<size_t>(data_->body.size(), INT32_MAX));
}

Variant HttpRequest::BinaryRead(int32_t count) {
  if (count < 0) throw Error(errc::kInvalidProcedureCall, "BinaryRead of a negative count");
  size_t n = std::min(static_cast<size_t>(count), data_->body.size() - body_read_);
  ByteArray bytes = data_->body.Slice(body_read_, n);
  body_read_ += n;
  return Variant(std::move(bytes));
}

}  // namespace mirelda::host

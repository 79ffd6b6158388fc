#include "data/http_transfer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "data/curl_handles.h"
#include "data/transfer_errors.h"
#include "mirelda/error.h"
#include "mirelda/settings.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMostRedirects = 10;
constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; Win32; WinHttp.WinHttpRequest.5)";

struct UrlParts {
  std::string scheme, host, port;
};

UrlParts ParseUrl(const std::string& url) {
  // libcurl reads the URL up to a NUL: what follows one must not be silently dropped.
  if (url.find('\0') != std::string::npos) throw Error(kHttpBadUrl, "The URL is invalid");
  CurlUrl handle(curl_url());
  if (!handle) throw Error(errc::kOutOfMemory);
  CURLUcode rc = curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME);
  if (rc != CURLUE_OK) throw Error(kHttpBadUrl, "The URL is invalid: \"" + url + "\"");
  UrlParts parts;
  auto get = [&](CURLUPart what, std::string& out, unsigned flags) {
    char* value = nullptr;
    if (curl_url_get(handle.get(), what, &value, flags) == CURLUE_OK && value) {
      out = value;
      curl_free(value);
    }
  };
  get(CURLUPART_SCHEME, parts.scheme, 0);
  get(CURLUPART_HOST, parts.host, 0);
  get(CURLUPART_PORT, parts.port, CURLU_DEFAULT_PORT);
  parts.scheme = text::ToLowerAscii(parts.scheme);
  parts.host = text::ToLowerAscii(parts.host);
  return parts;
}

// True when one allow-list entry names the host, and the port when it gives one.
bool Allows(std::string_view entry, const UrlParts& url) {
  std::string e = text::ToLowerAscii(entry);
  size_t colon = e.rfind(':');
  bool has_port = colon != std::string::npos &&
                  (e[0] == '[' ? colon > 0 && e[colon - 1] == ']' : e.find(':') == colon);
  if (!has_port) return e == url.host;
  return e.substr(0, colon) == url.host && e.substr(colon + 1) == url.port;
}

void CheckAllowed(const UrlParts& url, const std::string& text) {
  std::string list = settings::Get("http", "allow").value_or("");
  std::vector<std::string> entries;
  size_t start = 0;
  while ((start = list.find_first_not_of(" \t,", start)) != std::string::npos) {
    size_t end = list.find_first_of(" \t,", start);
    entries.push_back(list.substr(start, end - start));
    start = end;
  }
  if (entries.empty()) return;
  for (const std::string& e : entries) {
    if (e == "*" || Allows(e, url)) return;
  }
  throw Error(kAccessDenied, "Access is denied: the host \"" + url.host + ":" + url.port +
                                 "\" of \"" + text +
                                 "\" is not in the allow-list of this server ([http] allow)");
}

UrlParts CheckedUrl(const std::string& url) {
  UrlParts parts = ParseUrl(url);
  if (parts.scheme != "http" && parts.scheme != "https") {
    throw Error(kHttpBadProtocol,
                "The URL does not use a recognized protocol (http or https): \"" + url + "\"");
  }
  if (parts.host.empty()) throw Error(kHttpBadUrl, "The URL is invalid: \"" + url + "\"");
  CheckAllowed(parts, url);
  return parts;
}

// What the callbacks of one request fill in.
struct Transfer {
  HttpResult result;
  const HttpTimeouts* timeouts = nullptr;
  CURL* curl = nullptr;
  bool connected = false;
  Clock::time_point last_progress;
  curl_off_t last_down = 0, last_up = 0;
  bool timed_out = false;
  bool too_large = false;
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::string line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  HttpResult& r = t->result;
  if (line.rfind("HTTP/", 0) == 0) {
    // A new status line (after a 100 Continue, say) starts the headers afresh.
    r.headers.clear();
    size_t space = line.find(' ');
    size_t second = space == std::string::npos ? space : line.find(' ', space + 1);
    r.status = space == std::string::npos ? 0 : std::atol(line.c_str() + space + 1);
    r.reason = second == std::string::npos ? "" : line.substr(second + 1);
  } else if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !r.headers.empty()) {
    r.headers.back().second += " " + text::Trim(line);
  } else if (size_t colon = line.find(':'); colon != std::string::npos) {
    r.headers.emplace_back(text::Trim(line.substr(0, colon)), text::Trim(line.substr(colon + 1)));
  }
  return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  if (t->result.body.size() + size * count > kLargestResponse) {
    t->too_large = true;
    return 0;
  }
  t->result.body.append(data, size * count);
  return size * count;
}

// Cuts a transfer that has made no progress for longer than its send or receive limit.
int OnProgress(void* user, curl_off_t, curl_off_t down_now, curl_off_t up_total,
               curl_off_t up_now) {
  auto* t = static_cast<Transfer*>(user);
  Clock::time_point now = Clock::now();
  if (!t->connected) {
    curl_off_t connect_time = 0;
    curl_easy_getinfo(t->curl, CURLINFO_CONNECT_TIME_T, &connect_time);
    if (connect_time <= 0) return 0;
    t->connected = true;
    t->last_progress = now;
  }
  if (down_now != t->last_down || up_now != t->last_up) {
    t->last_down = down_now;
    t->last_up = up_now;
    t->last_progress = now;
    return 0;
  }
  long limit = up_total > 0 && up_now < up_total ? t->timeouts->send_ms : t->timeouts->receive_ms;
  auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - t->last_progress);
  if (limit > 0 && idle.count() > limit) {
    t->timed_out = true;
    return 1;
  }
  return 0;
}

[[noreturn]] void Fail(CURLcode code, const Transfer& t, const std::string& url,
                       const char* detail) {
  std::string where = " (" + url + ": " + detail + ")";
  if (t.timed_out || code == CURLE_OPERATION_TIMEDOUT) {
    throw Error(kHttpTimeout, "The operation timed out" + where);
  }
  if (t.too_large) {
    throw Error(errc::kOutOfMemory, "The response is larger than " +
                                        std::to_string(kLargestResponse >> 20) + " MB" + where);
  }
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
      throw Error(kHttpNameNotResolved, "The server name or address could not be resolved" + where);
    case CURLE_COULDNT_CONNECT:
      throw Error(kHttpCannotConnect,
                  "A connection with the server could not be established" + where);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
      throw Error(kHttpSecureFailure, "A security error occurred" + where);
    case CURLE_URL_MALFORMAT:
      throw Error(kHttpBadUrl, "The URL is invalid" + where);
    default:
      throw Error(kHttpConnectionReset, "The connection with the server was reset" + where);
  }
}

bool HasHeader(const HttpHeaders& headers, std::string_view name) {
  for (const auto& [n, v] : headers) {
    if (text::EqualsIgnoreCase(n, name)) return true;
  }
  return false;
}

HttpResult PerformOnce(const HttpExchange& x, const std::string& url, bool send_credentials) {
  CurlEasy easy = NewCurlEasy();
  CURL* c = easy.get();
  Transfer t;
  t.timeouts = &x.timeouts;
  t.curl = c;
  char error[CURL_ERROR_SIZE] = {};

  // libcurl reads the body during the transfer: both choices are lvalues that outlive it (a
  // temporary "" here would be gone before curl_easy_perform).
  static const std::string kNoBody;
  const std::string& body = x.body ? *x.body : kNoBody;
  CurlList headers;
  for (const auto& [name, value] : x.headers) Append(headers, name + ": " + value);
  // curl's own additions that the platform's object does not make.
  Append(headers, "Expect:");
  if (x.body && !HasHeader(x.headers, "Content-Type")) Append(headers, "Content-Type:");

  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(c, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  if (x.method == "GET" && !x.body) {
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  } else if (x.method == "HEAD") {
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    if (x.method != "POST") curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, x.method.c_str());
  }
  if (send_credentials && (!x.user.empty() || !x.password.empty())) {
    curl_easy_setopt(c, CURLOPT_USERNAME, x.user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, x.password.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
  }
  if (x.timeouts.connect_ms > 0) {
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                     x.timeouts.connect_ms + std::max(x.timeouts.resolve_ms, 0L));
  }
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  CURLcode code = curl_easy_perform(c);
  if (code != CURLE_OK) Fail(code, t, url, error[0] ? error : curl_easy_strerror(code));
  return std::move(t.result);
}

std::string Location(const HttpResult& r) {
  for (const auto& [n, v] : r.headers) {
    if (text::EqualsIgnoreCase(n, "Location")) return v;
  }
  return "";
}

// The absolute URL of a Location value read against the URL it came from.
std::string Resolve(const std::string& base, const std::string& location) {
  CurlUrl handle(curl_url());
  if (!handle) throw Error(errc::kOutOfMemory);
  char* out = nullptr;
  if (curl_url_set(handle.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
      curl_url_set(handle.get(), CURLUPART_URL, location.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
          CURLUE_OK ||
      curl_url_get(handle.get(), CURLUPART_URL, &out, 0) != CURLUE_OK) {
    throw Error(kHttpRedirectFailed, "The redirection failed: \"" + location + "\" is no URL");
  }
  std::string url = out;
  curl_free(out);
  return url;
}

}  // namespace

void CheckHttpUrl(const std::string& url) { CheckedUrl(url); }

HttpResult PerformHttp(const HttpExchange& exchange) {
  HttpExchange x = exchange;
  std::string url = x.url;
  UrlParts first = CheckedUrl(url);
  for (int hop = 0;; ++hop) {
    UrlParts here = ParseUrl(url);
    bool same_origin =
        here.scheme == first.scheme && here.host == first.host && here.port == first.port;
    HttpResult r = PerformOnce(x, url, same_origin);
    bool redirect =
        r.status == 301 || r.status == 302 || r.status == 303 || r.status == 307 || r.status == 308;
    std::string location = Location(r);
    if (!redirect || location.empty()) return r;
    if (hop + 1 >= kMostRedirects) {
      throw Error(kHttpRedirectFailed, "The redirection failed: more than " +
                                           std::to_string(kMostRedirects) + " redirects from \"" +
                                           exchange.url + "\"");
    }
    url = Resolve(url, location);
    try {
      CheckedUrl(url);
    } catch (const Error& e) {
      if (e.number() == kAccessDenied) throw;
      throw Error(kHttpRedirectFailed, "The redirection failed: " + e.description());
    }
    if (r.status == 303 || ((r.status == 301 || r.status == 302) && x.method == "POST")) {
      if (x.method != "HEAD") x.method = "GET";
      x.body.reset();
      std::erase_if(x.headers, [](const auto& h) {
        return text::EqualsIgnoreCase(h.first, "Content-Type") ||
               text::EqualsIgnoreCase(h.first, "Content-Length");
      });
    }
  }
}

}  // namespace mirelda::data

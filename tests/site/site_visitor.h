// The demo site served by a real mirelda-host on loopback, and a visitor that walks it the way a
// browser does: it keeps cookies (dropping those that expire), sends forms in the site's code
// page (GBK) and reads pages back as UTF-8.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/host_process.h"
#include "host/http/http_date.h"
#include "host/http_client.h"
#include "host/objects/code_page.h"
#include "host/objects/url_encoding.h"
#include "support/temp_dir.h"

namespace mirelda::testing {

// A copy of the site's source folder; tests that change its settings work on one.
inline void CopySite(const std::filesystem::path& to) {
  std::filesystem::copy(MIRELDA_SITE_DIR, to, std::filesystem::copy_options::recursive);
}

// mirelda-host serving a site folder (the site's source folder unless another is given), with
// both component libraries registered and a data folder of its own.
class SiteHost {
 public:
  // extra: more mirelda-host options.
  explicit SiteHost(std::filesystem::path site = MIRELDA_SITE_DIR,
                    std::vector<std::string> extra = {}) {
    RegisterLibrary(work() / "registry", "libmirelda-data.so");
    process_ = std::make_unique<HostProcess>(work(), site, std::move(extra));
  }
  // The host must stop cleanly, and the sanitizer build must have found nothing in it.
  ~SiteHost() {
    int code = process_->Stop();
    std::string log = process_->Log();
    EXPECT_EQ(code, 0) << log;
    EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
    EXPECT_EQ(log.find("runtime error:"), std::string::npos) << log;
  }

  int port() const { return process_->port(); }
  std::filesystem::path work() const { return dir_.path(); }
  // The host folder of the site's data drive C:.
  std::filesystem::path drive_c() const { return work() / "var" / "c"; }
  std::filesystem::path database_file() const { return drive_c() / "mirelda" / "mirelda.mdb"; }
  std::string Log() const { return process_->Log(); }

 private:
  TempDir dir_;
  std::unique_ptr<HostProcess> process_;
};

// A page as the visitor sees it.
struct Page {
  int status = 0;
  std::string location;  // of a redirect
  std::string text;      // the body, decoded from the site's code page
  HttpReply reply;

  bool Has(const std::string& s) const { return text.find(s) != std::string::npos; }
};

// Each text must be on the page.
inline void ExpectHas(const Page& page, const std::vector<std::string>& texts) {
  for (const std::string& t : texts) EXPECT_TRUE(page.Has(t)) << t << "\n" << page.text;
}

using Form = std::vector<std::pair<std::string, std::string>>;

// One part of a multipart/form-data post; a file part has a file name.
struct Part {
  std::string name;
  std::string content;  // bytes, as the file holds them or the text field's UTF-8 text
  std::string file_name;
  bool is_file = false;
};

inline Part Field(std::string name, std::string text) {
  return {std::move(name), std::move(text), "", false};
}
inline Part File(std::string name, std::string file_name, std::string bytes) {
  return {std::move(name), std::move(bytes), std::move(file_name), true};
}

class Visitor {
 public:
  explicit Visitor(int port, std::string agent = "MireldaSiteTest/1.0 (loopback)")
      : port_(port), agent_(std::move(agent)) {}

  Page Get(const std::string& target) { return Send("GET", target, "", ""); }

  // A form posted as a browser posts it from a page in code page 936, with the session's token
  // that the last page showing one carried (unless the form names its own).
  Page Post(const std::string& target, const Form& form) {
    Form fields = form;
    bool named =
        std::any_of(form.begin(), form.end(), [](const auto& f) { return f.first == "token"; });
    if (!named && !token_.empty()) fields.emplace_back("token", token_);
    std::string body;
    for (const auto& [name, value] : fields) {
      if (!body.empty()) body += "&";
      body += host::UrlEncodeBytes(Gbk(name)) + "=" + host::UrlEncodeBytes(Gbk(value));
    }
    return Send("POST", target, "application/x-www-form-urlencoded", body);
  }

  // Posts a form from the page that shows it, as a browser does: with that page's token.
  Page PostFrom(const std::string& page, const Form& form) {
    Get(page);
    return Post(page, form);
  }
  Page LogOnAdmin(const std::string& name = "admin", const std::string& password = "Sun In May") {
    return PostFrom("/admin/logon.asp", {{"adminName", name}, {"adminPwd", password}});
  }

  Page PostMultipart(const std::string& target, const std::vector<Part>& parts) {
    const std::string boundary = "----MireldaSiteTestBoundary7d1f3a";
    std::string body;
    for (const Part& p : parts) {
      body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + Gbk(p.name) + "\"";
      if (p.is_file) {
        body += "; filename=\"" + Gbk(p.file_name) +
                "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + p.content + "\r\n";
      } else {
        body += "\r\n\r\n" + Gbk(p.content) + "\r\n";
      }
    }
    body += "--" + boundary + "--\r\n";
    return Send("POST", target, "multipart/form-data; boundary=" + boundary, body);
  }

  // A cookie's value as the page set it (decoded), or "" when the visitor holds none.
  std::string Cookie(const std::string& name) const {
    auto it = cookies_.find(name);
    if (it == cookies_.end()) return "";
    return host::DecodeFromCodePage(host::PercentDecode(it->second, true), host::kCodePageGbk);
  }
  bool HasCookie(const std::string& name) const { return cookies_.count(name) > 0; }
  // The session's form token, as the last page that showed a form carried it.
  const std::string& token() const { return token_; }
  // Headers sent with every request from now on (Origin, Referer).
  void SetHeader(const std::string& name, const std::string& value) {
    extra_headers_.emplace_back(name, value);
  }
  // Forgets the cookies that last only as long as the browser runs, as a browser restart does.
  void Restart() {
    for (const std::string& name : session_only_) cookies_.erase(name);
  }

  static std::string Gbk(const std::string& utf8) {
    return host::EncodeToCodePage(utf8, host::kCodePageGbk);
  }

 private:
  Page Send(const std::string& method, const std::string& target, const std::string& type,
            const std::string& body) {
    std::vector<std::pair<std::string, std::string>> headers = {{"User-Agent", agent_}};
    if (!type.empty()) headers.emplace_back("Content-Type", type);
    std::string cookie;
    for (const auto& [name, value] : cookies_) {
      cookie += (cookie.empty() ? "" : "; ") + name + "=" + value;
    }
    if (!cookie.empty()) headers.emplace_back("Cookie", cookie);
    headers.insert(headers.end(), extra_headers_.begin(), extra_headers_.end());
    Page page;
    page.reply = HttpRequest(port_, method, target, headers, body);
    page.status = page.reply.status;
    page.location = page.reply.Header("Location");
    page.text = host::DecodeFromCodePage(page.reply.body, host::kCodePageGbk);
    for (const std::string& set : page.reply.Headers("Set-Cookie")) Keep(set);
    const std::string mark = "name=\"token\" value=\"";
    if (size_t at = page.text.find(mark); at != std::string::npos) {
      at += mark.size();
      token_ = page.text.substr(at, page.text.find('"', at) - at);
    }
    return page;
  }

  // Keeps a cookie as a browser does: one whose expiry has passed is dropped.
  void Keep(const std::string& set_cookie) {
    std::string pair = set_cookie.substr(0, set_cookie.find(';'));
    size_t eq = pair.find('=');
    std::string name = pair.substr(0, eq);
    std::string value = eq == std::string::npos ? "" : pair.substr(eq + 1);
    size_t expires = set_cookie.find("; Expires=");
    if (expires == std::string::npos) {
      session_only_.push_back(name);
    } else {
      std::string date = set_cookie.substr(expires + 10);
      date = date.substr(0, date.find(';'));
      std::optional<int64_t> when = host::ParseHttpDate(date);
      if (when && *when <= static_cast<int64_t>(std::time(nullptr))) {
        cookies_.erase(name);
        return;
      }
    }
    cookies_[name] = value;
  }

  int port_;
  std::string agent_;
  std::map<std::string, std::string> cookies_;
  std::string token_;
  std::vector<std::pair<std::string, std::string>> extra_headers_;
  std::vector<std::string> session_only_;
};

}  // namespace mirelda::testing

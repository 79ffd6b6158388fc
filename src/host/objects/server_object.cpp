#include "host/objects/server_object.h"

#include "host/objects/code_page.h"
#include "host/objects/url_encoding.h"
#include "mirelda/error.h"
#include "mirelda/path_map.h"
#include "mirelda/text.h"

namespace mirelda::host {

HttpServerObject::HttpServerObject(std::weak_ptr<ScriptingContext> context,
                                   std::filesystem::path site_root, std::string script_name,
                                   const int32_t& code_page, int32_t script_timeout,
                                   PageExecutor* executor)
    : page_objects_(std::move(context)),
      site_root_(std::move(site_root)),
      script_name_(std::move(script_name)),
      code_page_(code_page),
      script_timeout_(script_timeout),
      executor_(executor) {}

std::shared_ptr<Dispatch> HttpServerObject::CreateObject(const std::string& prog_id) {
  return page_objects_.Create(prog_id);
}

std::string HttpServerObject::UrlPath(const std::string& path, const char* member) const {
  std::string p = path;
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  if ((p.size() >= 2 && p[1] == ':') || p.rfind("//", 0) == 0) {
    throw Error(errc::kInvalidProcedureCall,
                std::string(member) + " takes a path of the site, not \"" + path + "\"");
  }
  std::string url =
      p.rfind('/', 0) == 0 ? p : script_name_.substr(0, script_name_.rfind('/') + 1) + p;
  std::string out;
  std::vector<std::string> kept;
  for (const std::string& part : text::Split(url, "/")) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (kept.empty()) {
        throw Error(errc::kInvalidProcedureCall,
                    std::string(member) + ": \"" + path + "\" leads out of the site");
      }
      kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  for (const std::string& part : kept) out += "/" + part;
  return out.empty() ? "/" : out;
}

std::string HttpServerObject::MapPath(const std::string& path) {
  std::filesystem::path host = site_root_;
  for (const std::string& part : text::Split(UrlPath(path, "Server.MapPath"), "/")) {
    if (!part.empty()) host /= part;
  }
  std::string out = paths::ToPagePath(host);
  while (out.size() > 3 && (out.back() == '\\' || out.back() == '/')) out.pop_back();
  return out;
}

void HttpServerObject::Execute(const std::string& path) {
  if (!executor_) ServerObject::Execute(path);
  if (path.find('?') != std::string::npos) {
    throw Error(errc::kInvalidProcedureCall,
                "Server.Execute takes a page without a query string, not \"" + path + "\"");
  }
  executor_->ExecutePage(UrlPath(path, "Server.Execute"));
}

void HttpServerObject::Transfer(const std::string& path) {
  Execute(path);
  throw EndOfPage{};
}

std::shared_ptr<AspError> HttpServerObject::GetLastError() {
  return std::make_shared<AspError>(executor_ ? executor_->LastError() : AspErrorInfo{});
}

std::string HttpServerObject::URLEncode(const std::string& text) {
  return UrlEncodeBytes(EncodeToCodePage(text, code_page_, Unmappable::kQuestionMark));
}

}  // namespace mirelda::host

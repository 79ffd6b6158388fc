#include "host/objects/server_object.h"

#include "host/objects/code_page.h"
#include "host/objects/url_encoding.h"
#include "mirelda/error.h"
#include "mirelda/path_map.h"
#include "mirelda/text.h"

namespace mirelda::host {

HttpServerObject::HttpServerObject(std::weak_ptr<ScriptingContext> context,
                                   std::filesystem::path site_root, std::string script_name,
                                   const int32_t& code_page, int32_t script_timeout)
    : page_objects_(std::move(context)),
      site_root_(std::move(site_root)),
      script_name_(std::move(script_name)),
      code_page_(code_page),
      script_timeout_(script_timeout) {}

std::shared_ptr<Dispatch> HttpServerObject::CreateObject(const std::string& prog_id) {
  return page_objects_.Create(prog_id);
}

std::string HttpServerObject::MapPath(const std::string& path) {
  std::string p = path;
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  if ((p.size() >= 2 && p[1] == ':') || p.rfind("//", 0) == 0) {
    throw Error(errc::kInvalidProcedureCall,
                "Server.MapPath takes a path of the site, not \"" + path + "\"");
  }
  std::string url =
      p.rfind('/', 0) == 0 ? p : script_name_.substr(0, script_name_.rfind('/') + 1) + p;
  std::vector<std::string> kept;
  for (const std::string& part : text::Split(url, "/")) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (kept.empty()) {
        throw Error(errc::kInvalidProcedureCall,
                    "Server.MapPath: \"" + path + "\" leads out of the site");
      }
      kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  std::filesystem::path host = site_root_;
  for (const std::string& part : kept) host /= part;
  std::string out = paths::ToPagePath(host);
  while (out.size() > 3 && (out.back() == '\\' || out.back() == '/')) out.pop_back();
  return out;
}

std::string HttpServerObject::URLEncode(const std::string& text) {
  return UrlEncodeBytes(EncodeToCodePage(text, code_page_, Unmappable::kQuestionMark));
}

}  // namespace mirelda::host

#include "host/http/error_pages.h"

#include <fstream>
#include <iterator>

#include "host/objects/code_page.h"
#include "mirelda/error.h"

namespace mirelda::host {

ErrorPages::ErrorPages(const Site& site, std::vector<std::pair<int, std::string>> pages)
    : site_(&site), pages_(std::move(pages)) {
  for (const auto& [status, path] : pages_) {
    SiteTarget::Kind kind = Find(status).kind;
    if (kind != SiteTarget::Kind::kPage && kind != SiteTarget::Kind::kStaticFile) {
      throw Error(errc::kInvalidProcedureCall, "--error-page " + std::to_string(status) + "=" +
                                                   path + ": the site has no file or page " + path);
    }
  }
}

SiteTarget ErrorPages::Find(int status) const {
  for (const auto& [code, path] : pages_) {
    if (code == status) return site_->ResolveDecoded(path);
  }
  return {};
}

std::optional<Reply> ErrorPages::FileReply(const SiteTarget& file, int status) const {
  std::ifstream in(file.file, std::ios::binary);
  if (!in) return std::nullopt;
  Reply reply;
  reply.status = status;
  reply.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  reply.AddHeader("Content-Type", site_->ContentType(file.file));
  return reply;
}

Reply PlainErrorReply(int32_t code_page) {
  std::string html =
      code_page == 936
          ? "<!DOCTYPE html>\n<html><head><title>500 服务器错误</title></head><body>\n"
            "<h1>服务器错误</h1>\n<p>网页出错，暂时无法显示。请稍后再试。</p>\n"
            "<p>500 Internal Server Error: the page could not be shown.</p>\n</body></html>\n"
          : "<!DOCTYPE html>\n<html><head><title>500 Internal Server Error</title></head>"
            "<body>\n<h1>Internal Server Error</h1>\n"
            "<p>The page could not be shown. Please try again later.</p>\n</body></html>\n";
  Reply reply;
  reply.status = 500;
  reply.AddHeader("Content-Type", "text/html; charset=" + CharsetName(code_page));
  reply.body = EncodeToCodePage(html, code_page);
  return reply;
}

}  // namespace mirelda::host

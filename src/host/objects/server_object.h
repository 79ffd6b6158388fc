// The Server object of the HTTP host: creation of components by ProgID (with OnStartPage and
// OnEndPage), page paths to physical paths in drive form, and the encoders. Belongs to the page's
// thread.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "mirelda/host.h"

namespace mirelda::host {

// Runs the pages that a page runs with Server.Execute and Server.Transfer, for one request.
class PageExecutor {
 public:
  virtual ~PageExecutor() = default;
  // Runs the page at url_path ("/app/other.asp") of the site, nested in the running one. Throws
  // EndOfPage when that page ends the response, and Error when it fails.
  virtual void ExecutePage(const std::string& url_path) = 0;
  virtual AspErrorInfo LastError() = 0;
};

class HttpServerObject final : public ServerObject {
 public:
  // site_root is the site's host folder, script_name the running page's URL path, code_page the
  // page's current code page.
  HttpServerObject(std::weak_ptr<ScriptingContext> context, std::filesystem::path site_root,
                   std::string script_name, const int32_t& code_page, int32_t script_timeout,
                   PageExecutor* executor);

  std::shared_ptr<Dispatch> CreateObject(const std::string& prog_id) override;
  // "/x" from the site's root, anything else from the running page's folder; the result is in
  // drive form. A path that leaves the site, or a drive or network path, is Invalid procedure
  // call (5).
  std::string MapPath(const std::string& path) override;
  std::string URLEncode(const std::string& text) override;
  int32_t ScriptTimeout() override { return script_timeout_; }
  void Execute(const std::string& path) override;
  void Transfer(const std::string& path) override;
  std::shared_ptr<AspError> GetLastError() override;

  // Calls OnEndPage on the components the page made.
  void EndPage() { page_objects_.EndPage(); }

 private:
  // The URL path that a page path names: "/x" from the site's root, anything else from the
  // running page's folder. A path that leaves the site, or a drive or network path, is Invalid
  // procedure call (5); what names it is the member that was called.
  std::string UrlPath(const std::string& path, const char* member) const;

  PageObjects page_objects_;
  std::filesystem::path site_root_;
  std::string script_name_;
  const int32_t& code_page_;
  int32_t script_timeout_;
  PageExecutor* executor_;  // null when this host runs no other pages
};

}  // namespace mirelda::host

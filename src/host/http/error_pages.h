// What a visitor sees when the host answers 404 or 500 itself: the site's own page for that
// status when --error-page names one, else the host's plain page. The plain 500 page says only
// that the page failed, in the site's language: what failed and where goes to the error log, as
// a visitor must not read the site's source, file names or error texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/http/reply.h"
#include "host/http/site.h"

namespace mirelda::host {

class ErrorPages {
 public:
  ErrorPages() = default;
  // pages maps statuses to URL paths of the site. Throws mirelda::Error (number 5) when one names
  // no file or page of the site.
  ErrorPages(const Site& site, std::vector<std::pair<int, std::string>> pages);

  // The site's page for status as it resolves now; kNotFound when there is none.
  SiteTarget Find(int status) const;
  // The reply of a static error page with that status, read now; none when it cannot be read.
  std::optional<Reply> FileReply(const SiteTarget& file, int status) const;

 private:
  const Site* site_ = nullptr;
  std::vector<std::pair<int, std::string>> pages_;
};

// The host's own 500 page for a failed page: Chinese with an English line for code page 936,
// English otherwise, and nothing about the failure.
Reply PlainErrorReply(int32_t code_page);

}  // namespace mirelda::host

// Compiled pages by file, compiled on first use and again when the page or one of its includes
// changes. Safe to use from any thread.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "host/page_compiler.h"

namespace mirelda::host {

class PageCache {
 public:
  PageCache(std::filesystem::path site_root, int32_t fallback_code_page)
      : site_root_(std::move(site_root)), fallback_code_page_(fallback_code_page) {}

  // The current compilation of the page at url_path. Raises PageCompileError.
  std::shared_ptr<const CompiledPage> Get(const std::string& url_path);

 private:
  std::filesystem::path site_root_;
  int32_t fallback_code_page_;
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const CompiledPage>> pages_;
};

}  // namespace mirelda::host

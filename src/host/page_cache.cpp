#include "host/page_cache.h"

namespace mirelda::host {

std::shared_ptr<const CompiledPage> PageCache::Get(const std::string& url_path) {
  std::shared_ptr<const CompiledPage> cached;
  {
    std::lock_guard lock(mutex_);
    auto it = pages_.find(url_path);
    if (it != pages_.end()) cached = it->second;
  }
  // The files are checked outside the lock; two threads may then compile the same change, and
  // either result is right.
  if (cached && cached->IsCurrent()) return cached;
  std::shared_ptr<const CompiledPage> fresh =
      CompilePage(site_root_, url_path, fallback_code_page_);
  std::lock_guard lock(mutex_);
  pages_[url_path] = fresh;
  return fresh;
}

}  // namespace mirelda::host

#include "host/page/page_cache.h"

namespace mirelda::host {

PageCache::PageCache(std::filesystem::path site_root, const EngineRegistry& engines,
                     std::string default_language, int32_t fallback_code_page)
    : site_root_(std::move(site_root)), engines_(engines) {
  parse_options_.default_language = std::move(default_language);
  parse_options_.fallback_code_page = fallback_code_page;
  parse_options_.canonical_language = [this](std::string_view name) {
    return engines_.Canonical(name);
  };
}

std::shared_ptr<const CompiledPage> PageCache::Get(const std::string& url_path) {
  std::shared_ptr<const CompiledPage> cached;
  {
    std::lock_guard lock(mutex_);
    auto it = pages_.find(url_path);
    if (it != pages_.end()) cached = it->second;
  }
  // The files are checked outside the lock; two threads may then compile the same change, and
  // either result is right.
  if (cached && cached->source->IsCurrent()) return cached;
  std::shared_ptr<const CompiledPage> fresh = Compile(url_path);
  std::lock_guard lock(mutex_);
  pages_[url_path] = fresh;
  return fresh;
}

std::shared_ptr<const CompiledPage> PageCache::Compile(const std::string& url_path) const {
  auto page = std::make_shared<CompiledPage>();
  page->source = ParsePage(site_root_, url_path, parse_options_);
  const PageSource& source = *page->source;
  page->engine = engines_.Find(source.directives.language);
  for (const Segment& segment : source.segments) {
    if (segment.kind != SegmentKind::kLiteral && segment.language != source.directives.language) {
      throw PageError(
          Error(errc::kUnspecified,
                "This block is " + segment.language + " in a " + source.directives.language +
                    " page; a page runs in one script language here",
                "Active Server Pages"),
          source.Locate(segment));
    }
  }
  page->script = page->engine->Compile(source);
  return page;
}

}  // namespace mirelda::host

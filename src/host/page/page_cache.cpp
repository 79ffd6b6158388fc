#include "host/page/page_cache.h"

#include <sys/stat.h>

#include <algorithm>

#include "mirelda/text.h"

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

namespace {

// How long a page is used as it is before its files are looked at again.
constexpr std::chrono::seconds kFreshFor{1};

}  // namespace

bool PageCache::FreshEnough(Entry& entry, std::chrono::steady_clock::time_point now) {
  if (now - entry.checked < kFreshFor) return true;
  // This caller looks; the others use the page as it is meanwhile.
  entry.checked = now;
  return false;
}

std::shared_ptr<const CompiledPage> PageCache::Get(const std::string& url_path) {
  auto now = std::chrono::steady_clock::now();
  std::shared_ptr<const CompiledPage> cached;
  {
    MutexLock lock(mutex_);
    auto it = pages_.find(url_path);
    if (it != pages_.end()) {
      if (FreshEnough(it->second, now)) return it->second.page;
      cached = it->second.page;
    }
  }
  // The files are looked at outside the lock.
  if (cached && cached->source->IsCurrent()) return cached;
  std::shared_ptr<const CompiledPage> fresh;
  try {
    fresh = Compile(url_path, false);
  } catch (...) {
    // A page whose change broke it is not served as it was before: every request sees the error
    // until the page is mended.
    MutexLock lock(mutex_);
    pages_.erase(url_path);
    throw;
  }
  MutexLock lock(mutex_);
  pages_[url_path] = Entry{fresh, now};
  return fresh;
}

std::shared_ptr<const CompiledPage> PageCache::GetGlobal() {
  auto now = std::chrono::steady_clock::now();
  std::shared_ptr<const CompiledPage> cached;
  {
    MutexLock lock(mutex_);
    if (global_) {
      if (FreshEnough(*global_, now)) return global_->page;
      cached = global_->page;
    }
  }
  if (cached && cached->source->IsCurrent()) return cached;
  std::string url_path = GlobalUrlPath();
  std::shared_ptr<const CompiledPage> fresh;
  try {
    if (!url_path.empty()) fresh = Compile(url_path, true);
  } catch (...) {
    MutexLock lock(mutex_);
    global_.reset();
    throw;
  }
  MutexLock lock(mutex_);
  global_ = Entry{fresh, now};
  return fresh;
}

std::string PageCache::GlobalUrlPath() const {
  for (const char* name : {"global.asa", "Global.asa", "GLOBAL.ASA"}) {
    struct stat st {};
    if (::stat((site_root_ / name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      return std::string("/") + name;
    }
  }
  return {};
}

std::shared_ptr<const CompiledPage> PageCache::Compile(const std::string& url_path,
                                                       bool global) const {
  std::shared_ptr<CompiledPage> page = Read(url_path, global);
  const PageSource& source = *page->source;
  std::vector<std::string> others = OtherLanguages(source);
  if (others.empty()) {
    page->script = page->engine->Compile(source);
    return page;
  }
  page->script = page->engine->Compile(LanguagePart(source, source.directives.language));
  for (const std::string& language : others) {
    const ScriptEngine* engine = engines_.Find(language);
    page->secondaries.push_back({engine, engine->CompileSecondary(LanguagePart(source, language))});
  }
  return page;
}

PageSource LanguagePart(const PageSource& source, const std::string& language) {
  bool primary = language == source.directives.language;
  PageSource part = source;
  std::erase_if(part.segments, [&](const Segment& segment) {
    return segment.kind == SegmentKind::kLiteral ? !primary : segment.language != language;
  });
  part.reached_by_other_languages = primary;
  return part;
}

std::vector<std::string> OtherLanguages(const PageSource& source) {
  std::vector<std::string> others;
  for (const Segment& segment : source.segments) {
    if (segment.kind != SegmentKind::kLiteral && segment.language != source.directives.language &&
        std::find(others.begin(), others.end(), segment.language) == others.end()) {
      // The parser has refused languages that no engine runs.
      others.push_back(segment.language);
    }
  }
  return others;
}

std::shared_ptr<CompiledPage> PageCache::Read(const std::string& url_path, bool global) const {
  auto page = std::make_shared<CompiledPage>();
  std::shared_ptr<const PageSource> parsed = ParsePage(site_root_, url_path, parse_options_);
  if (global) {
    auto code = std::make_shared<PageSource>(*parsed);
    std::erase_if(code->segments,
                  [](const Segment& segment) { return segment.kind == SegmentKind::kLiteral; });
    // global.asa is mostly one "<script runat=server>" block: its language is the file's.
    if (!code->segments.empty() &&
        std::all_of(code->segments.begin(), code->segments.end(), [&](const Segment& segment) {
          return segment.language == code->segments.front().language;
        })) {
      code->directives.language = code->segments.front().language;
    }
    parsed = std::move(code);
  }
  page->source = std::move(parsed);
  const PageSource& source = *page->source;
  if (global) {
    // A mention in a comment only makes a session early; it never runs anything.
    std::string code;
    for (const Segment& segment : source.segments) code += text::ToLowerAscii(segment.text) + '\n';
    page->has_application_start = code.find("application_onstart") != std::string::npos;
    page->has_session_start = code.find("session_onstart") != std::string::npos;
    page->has_session_end = code.find("session_onend") != std::string::npos;
  }
  page->engine = engines_.Find(source.directives.language);
  return page;
}

}  // namespace mirelda::host

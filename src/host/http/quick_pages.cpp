#include "host/http/quick_pages.h"

#include <algorithm>

namespace mirelda::host {

bool QuickPages::RunsInPlace(const std::string& url_path) {
  MutexLock lock(mutex_);
  auto found = pages_.find(url_path);
  return found != pages_.end() && found->second.streak >= Asked(found->second);
}

void QuickPages::Record(const std::string& url_path, Duration elapsed, bool ran_in_place) {
  MutexLock lock(mutex_);
  auto found = pages_.find(url_path);
  if (found == pages_.end()) {
    if (pages_.size() >= limits_.most_pages) return;
    found = pages_.emplace(url_path, Page{}).first;
  }
  Page& page = found->second;
  if (elapsed <= limits_.quick) {
    page.streak = std::min(page.streak + 1, Asked(page));
    return;
  }
  page.streak = 0;
  if (ran_in_place && elapsed > limits_.held_up) {
    page.strikes = std::min(page.strikes + 1, limits_.most_strikes);
  }
}

}  // namespace mirelda::host

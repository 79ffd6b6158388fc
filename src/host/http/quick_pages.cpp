#include "host/http/quick_pages.h"

#include <sys/resource.h>

#include <algorithm>

namespace mirelda::host {
namespace {

long VoluntarySwitches() {
  struct rusage usage {};
  ::getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

}  // namespace

QuickPages::Timer::Timer(bool in_place)
    : started_(std::chrono::steady_clock::now()),
      in_place_(in_place),
      waits_(in_place ? 0 : VoluntarySwitches()) {}

QuickPages::Run QuickPages::Timer::Stop() const {
  return {.elapsed = std::chrono::steady_clock::now() - started_,
          .waited = !in_place_ && VoluntarySwitches() != waits_,
          .in_place = in_place_};
}

bool QuickPages::RunsInPlace(const std::string& url_path) {
  MutexLock lock(mutex_);
  auto found = pages_.find(url_path);
  return found != pages_.end() && found->second.streak >= Asked(found->second);
}

void QuickPages::Record(const std::string& url_path, const Run& run) {
  MutexLock lock(mutex_);
  auto found = pages_.find(url_path);
  if (found == pages_.end()) {
    if (pages_.size() >= limits_.most_pages) return;
    found = pages_.emplace(url_path, Page{}).first;
  }
  Page& page = found->second;
  if (run.elapsed <= limits_.quick && !run.waited) {
    page.streak = std::min(page.streak + 1, Asked(page));
    return;
  }
  page.streak = 0;
  if (run.in_place && run.elapsed > limits_.held_up) {
    page.strikes = std::min(page.strikes + 1, limits_.most_strikes);
  }
}

}  // namespace mirelda::host

#include "host/http/in_flight.h"

namespace mirelda::host {

void InFlight::BeginRequest() {
  MutexLock lock(mutex_);
  ++requests_;
}

bool InFlight::EndRequest() {
  bool last;
  {
    MutexLock lock(mutex_);
    last = --requests_ == 0;
  }
  if (last) changed_.notify_all();
  return last;
}

bool InFlight::BeginPage() {
  MutexLock lock(mutex_);
  if (pages_closed_) return false;
  ++pages_;
  return true;
}

void InFlight::ClosePages() {
  MutexLock lock(mutex_);
  pages_closed_ = true;
}

void InFlight::EndPage() {
  bool last;
  {
    MutexLock lock(mutex_);
    last = --pages_ == 0;
  }
  if (last) changed_.notify_all();
}

bool InFlight::WaitForNone(Deadline deadline) {
  MutexLock lock(mutex_);
  while (requests_ > 0 || pages_ > 0) {
    if (!mutex_.WaitUntil(changed_, deadline)) return requests_ == 0 && pages_ == 0;
  }
  return true;
}

bool InFlight::WaitForNoPages(Deadline deadline) {
  MutexLock lock(mutex_);
  while (pages_ > 0) {
    if (!mutex_.WaitUntil(changed_, deadline)) return pages_ == 0;
  }
  return true;
}

}  // namespace mirelda::host

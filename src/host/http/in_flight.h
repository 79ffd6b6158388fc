// The requests a server is answering and the pages it has handed to its workers, counted so
// that shutdown can wait for them to end without polling.
#pragma once

#include <chrono>
#include <condition_variable>

#include "host/state/guarded.h"

namespace mirelda::host {

class InFlight {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  void BeginRequest();
  // True when it was the last request in flight.
  bool EndRequest();
  // False once pages are closed: a page must not start then.
  bool BeginPage();
  void EndPage();
  // No page begins from now on, so that one that ends cannot be followed by another.
  void ClosePages();

  // Waits until no request is in flight and no page runs, or until deadline. True when none is.
  bool WaitForNone(Deadline deadline);
  // Waits until no page runs, or until deadline. True when none does.
  bool WaitForNoPages(Deadline deadline);

 private:
  Mutex mutex_;
  std::condition_variable changed_;
  long requests_ MIRELDA_GUARDED_BY(mutex_) = 0;
  long pages_ MIRELDA_GUARDED_BY(mutex_) = 0;
  bool pages_closed_ MIRELDA_GUARDED_BY(mutex_) = false;
};

}  // namespace mirelda::host

// Which pages a connection thread runs itself instead of handing them to a page worker.
//
// Handing a page over costs more than a quick page's whole run: the worker's wake and wait, the
// connection's suspension and resumption, and the wake of the connection thread that sends the
// reply (a one-line page: about 48 us of processor time handed over, 30 us run in place). A page
// that has run quickly, without waiting, many times in a row runs in place; any run that is not
// quick sends it back
// to the workers until it has been quick that many times again. A run is timed by the clock, so a
// quick page that the scheduler set aside for a moment is also sent back, but that costs only the
// few quick runs it takes to come back. A page that held up its connection thread for longer
// than the scheduler ever does must then prove itself over twice as many runs as before, up to a
// limit: a page that is quick for most requests and slow for some holds up a connection thread
// rarely, and ever more rarely.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "host/state/guarded.h"

namespace mirelda::host {

class QuickPages {
 public:
  using Duration = std::chrono::steady_clock::duration;
  struct Limits {
    Duration quick = std::chrono::milliseconds(1);  // a run that takes longer is not quick
    // A run in place that takes longer held up its thread's other connections.
    Duration held_up = std::chrono::milliseconds(20);
    uint32_t first_streak = 16;  // quick runs in a row before a page first runs in place
    uint32_t most_strikes = 10;  // the streak asked for doubles at most this many times
    size_t most_pages = 4096;    // pages past this many are always handed over
  };

  // One run of a page, as seen from its thread.
  struct Run {
    Duration elapsed{};
    // It gave up the processor of its own accord (for the network, a lock, a timer, a server it
    // asked). A page that waits may wait on the very connection thread it would hold, as a page
    // that fetches a page of its own site over a kept connection does, so only pages that never
    // wait on the workers earn running in place.
    bool waited = false;
    bool in_place = false;
  };
  // Times a run on the thread that makes it: from construction to Stop. On a worker it also
  // reads the thread's voluntary context switches (two system calls, about 2.5 us). In place it
  // reads only the clock: the page proved on the workers that it does not wait, and a wait long
  // enough to hold up the thread's other connections shows on the clock and sends it back.
  class Timer {
   public:
    explicit Timer(bool in_place);
    Run Stop() const;

   private:
    std::chrono::steady_clock::time_point started_;
    bool in_place_;
    long waits_ = 0;  // the thread's voluntary context switches so far, on a worker
  };

  QuickPages() = default;
  explicit QuickPages(Limits limits) : limits_(limits) {}

  // True when the page at url_path has earned running in place.
  bool RunsInPlace(const std::string& url_path);
  void Record(const std::string& url_path, const Run& run);

 private:
  struct Page {
    uint32_t streak = 0;   // quick runs in a row, counted up to what is asked
    uint32_t strikes = 0;  // runs in place so far that held up their thread
  };
  uint32_t Asked(const Page& page) const { return limits_.first_streak << page.strikes; }

  const Limits limits_{};
  Mutex mutex_;
  std::unordered_map<std::string, Page> pages_ MIRELDA_GUARDED_BY(mutex_);
};

}  // namespace mirelda::host

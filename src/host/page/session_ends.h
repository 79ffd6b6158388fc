// The thread that runs global.asa's Session_OnEnd. A session ends inside a store call of some
// page's thread (Abandon, a sweep, a session pushed out); its end procedure runs here instead, so
// that no page waits for another session's end and the store's lock is never held by a script.
// The thread also sweeps the store now and then, so that sessions whose visitors never come back
// end on time. Sessions still waiting when the host stops do not run their end procedure.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "host/state/session_store.h"

namespace mirelda::host {

class SessionEnds {
 public:
  using EndSession = std::function<void(const std::string& id, SessionState state)>;

  // end runs on the thread for each session pushed; store is swept every sweep_every.
  SessionEnds(SessionStore& store, EndSession end, std::chrono::seconds sweep_every);
  ~SessionEnds();
  SessionEnds(const SessionEnds&) = delete;
  SessionEnds& operator=(const SessionEnds&) = delete;

  // From any thread; ignored once stopped.
  void Push(const std::string& id, SessionState state);
  // Waits for the end procedure that runs now, if any, and ends the thread. Runs once.
  void Stop();

 private:
  void Work();

  SessionStore& store_;
  EndSession end_;
  std::chrono::seconds sweep_every_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<std::string, SessionState>> queue_;
  bool stopping_ = false;
  std::thread thread_;  // last: starts once everything above is ready
};

}  // namespace mirelda::host

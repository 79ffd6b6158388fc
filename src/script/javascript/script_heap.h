// The state of one script engine's heap that its native functions share: the page that runs, the
// interrupt flags, the components the page's scripts hold, and the memory the heap uses. One per
// heap; belongs to the thread that runs the heap.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "duktape.h"
#include "host/page/script_engine.h"
#include "mirelda/host.h"
#include "script/javascript/page_script.h"
#include "script/javascript/script_objects.h"

namespace mirelda::script::javascript {

struct ScriptHeap {
  duk_context* ctx = nullptr;

  // The page that runs now.
  const PageScript* page = nullptr;
  ResponseObject* response = nullptr;
  bool running = false;
  bool end_requested = false;  // Response.End or Redirect: stop without an error
  bool timed_out = false;
  std::chrono::steady_clock::time_point deadline;
  // The objects the page reaches by name (global.asa's object tags), while it runs.
  const std::vector<host::NamedObject>* named = nullptr;
  // The names of the page's other languages that the run reaches as globals (language_bridge.h).
  std::vector<std::pair<host::PageGlobals*, std::string>> peer_names;

  // Dispatch objects that script values stand for, by the number their wrapper carries. Cleared
  // when the page ends, so no component outlives its page because a wrapper awaits collection.
  std::unordered_map<uint64_t, std::shared_ptr<Dispatch>> objects;
  // The page objects (Request, Response, ...), which hold the numbers 1 to their count: set anew
  // for every page, so they sit in place rather than in the map.
  std::array<std::shared_ptr<Dispatch>, kIntrinsicCount> page_objects;
  uint64_t next_object = 1;

  // Bytes the heap holds, and the most it may hold.
  size_t allocated = 0;
  size_t memory_limit = 0;

  // The heap state of a context.
  static ScriptHeap& Of(duk_context* ctx);
};

}  // namespace mirelda::script::javascript

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

  // What a wrapper stands for: an object, a member of one (obj.Member), or its Contents.
  enum class WrapperKind : uint8_t { kObject, kMember, kContents };
  struct Wrapped {
    std::shared_ptr<Dispatch> object;
    WrapperKind kind = WrapperKind::kObject;
    std::string member;  // of a member's wrapper
    // An object's: whether its target keeps any member wrappers yet (so a first read of a
    // member looks for none).
    bool keeps_members = false;
  };
  // What script values stand for, by the number their wrapper carries. Cleared when the page
  // ends, so no component outlives its page because a wrapper awaits collection.
  std::unordered_map<uint64_t, Wrapped> objects;
  // The number of each wrapper, by its target's heap pointer: the page objects' wrappers and
  // their members' for the heap's life, the others until the page ends (as objects). Keeping it
  // here rather than on the target spares every wrapper a property and every use a lookup of it.
  std::unordered_map<const void*, uint64_t> lasting_targets;
  std::unordered_map<const void*, uint64_t> page_targets;
  // The page objects (Request, Response, ...), which hold the numbers 1 to their count: set anew
  // for every page, so they sit in place rather than in the map.
  std::array<std::shared_ptr<Dispatch>, kIntrinsicCount> page_objects;
  uint64_t next_object = 1;
  // Members of the page objects (Response.Write) have one wrapper for the heap's life, which
  // stands for the member of whichever page runs: by its number, the page object's place and
  // the member; and by the page object's place and the name read, the wrapper itself.
  std::unordered_map<uint64_t, std::pair<size_t, std::string>> intrinsic_members;
  std::array<std::unordered_map<std::string, void*>, kIntrinsicCount> intrinsic_member_wrappers;
  // Engine objects that every wrapper uses, reachable from the stash for the heap's life: the
  // proxy handlers, and the prototypes whose finalizer lets go of a wrapper's object (for
  // callable targets and for plain ones).
  void* object_handler = nullptr;
  void* member_handler = nullptr;
  void* contents_handler = nullptr;
  void* callable_base = nullptr;
  void* plain_base = nullptr;
  // The natives the page function is called with, kept in the stash for the heap's life.
  void* literal_function = nullptr;
  void* write_function = nullptr;
  void* scope_function = nullptr;
  void* end_function = nullptr;
  // The page's code has ended and the wrappers that die with its function are not finalized one
  // by one (HoldFinalizers).
  bool finalizers_held = false;

  // Bytes the heap holds, and the most it may hold.
  size_t allocated = 0;
  size_t memory_limit = 0;

  // The heap state of a context.
  static ScriptHeap& Of(duk_context* ctx);
};

}  // namespace mirelda::script::javascript

#include "script/javascript/language_bridge.h"

#include <optional>

#include "mirelda/late_binding.h"
#include "mirelda/text.h"
#include "script/javascript/script_interrupt.h"
#include "script/javascript/script_objects.h"
#include "script/javascript/script_values.h"
#include "script/javascript/thrown_value.h"

namespace mirelda::script::javascript {
namespace {

constexpr const char kScriptErrorSource[] = "Microsoft JScript runtime error";

// A call into the other language that ran out of time stops this script too, past every catch.
template <class Body>
auto Crossing(duk_context* ctx, Body&& body) {
  try {
    return body();
  } catch (const host::TimeLimitReached&) {
    ScriptHeap::Of(ctx).timed_out = true;
    InterruptScriptNow(ctx);
    throw Error(errc::kUnspecified, "The page ran longer than its time limit");
  }
}

std::pair<host::PageGlobals*, std::string>* PeerName(duk_context* ctx) {
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  auto index = static_cast<size_t>(duk_get_current_magic(ctx));
  return index < heap.peer_names.size() && heap.peer_names[index].first ? &heap.peer_names[index]
                                                                        : nullptr;
}

duk_ret_t CallPeer(duk_context* ctx) {
  return Guarded(ctx, [&] {
    auto* peer = PeerName(ctx);
    if (!peer) return 0;
    std::vector<Variant> args;
    for (duk_idx_t i = 0, count = duk_get_top(ctx); i < count; ++i) {
      args.push_back(ToVariant(ctx, i, Undefined::kMissing));
    }
    Variant result = Crossing(ctx, [&] { return peer->first->Call(peer->second, args); });
    PushVariant(ctx, result);
    return 1;
  });
}

duk_ret_t GetPeer(duk_context* ctx) {
  return Guarded(ctx, [&] {
    auto* peer = PeerName(ctx);
    if (!peer) return 0;
    PushVariant(ctx, Crossing(ctx, [&] { return peer->first->Get(peer->second); }));
    return 1;
  });
}

duk_ret_t PutPeer(duk_context* ctx) {
  return Guarded(ctx, [&] {
    auto* peer = PeerName(ctx);
    if (!peer) return 0;
    Variant value = ToVariant(ctx, 0, Undefined::kEmpty);
    Crossing(ctx, [&] { peer->first->Put(peer->second, value); });
    return 0;
  });
}

}  // namespace

void DefinePeerGlobals(duk_context* ctx, const std::vector<host::PageGlobals*>& peers) {
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  heap.peer_names.clear();
  duk_push_global_object(ctx);
  for (host::PageGlobals* peer : peers) {
    for (auto& [name, kind] : peer->Names()) {
      // A name the global object has (a built-in, a named object) keeps its meaning; magic
      // numbers are 16 bits.
      if (heap.peer_names.size() >= 0x7fff ||
          duk_has_prop_lstring(ctx, -1, name.data(), name.size())) {
        continue;
      }
      auto magic = static_cast<duk_int_t>(heap.peer_names.size());
      heap.peer_names.emplace_back(peer, name);
      duk_push_lstring(ctx, name.data(), name.size());
      if (kind == host::PageGlobals::Kind::kFunction) {
        duk_push_c_function(ctx, CallPeer, DUK_VARARGS);
        duk_set_magic(ctx, -1, magic);
        duk_def_prop(ctx, -3,
                     DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE |
                         DUK_DEFPROP_SET_CONFIGURABLE | DUK_DEFPROP_SET_ENUMERABLE);
      } else {
        duk_push_c_function(ctx, GetPeer, 0);
        duk_set_magic(ctx, -1, magic);
        duk_push_c_function(ctx, PutPeer, 1);
        duk_set_magic(ctx, -1, magic);
        duk_def_prop(ctx, -4,
                     DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_HAVE_SETTER |
                         DUK_DEFPROP_SET_CONFIGURABLE | DUK_DEFPROP_SET_ENUMERABLE);
      }
    }
  }
  duk_pop(ctx);
}

ScriptGlobals::ScriptGlobals(ScriptHeap& heap, const std::vector<std::string>& names, bool scope)
    : heap_(heap), scope_(scope) {
  for (const std::string& name : names) names_.emplace(text::ToLowerAscii(name), name);
}

void ScriptGlobals::PushValue(duk_context* ctx, const std::string& spelling) {
  if (!scope_) {
    duk_get_global_lstring(ctx, spelling.data(), spelling.size());
    return;
  }
  duk_push_global_stash(ctx);
  duk_get_prop_literal(ctx, -1, kScopeGetKey);
  duk_remove(ctx, -2);
  if (!duk_is_function(ctx, -1)) {
    // The page function has not started yet: its names are not there.
    duk_pop(ctx);
    throw Error(errc::kVariableUndefined, {}, kScriptErrorSource);
  }
  duk_push_lstring(ctx, spelling.data(), spelling.size());
  duk_call(ctx, 1);
}

void ScriptGlobals::StoreValue(duk_context* ctx, const std::string& spelling) {
  if (!scope_) {
    duk_put_global_lstring(ctx, spelling.data(), spelling.size());
    return;
  }
  duk_push_global_stash(ctx);
  duk_get_prop_literal(ctx, -1, kScopeSetKey);
  duk_remove(ctx, -2);
  if (!duk_is_function(ctx, -1)) {
    duk_pop_2(ctx);
    throw Error(errc::kVariableUndefined, {}, kScriptErrorSource);
  }
  duk_push_lstring(ctx, spelling.data(), spelling.size());
  duk_dup(ctx, -3);
  duk_call(ctx, 2);
  duk_pop_2(ctx);
}

template <class Body>
void ScriptGlobals::Protected(Body&& body) {
  struct Work {
    Body* body;
    std::optional<Error> error;
  } work{&body, std::nullopt};
  duk_context* ctx = heap_.ctx;
  duk_idx_t top = duk_get_top(ctx);
  duk_int_t rc = duk_safe_call(
      ctx,
      [](duk_context* c, void* udata) -> duk_ret_t {
        auto* w = static_cast<Work*>(udata);
        try {
          (*w->body)(c);
        } catch (const Error& e) {
          w->error = e;
        }
        return 0;
      },
      &work, 0, 1);
  if (rc != DUK_EXEC_SUCCESS) {
    if (heap_.end_requested) {
      duk_set_top(ctx, top);
      throw EndOfPage{};
    }
    if (heap_.timed_out) {
      duk_set_top(ctx, top);
      throw host::TimeLimitReached{};
    }
    ThrownValue thrown = TakeThrownValue(ctx);
    duk_set_top(ctx, top);
    throw Error(thrown.has_number ? thrown.number : errc::kUnspecified, thrown.description,
                thrown.source.empty() ? kScriptErrorSource : thrown.source);
  }
  duk_set_top(ctx, top);
  if (work.error) throw *work.error;
}

const std::string& ScriptGlobals::Spelling(std::string_view name) const {
  auto it = names_.find(text::ToLowerAscii(name));
  if (it == names_.end()) throw Error(errc::kVariableUndefined, {}, kScriptErrorSource);
  return it->second;
}

host::PageGlobals::Kind ScriptGlobals::Find(std::string_view name) {
  auto it = names_.find(text::ToLowerAscii(name));
  if (it == names_.end()) return Kind::kNone;
  bool function = false;
  try {
    Protected([&](duk_context* ctx) {
      PushValue(ctx, it->second);
      function = duk_is_function(ctx, -1);
    });
  } catch (const Error&) {
    // A name of the scan that the page's scope does not hold.
    if (scope_) return Kind::kNone;
    throw;
  }
  return function ? Kind::kFunction : Kind::kVariable;
}

std::vector<std::pair<std::string, host::PageGlobals::Kind>> ScriptGlobals::Names() {
  std::vector<std::pair<std::string, Kind>> names;
  for (const auto& [folded, spelling] : names_) names.emplace_back(spelling, Find(spelling));
  return names;
}

Variant ScriptGlobals::Get(std::string_view name) {
  const std::string& spelling = Spelling(name);
  Variant value;
  Protected([&](duk_context* ctx) {
    PushValue(ctx, spelling);
    value = ToVariant(ctx, -1, Undefined::kEmpty);
  });
  return value;
}

void ScriptGlobals::Put(std::string_view name, const Variant& value) {
  const std::string& spelling = Spelling(name);
  Protected([&](duk_context* ctx) {
    PushVariant(ctx, value);
    StoreValue(ctx, spelling);
  });
}

Variant ScriptGlobals::Call(std::string_view name, std::vector<Variant>& args) {
  const std::string& spelling = Spelling(name);
  Variant result;
  bool function = true;
  Protected([&](duk_context* ctx) {
    PushValue(ctx, spelling);
    function = duk_is_function(ctx, -1);
    if (!function) {
      result = ToVariant(ctx, -1, Undefined::kEmpty);
      return;
    }
    for (const Variant& arg : args) PushVariant(ctx, arg);
    duk_call(ctx, static_cast<duk_idx_t>(args.size()));
    result = ToVariant(ctx, -1, Undefined::kEmpty);
  });
  // A variable named with arguments is indexed, as an array or a component's default member.
  if (!function && !args.empty()) return LateIndex(result, args);
  return result;
}

}  // namespace mirelda::script::javascript

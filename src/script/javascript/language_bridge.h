// JavaScript and the page's code in its other languages. A JavaScript page with VBScript blocks
// reaches the VBScript globals as globals of its own where it has none of that name: a VBScript
// procedure is a function, a variable an accessor that reads and writes it. A VBScript page with
// JavaScript blocks reaches the globals those blocks made through ScriptGlobals. Values cross as
// script_values.h converts them; errors as the runtime's Error, with number and description.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "duktape.h"
#include "host/page/script_engine.h"
#include "script/javascript/script_heap.h"

namespace mirelda::script::javascript {

// Where a page function keeps the reader and writer of its scope while it runs.
inline constexpr const char kScopeGetKey[] = DUK_HIDDEN_SYMBOL("mireldaScopeGet");
inline constexpr const char kScopeSetKey[] = DUK_HIDDEN_SYMBOL("mireldaScopeSet");

// Defines the names of the heap's peers on the global object for the run (the heap's
// peer_names say which); the run's end removes them with the page's other globals.
void DefinePeerGlobals(duk_context* ctx, const std::vector<host::PageGlobals*>& peers);

// The globals that a run's top-level code made, for the page's other languages, which match
// names without regard to case. The run must stay on the heap while this is used.
class ScriptGlobals final : public host::PageGlobals {
 public:
  // names: the globals the run made, as the script spells them; or, for scope, the names a page
  // function declares, read and written through the scope it handed over (kScopeGetKey).
  ScriptGlobals(ScriptHeap& heap, const std::vector<std::string>& names, bool scope = false);

  Kind Find(std::string_view name) override;
  std::vector<std::pair<std::string, Kind>> Names() override;
  Variant Get(std::string_view name) override;
  void Put(std::string_view name, const Variant& value) override;
  Variant Call(std::string_view name, std::vector<Variant>& args) override;

 private:
  // The name as the script spells it; raises Variable is undefined (500) when there is none.
  const std::string& Spelling(std::string_view name) const;
  // Runs body on the heap's stack, turning what the script throws into Error, EndOfPage or
  // TimeLimitReached.
  template <class Body>
  void Protected(Body&& body);
  // Pushes the value of the name (as the script spells it), or stores the value at the top.
  void PushValue(duk_context* ctx, const std::string& spelling);
  void StoreValue(duk_context* ctx, const std::string& spelling);

  ScriptHeap& heap_;
  std::unordered_map<std::string, std::string> names_;  // lower-case -> spelling
  bool scope_ = false;
};

}  // namespace mirelda::script::javascript

#include "script/javascript/thrown_value.h"

#include <string_view>

#include "script/javascript/script_objects.h"
#include "script/javascript/script_values.h"

namespace mirelda::script::javascript {
namespace {

std::string StringProperty(duk_context* ctx, duk_idx_t idx, const char* key) {
  duk_get_prop_string(ctx, idx, key);
  std::string value;
  if (duk_is_string(ctx, -1)) {
    duk_size_t size = 0;
    const char* s = duk_get_lstring(ctx, -1, &size);
    value = ScriptStringToUtf8(std::string_view(s, size));
  }
  duk_pop(ctx);
  return value;
}

// A safe call shares its caller's value stack: the thrown value is its top.
duk_ret_t Describe(duk_context* ctx, void* udata) {
  auto* out = static_cast<ThrownValue*>(udata);
  duk_idx_t thrown = duk_get_top_index(ctx);
  if (!duk_is_object(ctx, thrown)) {
    duk_size_t size = 0;
    const char* s = duk_safe_to_lstring(ctx, thrown, &size);
    out->description = ScriptStringToUtf8(std::string_view(s, size));
    return 0;
  }
  duk_get_prop_string(ctx, thrown, "number");
  if (duk_is_number(ctx, -1)) {
    out->has_number = true;
    out->number = static_cast<int32_t>(duk_get_int(ctx, -1));
  }
  duk_pop(ctx);
  out->description = StringProperty(ctx, thrown, "description");
  out->source = StringProperty(ctx, thrown, "source");
  if (out->description.empty()) {
    std::string name = StringProperty(ctx, thrown, "name");
    std::string message = StringProperty(ctx, thrown, "message");
    // The engine's own "(line N)" counts lines of the compiled script, not of the page.
    size_t at = message.rfind(" (line ");
    if (at != std::string::npos && message.back() == ')') message.resize(at);
    out->description = name.empty() ? message : message.empty() ? name : name + ": " + message;
  }
  duk_get_prop_literal(ctx, thrown, kScriptErrorLineKey);
  out->line = duk_get_int_default(ctx, -1, 0);
  duk_pop(ctx);
  if (out->line <= 0) {
    duk_get_prop_string(ctx, thrown, "lineNumber");
    out->line = duk_get_int_default(ctx, -1, 0);
    duk_pop(ctx);
  }
  return 0;
}

}  // namespace

ThrownValue TakeThrownValue(duk_context* ctx) {
  ThrownValue out;
  duk_safe_call(ctx, Describe, &out, 1, 1);
  duk_pop(ctx);
  return out;
}

}  // namespace mirelda::script::javascript

// The language's built-in functions and constants. Each family (conversions, strings, arrays,
// info, dates, formats, math, bytes, ...) keeps its own table; adding a function is one entry there. The compiler looks a
// name up once, so a call site holds the entry itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "mirelda/variant.h"

namespace mirelda::script::vbscript {

// What a built-in is called with: its arguments (omitted ones are Missing) and the page's limits.
struct BuiltinCall {
  std::span<Variant> args;
  size_t memory_limit = SIZE_MAX;

  size_t count() const { return args.size(); }
  // True when argument i was given (not omitted and not past the end).
  bool has(size_t i) const { return i < args.size() && !args[i].is_missing(); }
};

using BuiltinFunction = Variant (*)(BuiltinCall& call);

struct Builtin {
  std::string_view name;
  uint8_t min_args;
  uint8_t max_args;
  BuiltinFunction function;
};

struct BuiltinConstant {
  std::string_view name;
  Variant (*value)();
};

std::span<const Builtin> ConversionBuiltins();
std::span<const Builtin> StringBuiltins();
std::span<const Builtin> ArrayBuiltins();
std::span<const Builtin> InfoBuiltins();
std::span<const Builtin> DateBuiltins();
std::span<const Builtin> DateArithmeticBuiltins();
std::span<const Builtin> FormatBuiltins();
std::span<const Builtin> MathBuiltins();
std::span<const Builtin> RuntimeBuiltins();
std::span<const Builtin> EscapeBuiltins();
std::span<const Builtin> ByteBuiltins();
std::span<const BuiltinConstant> BuiltinConstants();

// The Mid statement's work, reached by no name: (text, start, length or Missing, replacement) ->
// text with the characters from start overwritten by those of replacement, its length kept.
const Builtin& MidStatementBuiltin();

// The built-in of that name (any letter case), or null.
const Builtin* FindBuiltin(std::string_view name);
// The constant of that name (any letter case), or null.
const BuiltinConstant* FindBuiltinConstant(std::string_view name);

// Raises Out of memory (7) when a text of this many bytes would pass the page's limit.
void CheckTextSize(size_t bytes, size_t memory_limit);

}  // namespace mirelda::script::vbscript

// Turns the pieces of a page (its code, its literal text and its "<%= %>" expressions) into one
// stream of tokens. A literal piece is a statement of its own between line ends, so that an If or
// a loop may enclose HTML; an expression piece starts with a kWrite token and ends a line.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/vbscript/token.h"

namespace mirelda::script::vbscript {

struct Piece {
  enum Kind : uint8_t { kCode, kLiteral, kExpression };
  Kind kind = kCode;
  std::string_view text;
  uint32_t file = 0;
  uint32_t line = 1;
  uint32_t column = 1;
  uint32_t literal_index = 0;
};

// Raises the language's compile errors (1030, 1031, 1032, 1033, ...) through CompileError.
std::vector<Token> Tokenize(std::span<const Piece> pieces, const std::vector<std::string>& files);

}  // namespace mirelda::script::vbscript

// One statement's tokens, and the bracket structure the translators walk.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "data/sql_lexer.h"

namespace mirelda::data {

inline constexpr size_t kNone = static_cast<size_t>(-1);

struct Statement {
  std::string_view text;
  std::vector<Token> tokens;  // without a closing ";"
  size_t end = 0;  // byte offset where the statement ends: its closing ";" or its last token
};

// The single statement in text. A closing ";" is allowed; any other token after a ";" is a second
// statement and raises Error (syntax error) so that nothing runs. Empty text and text holding a
// NUL character raise too.
Statement ParseStatement(std::string_view text, Dialect dialect);

// The index of the ")" that closes the "(" at open, or kNone.
size_t MatchingClose(const std::vector<Token>& tokens, size_t open);

// Splits the tokens (first, last) at the commas outside brackets: each part is [begin, end).
struct Range {
  size_t begin;
  size_t end;
};
std::vector<Range> SplitAtCommas(const std::vector<Token>& tokens, size_t first, size_t last);

}  // namespace mirelda::data

// Splits statement text into tokens for the dialect translators. Whitespace and comments are not
// tokens; every token keeps its byte range, so that a translation can copy everything it does not
// change byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mirelda::data {

// The SQL dialect a statement arrives in: Jet's (file databases) or the server's.
enum class Dialect : uint8_t { kJet, kServer };

enum class TokenKind : uint8_t {
  kWord,    // identifier or keyword
  kQuoted,  // quoted identifier: [name], or "name" in the server dialect
  kString,  // 'text', or "text" in the Jet dialect
  kNumber,
  kSymbol,       // punctuation and operators
  kHashLiteral,  // #1/5/2024#, Jet's date literal
};

struct Token {
  TokenKind kind;
  size_t begin;  // byte range in the statement text
  size_t end;
  std::string_view text;

  // A word equal to keyword without regard to ASCII case.
  bool Is(std::string_view keyword) const;
  bool IsSymbol(std::string_view symbol) const {
    return kind == TokenKind::kSymbol && text == symbol;
  }
  bool IsIdentifier() const { return kind == TokenKind::kWord || kind == TokenKind::kQuoted; }
  // The name an identifier token stands for: a word as written, a quoted one without its quotes.
  std::string Name() const;
  // The content of a string literal, with doubled quotes undone.
  std::string StringValue() const;
};

// The tokens of text. Raises Error (syntax error) for an unterminated literal, quoted identifier
// or comment.
std::vector<Token> Tokenize(std::string_view text, Dialect dialect);

// The text as an SQL string literal between single quotes.
std::string QuoteString(std::string_view value);

}  // namespace mirelda::data

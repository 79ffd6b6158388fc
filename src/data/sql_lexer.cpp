#include "data/sql_lexer.h"

#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Identifiers may hold any non-ASCII character (names in Chinese, for one).
bool IsWordStart(char c, Dialect dialect) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80 ||
         (dialect == Dialect::kServer && (c == '@' || c == '#'));
}
bool IsWordPart(char c, Dialect dialect) {
  return IsWordStart(c, dialect) || IsDigit(c) || c == '$' || c == '#' || c == '@';
}

[[noreturn]] void Unterminated(const char* what, size_t at) {
  throw Error(errc::kSyntaxError, std::string("Syntax error: unterminated ") + what +
                                      " at character " + std::to_string(at + 1) +
                                      " of the statement.");
}

// The end of a literal that closes with quote and escapes it by doubling.
size_t EndOfQuoted(std::string_view s, size_t start, char quote, const char* what) {
  size_t i = start + 1;
  while (true) {
    size_t close = s.find(quote, i);
    if (close == std::string_view::npos) Unterminated(what, start);
    if (close + 1 < s.size() && s[close + 1] == quote) {
      i = close + 2;
      continue;
    }
    return close + 1;
  }
}

std::string Undouble(std::string_view inner, char quote) {
  std::string out;
  out.reserve(inner.size());
  for (size_t i = 0; i < inner.size(); ++i) {
    out += inner[i];
    if (inner[i] == quote && i + 1 < inner.size() && inner[i + 1] == quote) ++i;
  }
  return out;
}

}  // namespace

bool Token::Is(std::string_view keyword) const {
  return kind == TokenKind::kWord && text::EqualsIgnoreCase(text, keyword);
}

std::string Token::Name() const {
  if (kind != TokenKind::kQuoted) return std::string(text);
  std::string_view inner = text.substr(1, text.size() - 2);
  return Undouble(inner, text[0] == '[' ? ']' : '"');
}

std::string Token::StringValue() const {
  return Undouble(text.substr(1, text.size() - 2), text[0]);
}

std::vector<Token> Tokenize(std::string_view s, Dialect dialect) {
  std::vector<Token> tokens;
  size_t i = 0;
  auto add = [&](TokenKind kind, size_t begin, size_t end) {
    tokens.push_back({kind, begin, end, s.substr(begin, end - begin)});
    i = end;
  };
  while (i < s.size()) {
    char c = s[i];
    char next = i + 1 < s.size() ? s[i + 1] : '\0';
    if (IsSpace(c)) {
      ++i;
    } else if (c == '-' && next == '-') {
      size_t eol = s.find('\n', i);
      i = eol == std::string_view::npos ? s.size() : eol + 1;
    } else if (c == '/' && next == '*') {
      size_t close = s.find("*/", i + 2);
      if (close == std::string_view::npos) Unterminated("comment", i);
      i = close + 2;
    } else if (c == '\'') {
      add(TokenKind::kString, i, EndOfQuoted(s, i, '\'', "string"));
    } else if (c == '"') {
      add(dialect == Dialect::kJet ? TokenKind::kString : TokenKind::kQuoted, i,
          EndOfQuoted(s, i, '"', dialect == Dialect::kJet ? "string" : "quoted name"));
    } else if (c == '[') {
      size_t close = s.find(']', i + 1);
      if (close == std::string_view::npos) Unterminated("bracketed name", i);
      add(TokenKind::kQuoted, i, close + 1);
    } else if (c == '#' && dialect == Dialect::kJet) {
      size_t close = s.find('#', i + 1);
      if (close == std::string_view::npos) Unterminated("date literal", i);
      add(TokenKind::kHashLiteral, i, close + 1);
    } else if (IsDigit(c) || (c == '.' && IsDigit(next))) {
      size_t j = i;
      while (j < s.size() && (IsDigit(s[j]) || s[j] == '.')) ++j;
      if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < s.size() && IsDigit(s[k])) {
          j = k;
          while (j < s.size() && IsDigit(s[j])) ++j;
        }
      }
      add(TokenKind::kNumber, i, j);
    } else if (IsWordStart(c, dialect)) {
      size_t j = i + 1;
      while (j < s.size() && IsWordPart(s[j], dialect)) ++j;
      add(TokenKind::kWord, i, j);
    } else {
      static constexpr std::string_view kPairs[] = {"<>", "<=", ">=", "!=", "||", "::"};
      size_t length = 1;
      for (std::string_view pair : kPairs) {
        if (s.substr(i, 2) == pair) length = 2;
      }
      add(TokenKind::kSymbol, i, i + length);
    }
  }
  return tokens;
}

std::string QuoteString(std::string_view value) {
  std::string out = "'";
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

}  // namespace mirelda::data

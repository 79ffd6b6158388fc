#include "data/sql_statement.h"

#include "mirelda/error.h"

namespace mirelda::data {

Statement ParseStatement(std::string_view text, Dialect dialect) {
  // The engines read statements as C strings: text after a NUL would be cut off unseen.
  if (text.find('\0') != std::string_view::npos) {
    throw Error(errc::kSyntaxError, "The statement contains a NUL character.");
  }
  Statement st;
  st.text = text;
  st.tokens = Tokenize(text, dialect);
  st.end = text.size();
  for (size_t i = 0; i < st.tokens.size(); ++i) {
    if (!st.tokens[i].IsSymbol(";")) continue;
    if (i + 1 < st.tokens.size()) {
      throw Error(errc::kSyntaxError, "Characters found after end of SQL statement.");
    }
    st.end = st.tokens[i].begin;
    st.tokens.pop_back();
    break;
  }
  if (st.tokens.empty()) {
    throw Error(errc::kSyntaxError,
                "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
                "'UPDATE'.");
  }
  // Without a ";" the statement ends with its last token: a comment after it is no part of it.
  if (st.end == text.size()) st.end = st.tokens.back().end;
  return st;
}

size_t MatchingClose(const std::vector<Token>& tokens, size_t open) {
  int depth = 0;
  for (size_t i = open; i < tokens.size(); ++i) {
    if (tokens[i].IsSymbol("(")) {
      ++depth;
    } else if (tokens[i].IsSymbol(")")) {
      if (--depth == 0) return i;
    }
  }
  return kNone;
}

std::vector<Range> SplitAtCommas(const std::vector<Token>& tokens, size_t first, size_t last) {
  std::vector<Range> parts;
  int depth = 0;
  size_t begin = first;
  for (size_t i = first; i < last; ++i) {
    if (tokens[i].IsSymbol("(")) {
      ++depth;
    } else if (tokens[i].IsSymbol(")")) {
      --depth;
    } else if (depth == 0 && tokens[i].IsSymbol(",")) {
      parts.push_back({begin, i});
      begin = i + 1;
    }
  }
  parts.push_back({begin, last});
  return parts;
}

}  // namespace mirelda::data

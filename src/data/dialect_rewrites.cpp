#include "data/dialect_rewrites.h"

#include <string>

namespace mirelda::data {
namespace {

// Where the select that starts at index i ends: before the ")" that closes its group, or at the
// end of the statement.
size_t ScopeEnd(const Statement& st, size_t i) {
  int depth = 0;
  for (size_t k = i; k < st.tokens.size(); ++k) {
    if (st.tokens[k].IsSymbol("(")) {
      ++depth;
    } else if (st.tokens[k].IsSymbol(")")) {
      if (--depth < 0) return st.tokens[k].begin;
    }
  }
  return st.end;
}

}  // namespace

void RewriteTop(const Statement& st, SqlEdits& edits) {
  const std::vector<Token>& t = st.tokens;
  const size_t n = t.size();
  for (size_t i = 0; i < n; ++i) {
    if (!t[i].Is("SELECT")) continue;
    size_t top = i + 1;
    if (top < n && (t[top].Is("DISTINCT") || t[top].Is("ALL"))) ++top;
    if (top + 1 >= n || !t[top].Is("TOP")) continue;
    size_t count = top + 1;
    size_t after;
    if (t[count].kind == TokenKind::kNumber) {
      after = count + 1;
    } else if (count + 2 < n && t[count].IsSymbol("(") && t[count + 1].kind == TokenKind::kNumber &&
               t[count + 2].IsSymbol(")")) {
      ++count;
      after = count + 2;
    } else {
      continue;
    }
    if (after < n && (t[after].Is("PERCENT") || t[after].Is("WITH"))) continue;
    size_t cut_end = after < n ? t[after].begin : t[after - 1].end;
    edits.Replace(t[top].begin, cut_end, "");
    edits.Insert(ScopeEnd(st, i), " LIMIT " + std::string(t[count].text));
  }
}

void AddForeignKeyKeywords(const Statement& st, const CreateTable& table, SqlEdits& edits) {
  for (const TableItem& item : table.items) {
    if (item.kind == TableItem::Kind::kBareReferences) {
      edits.Insert(st.tokens[item.first].begin, "FOREIGN KEY ");
    }
  }
}

void RemoveItem(const Statement& st, const TableItem& item, SqlEdits& edits) {
  if (item.comma_before != kNone) {
    edits.Replace(st.tokens[item.comma_before].begin, st.tokens[item.last - 1].end, "");
  } else if (item.comma_after != kNone) {
    edits.Replace(st.tokens[item.first].begin, st.tokens[item.comma_after + 1].begin, "");
  } else {
    edits.Replace(st.tokens[item.first].begin, st.tokens[item.last - 1].end, "");
  }
}

}  // namespace mirelda::data

#include "data/table_definition.h"

#include "mirelda/text.h"

namespace mirelda::data {
namespace {

// Type names of more than one word.
bool ContinuesType(const std::string& so_far, const Token& next) {
  static constexpr std::string_view kLonger[] = {"double precision",
                                                 "character varying",
                                                 "char varying",
                                                 "national character",
                                                 "national char",
                                                 "national varchar",
                                                 "national character varying",
                                                 "national char varying",
                                                 "long binary",
                                                 "long text",
                                                 "long varchar",
                                                 "long varbinary"};
  if (next.kind != TokenKind::kWord) return false;
  std::string candidate = so_far + " " + text::ToLowerAscii(next.text);
  for (std::string_view longer : kLonger) {
    if (longer.starts_with(candidate) &&
        (longer.size() == candidate.size() || longer[candidate.size()] == ' ')) {
      return true;
    }
  }
  return false;
}

size_t QualifiedNameEnd(const std::vector<Token>& t, size_t i, size_t last) {
  if (i >= last || !t[i].IsIdentifier()) return kNone;
  ++i;
  while (i + 1 < last && t[i].IsSymbol(".") && t[i + 1].IsIdentifier()) i += 2;
  return i;
}

ColumnDefinition ParseColumn(const std::vector<Token>& t, size_t first, size_t last) {
  ColumnDefinition c;
  c.first = first;
  c.last = last;
  c.name = first;
  size_t i = first + 1;
  if (i < last && t[i].kind == TokenKind::kWord && !t[i].Is("PRIMARY") && !t[i].Is("NOT") &&
      !t[i].Is("NULL") && !t[i].Is("CONSTRAINT") && !t[i].Is("DEFAULT")) {
    TypeName type;
    type.first = i;
    type.name = text::ToLowerAscii(t[i].text);
    ++i;
    while (i < last && ContinuesType(type.name, t[i])) {
      type.name += " " + text::ToLowerAscii(t[i].text);
      ++i;
    }
    if (i < last && t[i].IsSymbol("(")) {
      size_t close = MatchingClose(t, i);
      if (close != kNone && close < last) {
        for (Range part : SplitAtCommas(t, i + 1, close)) {
          std::string value;
          for (size_t k = part.begin; k < part.end; ++k) value += t[k].text;
          type.size.push_back(value);
        }
        i = close + 1;
      }
    }
    type.last = i;
    c.type = std::move(type);
  }
  for (; i < last; ++i) {
    if (t[i].Is("PRIMARY") && i + 1 < last && t[i + 1].Is("KEY")) c.primary_key = i;
    if (t[i].Is("COLLATE")) c.has_collate = true;
  }
  return c;
}

std::vector<std::string> NamesIn(const std::vector<Token>& t, size_t open) {
  std::vector<std::string> names;
  size_t close = MatchingClose(t, open);
  if (close == kNone) return names;
  for (Range part : SplitAtCommas(t, open + 1, close)) {
    if (part.end == part.begin + 1 && t[part.begin].IsIdentifier()) {
      names.push_back(t[part.begin].Name());
    } else {
      names.push_back({});
    }
  }
  return names;
}

TableItem ParseItem(const std::vector<Token>& t, Range range) {
  TableItem item;
  item.first = range.begin;
  item.last = range.end;
  const Token& head = t[range.begin];
  size_t k = range.begin;
  if (head.Is("CONSTRAINT") && k + 2 < range.end) k += 2;
  if (t[k].Is("PRIMARY") && k + 2 < range.end && t[k + 1].Is("KEY") && t[k + 2].IsSymbol("(")) {
    item.kind = TableItem::Kind::kPrimaryKey;
    item.keyword = k;
    item.columns = NamesIn(t, k + 2);
  } else if (head.IsSymbol("(")) {
    size_t close = MatchingClose(t, range.begin);
    item.kind = close != kNone && close + 1 < range.end && t[close + 1].Is("REFERENCES")
                    ? TableItem::Kind::kBareReferences
                    : TableItem::Kind::kOther;
  } else if (k != range.begin || head.Is("PRIMARY") || head.Is("UNIQUE") || head.Is("CHECK") ||
             head.Is("FOREIGN") || !head.IsIdentifier()) {
    item.kind = TableItem::Kind::kOther;
  } else {
    item.kind = TableItem::Kind::kColumn;
    item.column = ParseColumn(t, range.begin, range.end);
  }
  return item;
}

}  // namespace

std::optional<CreateTable> ParseCreateTable(const std::vector<Token>& t) {
  size_t i = 0;
  if (t.size() < 4 || !t[i++].Is("CREATE")) return std::nullopt;
  if (t[i].Is("TEMP") || t[i].Is("TEMPORARY")) ++i;
  if (i >= t.size() || !t[i++].Is("TABLE")) return std::nullopt;
  if (i + 2 < t.size() && t[i].Is("IF") && t[i + 1].Is("NOT") && t[i + 2].Is("EXISTS")) i += 3;
  CreateTable ct;
  ct.name_first = i;
  ct.name_last = QualifiedNameEnd(t, i, t.size());
  if (ct.name_last == kNone || ct.name_last >= t.size() || !t[ct.name_last].IsSymbol("(")) {
    return std::nullopt;
  }
  ct.open = ct.name_last;
  ct.close = MatchingClose(t, ct.open);
  if (ct.close == kNone) return std::nullopt;
  std::vector<Range> parts = SplitAtCommas(t, ct.open + 1, ct.close);
  for (size_t p = 0; p < parts.size(); ++p) {
    if (parts[p].begin == parts[p].end) continue;
    TableItem item = ParseItem(t, parts[p]);
    if (p > 0) item.comma_before = parts[p].begin - 1;
    if (p + 1 < parts.size()) item.comma_after = parts[p].end;
    ct.items.push_back(std::move(item));
  }
  return ct;
}

std::optional<AddColumn> ParseAddColumn(const std::vector<Token>& t) {
  if (t.size() < 5 || !t[0].Is("ALTER") || !t[1].Is("TABLE")) return std::nullopt;
  AddColumn add;
  add.name_first = 2;
  add.name_last = QualifiedNameEnd(t, 2, t.size());
  if (add.name_last == kNone || add.name_last >= t.size() || !t[add.name_last].Is("ADD")) {
    return std::nullopt;
  }
  size_t i = add.name_last + 1;
  if (i < t.size() && t[i].Is("COLUMN")) ++i;
  if (i >= t.size() || !t[i].IsIdentifier() || t[i].Is("CONSTRAINT") || t[i].Is("PRIMARY") ||
      t[i].Is("UNIQUE") || t[i].Is("FOREIGN") || t[i].Is("CHECK")) {
    return std::nullopt;
  }
  add.column = ParseColumn(t, i, t.size());
  return add;
}

}  // namespace mirelda::data

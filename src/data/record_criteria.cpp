#include "data/record_criteria.h"

#include <charconv>
#include <string>

#include "mirelda/error.h"
#include "mirelda/text.h"
#include "mirelda/variant_ops.h"

namespace mirelda::data {
namespace {

[[noreturn]] void Unreadable(std::string_view text, std::string_view why) {
  throw Error(errc::kWrongArguments,
              "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
              "with one another: " +
                  std::string(why) + " in \"" + std::string(text) + "\".");
}

enum class Kind : uint8_t { kName, kText, kNumber, kDate, kSymbol, kEnd };

struct Piece {
  Kind kind;
  std::string text;  // the name, the text's content, the symbol
};

bool NameByte(char c) {
  auto u = static_cast<unsigned char>(c);
  return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '_' || c == '$';
}

// Reads the criteria text piece by piece.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) { Advance(); }

  const Piece& peek() const { return current_; }
  Piece Take() {
    Piece taken = std::move(current_);
    Advance();
    return taken;
  }
  bool TakeWord(std::string_view word) {
    if (current_.kind != Kind::kName || !text::EqualsIgnoreCase(current_.text, word)) return false;
    Advance();
    return true;
  }
  bool TakeSymbol(std::string_view symbol) {
    if (current_.kind != Kind::kSymbol || current_.text != symbol) return false;
    Advance();
    return true;
  }
  [[noreturn]] void Fail(std::string_view why) const { Unreadable(text_, why); }

 private:
  void Advance() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
    if (at_ >= text_.size()) {
      current_ = {Kind::kEnd, ""};
      return;
    }
    char c = text_[at_];
    if (c == '\'' || c == '"') {
      current_ = {Kind::kText, Quoted(c)};
    } else if (c == '[') {
      size_t close = text_.find(']', at_);
      if (close == std::string_view::npos) Fail("a bracketed name has no end");
      current_ = {Kind::kName, std::string(text_.substr(at_ + 1, close - at_ - 1))};
      at_ = close + 1;
    } else if (c == '#') {
      size_t close = text_.find('#', at_ + 1);
      if (close == std::string_view::npos) Fail("a date has no closing #");
      current_ = {Kind::kDate, std::string(text_.substr(at_ + 1, close - at_ - 1))};
      at_ = close + 1;
    } else if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+') {
      size_t start = at_++;
      while (at_ < text_.size() && ((text_[at_] >= '0' && text_[at_] <= '9') || text_[at_] == '.' ||
                                    text_[at_] == 'e' || text_[at_] == 'E')) {
        ++at_;
      }
      current_ = {Kind::kNumber, std::string(text_.substr(start, at_ - start))};
    } else if (NameByte(c)) {
      size_t start = at_;
      while (at_ < text_.size() && NameByte(text_[at_])) ++at_;
      current_ = {Kind::kName, std::string(text_.substr(start, at_ - start))};
    } else {
      std::string_view two = text_.substr(at_, 2);
      if (two == "<>" || two == "<=" || two == ">=" || two == "!=") {
        current_ = {Kind::kSymbol, std::string(two)};
        at_ += 2;
      } else if (c == '=' || c == '<' || c == '>' || c == '(' || c == ')' || c == ',') {
        current_ = {Kind::kSymbol, std::string(1, c)};
        ++at_;
      } else {
        Fail("an unexpected character");
      }
    }
  }

  std::string Quoted(char quote) {
    std::string value;
    for (size_t i = at_ + 1; i < text_.size(); ++i) {
      if (text_[i] != quote) {
        value += text_[i];
      } else if (i + 1 < text_.size() && text_[i + 1] == quote) {
        value += quote;
        ++i;
      } else {
        at_ = i + 1;
        return value;
      }
    }
    Fail("a quoted text has no end");
  }

  std::string_view text_;
  size_t at_ = 0;
  Piece current_{Kind::kEnd, ""};
};

size_t ColumnNamed(const std::string& name, const std::vector<ColumnInfo>& columns) {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (text::EqualsIgnoreCase(columns[i].name, name)) return i;
  }
  throw Error(errc::kItemNotFound,
              "Item cannot be found in the collection corresponding to the requested name or "
              "ordinal ('" +
                  name + "').");
}

Variant NumberOf(const Reader& reader, const std::string& text) {
  double value = 0;
  const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
  auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) reader.Fail("a number is not one");
  if (value == static_cast<double>(static_cast<int32_t>(value)) &&
      text.find_first_of(".eE") == std::string::npos) {
    return Variant(static_cast<int32_t>(value));
  }
  return Variant(value);
}

class Parser {
 public:
  Parser(std::string_view text, const std::vector<ColumnInfo>& columns,
         std::vector<Criteria::Node>& nodes)
      : reader_(text), columns_(columns), nodes_(nodes) {}

  size_t Whole() {
    size_t root = Or();
    if (reader_.peek().kind != Kind::kEnd) reader_.Fail("text follows the criteria");
    return root;
  }

 private:
  size_t Join(Criteria::Op op, size_t left, size_t right) {
    Criteria::Node node;
    node.op = op;
    node.left = left;
    node.right = right;
    nodes_.push_back(std::move(node));
    return nodes_.size() - 1;
  }
  size_t Or() {
    size_t left = And();
    while (reader_.TakeWord("OR")) left = Join(Criteria::Op::kOr, left, And());
    return left;
  }
  size_t And() {
    size_t left = Clause();
    while (reader_.TakeWord("AND")) left = Join(Criteria::Op::kAnd, left, Clause());
    return left;
  }
  size_t Clause() {
    if (++depth_ > 200) reader_.Fail("the criteria nest too deeply");
    size_t result;
    if (reader_.TakeSymbol("(")) {
      result = Or();
      if (!reader_.TakeSymbol(")")) reader_.Fail("a parenthesis has no end");
    } else {
      result = Comparison();
    }
    --depth_;
    return result;
  }
  size_t Comparison() {
    if (reader_.peek().kind != Kind::kName) reader_.Fail("a field name is missing");
    Criteria::Node node;
    node.column = ColumnNamed(reader_.Take().text, columns_);
    if (reader_.TakeWord("IS")) {
      node.op = reader_.TakeWord("NOT") ? Criteria::Op::kNe : Criteria::Op::kEq;
      if (!reader_.TakeWord("NULL")) reader_.Fail("IS takes NULL");
      node.value = Variant::Null();
    } else {
      node.op = Operator();
      node.value = Value();
      if (node.op == Criteria::Op::kLike && !node.value.is_string()) {
        reader_.Fail("LIKE takes a quoted pattern");
      }
    }
    nodes_.push_back(std::move(node));
    return nodes_.size() - 1;
  }
  Criteria::Op Operator() {
    using Op = Criteria::Op;
    if (reader_.TakeWord("LIKE")) return Op::kLike;
    static constexpr std::pair<std::string_view, Op> kSymbols[] = {
        {"=", Op::kEq},  {"<>", Op::kNe}, {"!=", Op::kNe}, {"<", Op::kLt},
        {"<=", Op::kLe}, {">", Op::kGt},  {">=", Op::kGe}};
    for (const auto& [symbol, op] : kSymbols) {
      if (reader_.TakeSymbol(symbol)) return op;
    }
    reader_.Fail("an operator is missing");
  }
  Variant Value() {
    if (reader_.TakeWord("NULL")) return Variant::Null();
    Piece piece = reader_.Take();
    switch (piece.kind) {
      case Kind::kText:
        return Variant(std::move(piece.text));
      case Kind::kNumber:
        return NumberOf(reader_, piece.text);
      case Kind::kDate: {
        Date date;
        if (!ParseDate(piece.text, &date)) reader_.Fail("a date is not one");
        return Variant(date);
      }
      default:
        reader_.Fail("a value is missing");
    }
  }

  Reader reader_;
  const std::vector<ColumnInfo>& columns_;
  std::vector<Criteria::Node>& nodes_;
  int depth_ = 0;
};

}  // namespace

Criteria Criteria::Parse(std::string_view text, const std::vector<ColumnInfo>& columns) {
  Criteria criteria;
  criteria.root_ = Parser(text, columns, criteria.nodes_).Whole();
  return criteria;
}

bool Criteria::Matches(const Cursor& cursor, size_t row) const { return Test(root_, cursor, row); }

bool Criteria::Test(size_t index, const Cursor& cursor, size_t row) const {
  const Node& node = nodes_[index];
  if (node.op == Op::kAnd) return Test(node.left, cursor, row) && Test(node.right, cursor, row);
  if (node.op == Op::kOr) return Test(node.left, cursor, row) || Test(node.right, cursor, row);
  Variant field = cursor.Stored(row, node.column);
  if (node.value.is_null() || field.is_null()) {
    bool both = node.value.is_null() && field.is_null();
    if (node.op == Op::kEq) return both;
    if (node.op == Op::kNe) return !both && node.value.is_null();
    return false;
  }
  if (node.op == Op::kLike) return MatchesLike(field.ToText(), node.value.ToString());
  int order = 0;
  try {
    if (!CompareOrder(field, node.value, &order, CompareMode::kText, LiteralSide::kRight)) {
      return false;
    }
  } catch (const Error&) {
    // A text that reads as no number beside a number: the row does not meet the comparison.
    return false;
  }
  switch (node.op) {
    case Op::kEq:
      return order == 0;
    case Op::kNe:
      return order != 0;
    case Op::kLt:
      return order < 0;
    case Op::kLe:
      return order <= 0;
    case Op::kGt:
      return order > 0;
    case Op::kGe:
      return order >= 0;
    default:
      return false;
  }
}

std::vector<SortKey> ParseSort(std::string_view text, const std::vector<ColumnInfo>& columns) {
  std::vector<SortKey> keys;
  Reader reader(text);
  if (reader.peek().kind == Kind::kEnd) return keys;
  for (;;) {
    if (reader.peek().kind != Kind::kName) reader.Fail("a field name is missing");
    SortKey key{ColumnNamed(reader.Take().text, columns), false};
    if (reader.TakeWord("DESC")) {
      key.descending = true;
    } else {
      reader.TakeWord("ASC");
    }
    keys.push_back(key);
    if (reader.peek().kind == Kind::kEnd) return keys;
    if (!reader.TakeSymbol(",")) reader.Fail("keys are separated by commas");
  }
}

int CompareForSort(const Variant& a, const Variant& b) {
  if (a.is_null() || b.is_null()) return (a.is_null() ? 0 : 1) - (b.is_null() ? 0 : 1);
  int order = 0;
  try {
    if (CompareOrder(a, b, &order, CompareMode::kText)) return order;
  } catch (const Error&) {
    // Values that do not compare (a number beside a text, bytes): numbers go first.
  }
  return (a.is_numeric() ? 0 : 1) - (b.is_numeric() ? 0 : 1);
}

bool MatchesLike(std::string_view text, std::string_view pattern) {
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  auto wild = [](char c) { return c == '*' || c == '%'; };
  // The last wildcard seen and where the text stood then: a mismatch retries from one further.
  size_t t = 0, p = 0, star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && wild(pattern[p])) {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && fold(pattern[p]) == fold(text[t])) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && wild(pattern[p])) ++p;
  return p == pattern.size();
}

}  // namespace mirelda::data

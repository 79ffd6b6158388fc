#include "script/vbscript/lexer.h"

#include <cmath>
#include <cstdlib>
#include <unordered_map>

#include "script/vbscript/builtins/text_units.h"
#include "script/vbscript/compile_errors.h"

namespace mirelda::script::vbscript {
namespace {

constexpr size_t kMaxNameLength = 255;

const std::unordered_map<std::string, Keyword>& Keywords() {
  static const std::unordered_map<std::string, Keyword> table = {
      {"and", Keyword::kAnd},         {"byref", Keyword::kByRef},   {"byval", Keyword::kByVal},
      {"call", Keyword::kCall},       {"case", Keyword::kCase},     {"class", Keyword::kClass},
      {"const", Keyword::kConst},     {"default", Keyword::kDefault}, {"dim", Keyword::kDim},
      {"do", Keyword::kDo},           {"each", Keyword::kEach},     {"else", Keyword::kElse},
      {"elseif", Keyword::kElseIf},   {"empty", Keyword::kEmpty},   {"end", Keyword::kEnd},
      {"eqv", Keyword::kEqv},         {"erase", Keyword::kErase},   {"error", Keyword::kError},
      {"exit", Keyword::kExit},       {"explicit", Keyword::kExplicit}, {"false", Keyword::kFalse},
      {"for", Keyword::kFor},         {"function", Keyword::kFunction}, {"get", Keyword::kGet},
      {"goto", Keyword::kGoTo},       {"if", Keyword::kIf},         {"imp", Keyword::kImp},
      {"in", Keyword::kIn},           {"is", Keyword::kIs},         {"let", Keyword::kLet},
      {"loop", Keyword::kLoop},       {"me", Keyword::kMe},         {"mod", Keyword::kMod},
      {"new", Keyword::kNew},         {"next", Keyword::kNext},     {"not", Keyword::kNot},
      {"nothing", Keyword::kNothing}, {"null", Keyword::kNull},     {"on", Keyword::kOn},
      {"option", Keyword::kOption},   {"or", Keyword::kOr},         {"preserve", Keyword::kPreserve},
      {"private", Keyword::kPrivate}, {"property", Keyword::kProperty}, {"public", Keyword::kPublic},
      {"randomize", Keyword::kRandomize}, {"redim", Keyword::kReDim}, {"resume", Keyword::kResume},
      {"select", Keyword::kSelect},   {"set", Keyword::kSet},       {"step", Keyword::kStep},
      {"sub", Keyword::kSub},         {"then", Keyword::kThen},     {"to", Keyword::kTo},
      {"true", Keyword::kTrue},       {"until", Keyword::kUntil},   {"wend", Keyword::kWend},
      {"while", Keyword::kWhile},     {"with", Keyword::kWith},     {"xor", Keyword::kXor},
  };
  return table;
}

bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// A date literal's text: the forms the data layer reads ("2024-01-31 10:00:00", "2024/01/31"),
// or month/day/year with an optional time ("1/31/2024 10:00 PM"), or a time alone.
bool ParseDateLiteral(std::string_view text, Date* out) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (ParseDate(text, out)) return true;
  auto number = [&](size_t& i, int& value) {
    size_t start = i;
    value = 0;
    while (i < text.size() && IsDigit(text[i]) && i - start < 6) value = value * 10 + (text[i++] - '0');
    return i > start;
  };
  size_t i = 0;
  int month = 0, day = 0, year = 1899, hour = 0, minute = 0, second = 0;
  bool has_date = false;
  int first = 0;
  if (!number(i, first)) return false;
  if (i < text.size() && (text[i] == '/' || text[i] == '-')) {
    char sep = text[i++];
    month = first;
    if (!number(i, day) || i >= text.size() || text[i] != sep) return false;
    ++i;
    size_t year_start = i;
    if (!number(i, year)) return false;
    if (i - year_start <= 2) year += year < 30 ? 2000 : 1900;
    has_date = true;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && !number(i, hour)) return false;
  } else {
    hour = first;
    day = 30, month = 12;
  }
  if (!has_date || i < text.size()) {
    if (i >= text.size() || text[i] != ':') return false;
    ++i;
    if (!number(i, minute)) return false;
    if (i < text.size() && text[i] == ':') {
      ++i;
      if (!number(i, second)) return false;
    }
    while (i < text.size() && IsBlank(text[i])) ++i;
    std::string rest = FoldCase(text.substr(i));
    if (rest == "pm" || rest == "p") {
      if (hour > 12 || hour == 0) return false;
      if (hour < 12) hour += 12;
    } else if (rest == "am" || rest == "a") {
      if (hour > 12 || hour == 0) return false;
      if (hour == 12) hour = 0;
    } else if (!rest.empty()) {
      return false;
    }
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || year < 100 || year > 9999 || hour > 23 ||
      minute > 59 || second > 59) {
    return false;
  }
  *out = Date::FromParts(year, month, day, hour, minute, second);
  return true;
}

class Lexer {
 public:
  Lexer(const Piece& piece, const std::vector<std::string>& files, std::vector<Token>& out)
      : piece_(piece), files_(files), out_(out), line_(piece.line), column_(piece.column) {}

  // An expression piece ("<%= %>") is one expression, so its line ends are only white space.
  bool expression = false;

  // Where the piece's text ends.
  ast::Location end() const { return ast::Location{piece_.file, line_, column_}; }

  void Run() {
    const std::string_view text = piece_.text;
    while (pos_ < text.size()) {
      char c = text[pos_];
      if (IsBlank(c) || c == '\0') {
        Advance(1);
        space_ = true;
        continue;
      }
      if (c == '\r' || c == '\n') {
        Newline();
        continue;
      }
      if (c == '\'') {
        SkipComment();
        continue;
      }
      if (c == '_' && ContinuesLine()) continue;
      start_line_ = line_;
      start_column_ = column_;
      if (IsNameStart(c) || (c == '_' && pos_ + 1 < text.size() && IsNameChar(text[pos_ + 1]))) {
        Name();
      } else if (IsDigit(c) || (c == '.' && pos_ + 1 < text.size() && IsDigit(text[pos_ + 1]) &&
                                 NumberMayStartWithDot())) {
        Number();
      } else if (c == '"') {
        String();
      } else if (c == '#') {
        DateLiteral();
      } else if (c == '&' && pos_ + 1 < text.size() &&
                 (text[pos_ + 1] == 'h' || text[pos_ + 1] == 'H' || text[pos_ + 1] == 'o' ||
                  text[pos_ + 1] == 'O' || IsDigit(text[pos_ + 1]))) {
        RadixNumber();
      } else if (c == ':') {
        Advance(1);
        Emit(TokenKind::kColon);
      } else {
        Symbol();
      }
    }
  }

 private:
  void Advance(size_t n) {
    pos_ += n;
    column_ += static_cast<uint32_t>(n);
  }

  void Newline() {
    const std::string_view text = piece_.text;
    if (text[pos_] == '\r' && pos_ + 1 < text.size() && text[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    start_line_ = line_;
    start_column_ = column_;
    if (expression) {
      space_ = true;
    } else {
      Emit(TokenKind::kNewline);
    }
    ++line_;
    column_ = 1;
  }

  void SkipComment() {
    const std::string_view text = piece_.text;
    while (pos_ < text.size() && text[pos_] != '\r' && text[pos_] != '\n') Advance(1);
  }

  // " _" at the end of a line joins it to the next.
  bool ContinuesLine() {
    const std::string_view text = piece_.text;
    size_t i = pos_ + 1;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && text[i] != '\r' && text[i] != '\n') return false;
    Advance(i - pos_);
    if (pos_ < text.size()) {
      if (text[pos_] == '\r' && pos_ + 1 < text.size() && text[pos_ + 1] == '\n') ++pos_;
      ++pos_;
      ++line_;
      column_ = 1;
    }
    space_ = true;
    return true;
  }

  // ".5" is a number unless the dot follows something it could be a member of.
  bool NumberMayStartWithDot() const {
    if (space_ || out_.empty()) return true;
    const Token& last = out_.back();
    if (last.kind == TokenKind::kName || last.kind == TokenKind::kNumber ||
        last.kind == TokenKind::kString) {
      return false;
    }
    return !(last.kind == TokenKind::kSymbol && last.symbol == ')');
  }

  [[noreturn]] void Fail(int32_t number) {
    ast::Location where{piece_.file, start_line_, start_column_};
    CompileError(number, where, files_);
  }

  Token& Emit(TokenKind kind) {
    Token token;
    token.kind = kind;
    token.space_before = space_;
    token.where = ast::Location{piece_.file, start_line_, start_column_};
    out_.push_back(std::move(token));
    space_ = false;
    return out_.back();
  }

  void Name() {
    const std::string_view text = piece_.text;
    size_t end = pos_;
    while (end < text.size() && IsNameChar(text[end])) ++end;
    std::string name(text.substr(pos_, end - pos_));
    if (name.size() > kMaxNameLength) Fail(1030);
    std::string folded = FoldCase(name);
    bool statement_start = out_.empty() || out_.back().kind == TokenKind::kNewline ||
                           out_.back().kind == TokenKind::kColon;
    if (folded == "rem" && statement_start) {
      SkipComment();
      return;
    }
    Advance(end - pos_);
    Token& token = Emit(TokenKind::kName);
    auto it = Keywords().find(folded);
    if (it != Keywords().end()) token.keyword = it->second;
    token.text = std::move(name);
  }

  void Number() {
    const std::string_view text = piece_.text;
    size_t end = pos_;
    bool real = false;
    while (end < text.size() && IsDigit(text[end])) ++end;
    if (end < text.size() && text[end] == '.') {
      real = true;
      ++end;
      while (end < text.size() && IsDigit(text[end])) ++end;
    }
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
      size_t e = end + 1;
      if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
      if (e < text.size() && IsDigit(text[e])) {
        real = true;
        end = e;
        while (end < text.size() && IsDigit(text[end])) ++end;
      }
    }
    if (end < text.size() && IsNameStart(text[end])) Fail(1031);
    std::string digits(text.substr(pos_, end - pos_));
    Advance(end - pos_);
    double value = std::strtod(digits.c_str(), nullptr);
    if (std::isinf(value)) Fail(1031);
    Token& token = Emit(TokenKind::kNumber);
    if (!real && value <= 32767) {
      token.value = Variant(static_cast<int16_t>(value));
    } else if (!real && value <= 2147483647.0) {
      token.value = Variant(static_cast<int32_t>(value));
    } else {
      token.value = Variant(value);
    }
  }

  // &Hff, &O17 and &17: up to four hex digits make an Integer, up to eight a Long; both wrap
  // (&HFFFF is -1). A trailing "&" asks for a Long.
  void RadixNumber() {
    const std::string_view text = piece_.text;
    size_t i = pos_ + 1;
    int base = 8;
    if (text[i] == 'h' || text[i] == 'H') {
      base = 16;
      ++i;
    } else if (text[i] == 'o' || text[i] == 'O') {
      ++i;
    }
    uint64_t value = 0;
    size_t digits = 0;
    for (; i < text.size(); ++i) {
      char c = text[i];
      int d = IsDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : 99;
      if (d >= base) break;
      value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
      if (value > 0xFFFFFFFFull) Fail(1031);
      ++digits;
    }
    if (digits == 0) Fail(1031);
    bool want_long = i < text.size() && text[i] == '&';
    if (want_long) ++i;
    if (i < text.size() && IsNameChar(text[i])) Fail(1031);
    Advance(i - pos_);
    Token& token = Emit(TokenKind::kNumber);
    if (!want_long && value <= 0xFFFF) {
      token.value = Variant(static_cast<int16_t>(static_cast<uint16_t>(value)));
    } else {
      token.value = Variant(static_cast<int32_t>(static_cast<uint32_t>(value)));
    }
  }

  void String() {
    const std::string_view text = piece_.text;
    std::string value;
    size_t i = pos_ + 1;
    for (;;) {
      if (i >= text.size() || text[i] == '\r' || text[i] == '\n') Fail(1033);
      if (text[i] == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          value += '"';
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      value += text[i++];
    }
    Advance(i - pos_);
    Emit(TokenKind::kString).value = Variant(std::move(value));
  }

  void DateLiteral() {
    const std::string_view text = piece_.text;
    size_t end = text.find_first_of("#\r\n", pos_ + 1);
    if (end == std::string_view::npos || text[end] != '#') Fail(1002);
    Date date;
    if (!ParseDateLiteral(text.substr(pos_ + 1, end - pos_ - 1), &date)) Fail(1002);
    Advance(end + 1 - pos_);
    Emit(TokenKind::kDate).value = Variant(date);
  }

  void Symbol() {
    const std::string_view text = piece_.text;
    char c = text[pos_];
    char next = pos_ + 1 < text.size() ? text[pos_ + 1] : '\0';
    char symbol = 0;
    size_t length = 1;
    if (c == '<' && next == '=') {
      symbol = kLe, length = 2;
    } else if (c == '>' && next == '=') {
      symbol = kGe, length = 2;
    } else if (c == '<' && next == '>') {
      symbol = kNe, length = 2;
    } else if (c == '=' && next == '<') {
      symbol = kLe, length = 2;
    } else if (c == '=' && next == '>') {
      symbol = kGe, length = 2;
    } else {
      static constexpr std::string_view kSymbols = "+-*/\\^&=<>(),.";
      if (kSymbols.find(c) == std::string_view::npos) Fail(1032);
      symbol = c;
    }
    Advance(length);
    Emit(TokenKind::kSymbol).symbol = symbol;
  }

  const Piece& piece_;
  const std::vector<std::string>& files_;
  std::vector<Token>& out_;
  size_t pos_ = 0;
  uint32_t line_;
  uint32_t column_;
  uint32_t start_line_ = 0;
  uint32_t start_column_ = 0;
  bool space_ = false;
};

}  // namespace

bool IsContextual(Keyword keyword) {
  switch (keyword) {
    case Keyword::kDefault:
    case Keyword::kError:
    case Keyword::kExplicit:
    case Keyword::kGet:
    case Keyword::kLet:
    case Keyword::kPreserve:
    case Keyword::kProperty:
    case Keyword::kRandomize:
    case Keyword::kResume:
    case Keyword::kStep:
      return true;
    default:
      return false;
  }
}

std::vector<Token> Tokenize(std::span<const Piece> pieces, const std::vector<std::string>& files) {
  std::vector<Token> tokens;
  auto mark = [&](TokenKind kind, const Piece& piece) {
    Token token;
    token.kind = kind;
    token.where = ast::Location{piece.file, piece.line, piece.column};
    tokens.push_back(std::move(token));
    return &tokens.back();
  };
  for (const Piece& piece : pieces) {
    switch (piece.kind) {
      case Piece::kLiteral:
        mark(TokenKind::kNewline, piece);
        mark(TokenKind::kLiteral, piece)->literal_index = piece.literal_index;
        mark(TokenKind::kNewline, piece);
        break;
      case Piece::kExpression:
      case Piece::kCode: {
        mark(TokenKind::kNewline, piece);
        if (piece.kind == Piece::kExpression) mark(TokenKind::kWrite, piece);
        Lexer lexer(piece, files, tokens);
        lexer.expression = piece.kind == Piece::kExpression;
        lexer.Run();
        mark(TokenKind::kNewline, piece)->where = lexer.end();
        break;
      }
    }
  }
  Token end;
  end.kind = TokenKind::kEnd;
  if (!tokens.empty()) end.where = tokens.back().where;
  tokens.push_back(std::move(end));
  return tokens;
}

}  // namespace mirelda::script::vbscript

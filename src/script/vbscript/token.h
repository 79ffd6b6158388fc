// The tokens of page text. Keywords are names with a keyword code, so that a member name after
// "." may be any word and the parser decides where a keyword is one.
#pragma once

#include <cstdint>
#include <string>

#include "mirelda/variant.h"
#include "script/vbscript/ast.h"

namespace mirelda::script::vbscript {

enum class TokenKind : uint8_t {
  kEnd,        // past the last piece
  kNewline,    // end of a line, and the edges of literal and expression pieces
  kColon,      // ":" between statements on one line
  kName,       // a name or a keyword (keyword says which)
  kNumber,     // value: Integer, Long or Double
  kString,     // value: the text, quotes undone
  kDate,       // value: the Date of #...#
  kSymbol,     // symbol: one of + - * / \ ^ & = < > ( ) , . and kLe, kGe, kNe
  kLiteral,    // a literal text piece: literal_index
  kWrite,      // the start of an expression piece: "<%="
};

enum class Keyword : uint8_t {
  kNone,
  kAnd, kByRef, kByVal, kCall, kCase, kClass, kConst, kDefault, kDim, kDo, kEach, kElse,
  kElseIf, kEmpty, kEnd, kEqv, kErase, kError, kExit, kExplicit, kFalse, kFor, kFunction, kGet,
  kGoTo, kIf, kImp, kIn, kIs, kLet, kLoop, kMe, kMod, kNew, kNext, kNot, kNothing, kNull, kOn,
  kOption, kOr, kPreserve, kPrivate, kProperty, kPublic, kRandomize, kReDim, kResume, kSelect,
  kSet, kStep, kSub, kThen, kTo, kTrue, kUntil, kWend, kWhile, kWith, kXor,
};

// Two-character symbols.
inline constexpr char kLe = 'l';  // <=
inline constexpr char kGe = 'g';  // >=
inline constexpr char kNe = 'n';  // <>

struct Token {
  TokenKind kind = TokenKind::kEnd;
  Keyword keyword = Keyword::kNone;
  char symbol = 0;
  bool space_before = false;  // white space separates it from the token before
  uint32_t literal_index = 0;
  ast::Location where;
  std::string text;  // a name as written
  Variant value;
};

// Words that stand for themselves only where a statement expects them; elsewhere they are names.
bool IsContextual(Keyword keyword);

}  // namespace mirelda::script::vbscript

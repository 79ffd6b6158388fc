// Text functions. Positions and lengths count characters (text_units.h); a Null text gives Null.
#include <algorithm>
#include <string>

#include "mirelda/text.h"
#include "mirelda/variant_ops.h"
#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"
#include "script/vbscript/builtins/text_units.h"

namespace mirelda::script::vbscript {
namespace {

bool NullArg(const Variant& v) { return PlainValue(v).is_null(); }

CompareMode ModeArg(const BuiltinCall& call, size_t i) {
  if (!call.has(i)) return CompareMode::kBinary;
  int32_t mode = LongArg(call.args[i]);
  if (mode != 0 && mode != 1) throw Error(errc::kInvalidProcedureCall);
  return mode == 1 ? CompareMode::kText : CompareMode::kBinary;
}

// Byte offset of needle in haystack at or after from, or npos; text mode ignores ASCII case.
size_t Find(std::string_view haystack, std::string_view needle, size_t from, CompareMode mode) {
  if (mode == CompareMode::kBinary) return haystack.find(needle, from);
  return FoldCase(haystack).find(FoldCase(needle), from);
}

Variant Len(BuiltinCall& call) {
  Variant v = PlainValue(call.args[0]);
  if (v.is_null()) return Variant::Null();
  return Variant(static_cast<int32_t>(UnitCount(v.ToText())));
}

Variant Left(BuiltinCall& call) {
  if (NullArg(call.args[0])) return Variant::Null();
  std::string text = TextArg(call.args[0]);
  auto n = static_cast<size_t>(CountArg(call.args[1]));
  return Variant(UnitSlice(text, 0, n));
}

Variant Right(BuiltinCall& call) {
  if (NullArg(call.args[0])) return Variant::Null();
  std::string text = TextArg(call.args[0]);
  size_t n = static_cast<size_t>(CountArg(call.args[1]));
  size_t units = UnitCount(text);
  if (n >= units) return Variant(text);
  return Variant(UnitSlice(text, units - n, n));
}

Variant Mid(BuiltinCall& call) {
  if (NullArg(call.args[0])) return Variant::Null();
  std::string text = TextArg(call.args[0]);
  size_t start = static_cast<size_t>(CountArg(call.args[1], 1)) - 1;
  size_t length = call.has(2) ? static_cast<size_t>(CountArg(call.args[2])) : SIZE_MAX;
  return Variant(UnitSlice(text, start, length));
}

// InStr([start,] text, search[, compare]): the position (from 1) of search in text, 0 when absent.
Variant InStr(BuiltinCall& call) {
  size_t first = 0;
  size_t start = 1;
  if (call.count() >= 3) {
    if (NullArg(call.args[0])) throw Error(errc::kInvalidUseOfNull);
    start = static_cast<size_t>(CountArg(call.args[0], 1));
    first = 1;
  }
  CompareMode mode = call.count() == 4 ? ModeArg(call, 3) : CompareMode::kBinary;
  if (NullArg(call.args[first]) || NullArg(call.args[first + 1])) return Variant::Null();
  std::string text = TextArg(call.args[first]);
  std::string search = TextArg(call.args[first + 1]);
  size_t units = UnitCount(text);
  if (start > units) return Variant(int32_t{0});
  if (search.empty()) return Variant(static_cast<int32_t>(start));
  size_t at = Find(text, search, ByteOffset(text, start - 1), mode);
  if (at == std::string::npos) return Variant(int32_t{0});
  return Variant(static_cast<int32_t>(UnitIndex(text, at) + 1));
}

Variant InStrRev(BuiltinCall& call) {
  if (NullArg(call.args[0]) || NullArg(call.args[1])) return Variant::Null();
  std::string text = TextArg(call.args[0]);
  std::string search = TextArg(call.args[1]);
  int32_t start = call.has(2) ? LongArg(call.args[2]) : -1;
  if (start == 0 || start < -1) throw Error(errc::kInvalidProcedureCall);
  CompareMode mode = ModeArg(call, 3);
  size_t units = UnitCount(text);
  size_t limit = start == -1 ? units : static_cast<size_t>(start);
  if (limit > units) return Variant(int32_t{0});
  if (search.empty()) return Variant(static_cast<int32_t>(limit));
  std::string_view head = std::string_view(text).substr(0, ByteOffset(text, limit));
  size_t at = mode == CompareMode::kBinary ? head.rfind(search)
                                           : FoldCase(head).rfind(FoldCase(search));
  if (at == std::string::npos) return Variant(int32_t{0});
  return Variant(static_cast<int32_t>(UnitIndex(text, at) + 1));
}

// Replace(text, find, with[, start[, count[, compare]]]): the text from start on, with up to count
// occurrences replaced (-1: all).
Variant Replace(BuiltinCall& call) {
  if (NullArg(call.args[0])) return Variant::Null();
  std::string text = TextArg(call.args[0]);
  std::string find = TextArg(call.args[1]);
  std::string with = TextArg(call.args[2]);
  size_t start = call.has(3) ? static_cast<size_t>(CountArg(call.args[3], 1)) : 1;
  int32_t count = call.has(4) ? LongArg(call.args[4]) : -1;
  if (count < -1) throw Error(errc::kInvalidProcedureCall);
  CompareMode mode = ModeArg(call, 5);
  std::string_view rest = std::string_view(text).substr(ByteOffset(text, start - 1));
  if (find.empty() || count == 0) return Variant(std::string(rest));
  std::string folded_rest = mode == CompareMode::kText ? FoldCase(rest) : std::string();
  std::string folded_find = mode == CompareMode::kText ? FoldCase(find) : std::string();
  std::string_view hay = mode == CompareMode::kText ? std::string_view(folded_rest) : rest;
  std::string_view needle = mode == CompareMode::kText ? std::string_view(folded_find) : find;
  std::string out;
  size_t from = 0;
  for (int32_t done = 0; count == -1 || done < count; ++done) {
    size_t at = hay.find(needle, from);
    if (at == std::string::npos) break;
    CheckTextSize(out.size() + (at - from) + with.size(), call.memory_limit);
    out.append(rest.substr(from, at - from));
    out.append(with);
    from = at + needle.size();
  }
  CheckTextSize(out.size() + rest.size() - from, call.memory_limit);
  out.append(rest.substr(from));
  return Variant(std::move(out));
}

Variant Split(BuiltinCall& call) {
  if (NullArg(call.args[0])) return Variant::Null();
  std::string text = TextArg(call.args[0]);
  std::string delimiter = call.has(1) ? TextArg(call.args[1]) : " ";
  int32_t count = call.has(2) ? LongArg(call.args[2]) : -1;
  if (count < -1) throw Error(errc::kInvalidProcedureCall);
  CompareMode mode = ModeArg(call, 3);
  std::vector<Variant> parts;
  if (text.empty() || count == 0) return Variant(VariantArray(std::move(parts)));
  if (delimiter.empty()) {
    parts.emplace_back(text);
    return Variant(VariantArray(std::move(parts)));
  }
  size_t from = 0;
  while (count == -1 || static_cast<int32_t>(parts.size()) < count - 1) {
    size_t at = Find(text, delimiter, from, mode);
    if (at == std::string::npos) break;
    parts.emplace_back(text.substr(from, at - from));
    from = at + delimiter.size();
  }
  parts.emplace_back(text.substr(from));
  return Variant(VariantArray(std::move(parts)));
}

Variant Join(BuiltinCall& call) {
  Variant list = PlainValue(call.args[0]);
  if (!list.is_array() || list.AsArray().rank() > 1) throw Error(errc::kTypeMismatch);
  std::string delimiter = call.has(1) ? TextArg(call.args[1]) : " ";
  std::string out;
  bool first = true;
  for (const Variant& item : list.AsArray().items()) {
    std::string text = PlainValue(item).ToString();
    CheckTextSize(out.size() + delimiter.size() + text.size(), call.memory_limit);
    if (!first) out += delimiter;
    out += text;
    first = false;
  }
  return Variant(std::move(out));
}

template <char (*Map)(char)>
Variant MapAscii(BuiltinCall& call) {
  if (NullArg(call.args[0])) return Variant::Null();
  std::string text = TextArg(call.args[0]);
  std::transform(text.begin(), text.end(), text.begin(), Map);
  return Variant(std::move(text));
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

template <bool kLeft, bool kRight>
Variant TrimSpaces(BuiltinCall& call) {
  if (NullArg(call.args[0])) return Variant::Null();
  std::string text = TextArg(call.args[0]);
  size_t begin = 0;
  size_t end = text.size();
  if (kLeft) {
    while (begin < end && text[begin] == ' ') ++begin;
  }
  if (kRight) {
    while (end > begin && text[end - 1] == ' ') --end;
  }
  return Variant(text.substr(begin, end - begin));
}

Variant Chr(BuiltinCall& call) {
  int32_t code = LongArg(call.args[0]);
  if (code < 0 || code > 255) throw Error(errc::kInvalidProcedureCall);
  return Variant(EncodeCodePoint(static_cast<uint32_t>(code)));
}

Variant ChrW(BuiltinCall& call) {
  int32_t code = LongArg(call.args[0]);
  if (code < -32768 || code > 65535) throw Error(errc::kInvalidProcedureCall);
  return Variant(EncodeCodePoint(static_cast<uint32_t>(code < 0 ? code + 65536 : code)));
}

uint32_t FirstUnitArg(const Variant& arg) {
  std::string text = TextArg(arg);
  if (text.empty()) throw Error(errc::kInvalidProcedureCall);
  return FirstUnit(text);
}

Variant Asc(BuiltinCall& call) {
  uint32_t unit = FirstUnitArg(call.args[0]);
  if (unit <= 0x7FFF) return Variant(static_cast<int16_t>(unit));
  return Variant(static_cast<int32_t>(unit));
}

// AscW gives the unit as a signed 16-bit Integer, as the language's wide characters are.
Variant AscW(BuiltinCall& call) {
  return Variant(static_cast<int16_t>(static_cast<uint16_t>(FirstUnitArg(call.args[0]))));
}

Variant Space(BuiltinCall& call) {
  size_t n = static_cast<size_t>(CountArg(call.args[0]));
  CheckTextSize(n, call.memory_limit);
  return Variant(std::string(n, ' '));
}

Variant StrReverse(BuiltinCall& call) {
  if (NullArg(call.args[0])) throw Error(errc::kInvalidUseOfNull);
  return Variant(ReverseCharacters(TextArg(call.args[0])));
}

Variant MidReplace(BuiltinCall& call) {
  if (NullArg(call.args[0]) || NullArg(call.args[3])) throw Error(errc::kInvalidUseOfNull);
  std::vector<uint16_t> text = Utf16Units(TextArg(call.args[0]));
  std::vector<uint16_t> replacement = Utf16Units(TextArg(call.args[3]));
  auto start = static_cast<size_t>(CountArg(call.args[1], 1));
  if (start > text.size()) throw Error(errc::kInvalidProcedureCall);
  size_t n = std::min(replacement.size(), text.size() - (start - 1));
  if (call.has(2)) n = std::min(n, static_cast<size_t>(CountArg(call.args[2])));
  std::copy_n(replacement.begin(), n, text.begin() + static_cast<ptrdiff_t>(start - 1));
  return Variant(text::FromUtf16(text));
}

// String(count, character): character is a code (as Chr takes it) or a text whose first
// character is repeated.
Variant StringOf(BuiltinCall& call) {
  Variant pattern = PlainValue(call.args[1]);
  if (NullArg(call.args[0]) || pattern.is_null()) return Variant::Null();
  auto n = static_cast<size_t>(CountArg(call.args[0]));
  std::string one;
  if (pattern.is_string()) {
    std::string text = pattern.ToString();
    if (text.empty()) throw Error(errc::kInvalidProcedureCall);
    one = UnitSlice(text, 0, 1);
  } else {
    int32_t code = pattern.ToLong();
    if (code < 0) throw Error(errc::kInvalidProcedureCall);
    one = EncodeCodePoint(static_cast<uint32_t>(code % 256));
  }
  CheckTextSize(n * one.size(), call.memory_limit);
  std::string out;
  out.reserve(n * one.size());
  for (size_t i = 0; i < n; ++i) out += one;
  return Variant(std::move(out));
}

// Filter(list, match[, include[, compare]]): the items of a one-dimensional list that hold match
// (or, with include False, that do not), as a new array from 0.
Variant Filter(BuiltinCall& call) {
  Variant list = PlainValue(call.args[0]);
  if (list.is_null()) throw Error(errc::kInvalidUseOfNull);
  if (!list.is_array() || list.AsArray().rank() != 1) throw Error(errc::kTypeMismatch);
  if (NullArg(call.args[1])) throw Error(errc::kInvalidUseOfNull);
  std::string match = TextArg(call.args[1]);
  bool include = !call.has(2) || PlainValue(call.args[2]).ToBool();
  CompareMode mode = ModeArg(call, 3);
  std::vector<Variant> kept;
  for (const Variant& item : list.AsArray().items()) {
    std::string text = TextArg(item);
    bool found = Find(text, match, 0, mode) != std::string::npos;
    if (found == include) kept.emplace_back(std::move(text));
  }
  return Variant(VariantArray(std::move(kept)));
}

Variant StrComp(BuiltinCall& call) {
  Variant a = PlainValue(call.args[0]);
  Variant b = PlainValue(call.args[1]);
  if (a.is_null() || b.is_null()) return Variant::Null();
  int order = CompareText(a.ToText(), b.ToText(), ModeArg(call, 2));
  return Variant(static_cast<int16_t>(order < 0 ? -1 : order > 0 ? 1 : 0));
}

constexpr Builtin kStrings[] = {
    {"Len", 1, 1, Len},
    {"Left", 2, 2, Left},
    {"Right", 2, 2, Right},
    {"Mid", 2, 3, Mid},
    {"InStr", 2, 4, InStr},
    {"InStrRev", 2, 4, InStrRev},
    {"Replace", 3, 6, Replace},
    {"Split", 1, 4, Split},
    {"Join", 1, 2, Join},
    {"LCase", 1, 1, MapAscii<Lower>},
    {"UCase", 1, 1, MapAscii<Upper>},
    {"Trim", 1, 1, TrimSpaces<true, true>},
    {"LTrim", 1, 1, TrimSpaces<true, false>},
    {"RTrim", 1, 1, TrimSpaces<false, true>},
    {"Chr", 1, 1, Chr},
    {"ChrW", 1, 1, ChrW},
    {"Asc", 1, 1, Asc},
    {"AscW", 1, 1, AscW},
    {"Space", 1, 1, Space},
    {"StrReverse", 1, 1, StrReverse},
    {"StrComp", 2, 3, StrComp},
    {"String", 2, 2, StringOf},
    {"Filter", 2, 4, Filter},
};

}  // namespace

std::span<const Builtin> StringBuiltins() { return kStrings; }

const Builtin& MidStatementBuiltin() {
  static constexpr Builtin kMidStatement{"Mid", 4, 4, MidReplace};
  return kMidStatement;
}

}  // namespace mirelda::script::vbscript

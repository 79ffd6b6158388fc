// The byte forms of the text functions, for the binary data of Request.BinaryRead. A byte string
// is a Byte() array; a text argument counts as its UTF-16 bytes, low byte first, as the language
// holds text in memory, and what is cut from a text reads back as text (ByteText).
#include "mirelda/variant_ops.h"
#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"
#include "script/vbscript/builtins/text_units.h"

namespace mirelda::script::vbscript {
namespace {

std::string ByteForm(const Variant& value) {
  if (value.is_bytes()) return std::string(value.AsBytes().view());
  std::string out;
  for (uint16_t unit : Utf16Units(value.ToText())) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

// The piece [start, start + count) of the value's bytes, as the same kind of value it came from.
Variant Piece(const Variant& value, size_t start, size_t count) {
  if (value.is_bytes()) {
    const ByteArray& bytes = value.AsBytes();
    if (start >= bytes.size()) return Variant(ByteArray());
    return Variant(bytes.Slice(start, std::min(count, bytes.size() - start)));
  }
  std::string form = ByteForm(value);
  if (start >= form.size()) return Variant("");
  return Variant(ByteText(ByteArray(std::string_view(form).substr(start, count))));
}

Variant LenB(BuiltinCall& call) {
  Variant v = PlainValue(call.args[0]);
  if (v.is_null()) return v;
  if (v.is_bytes()) return Variant(static_cast<int32_t>(v.AsBytes().size()));
  return Variant(static_cast<int32_t>(Utf16Units(v.ToText()).size() * 2));
}

Variant LeftB(BuiltinCall& call) {
  Variant v = PlainValue(call.args[0]);
  if (v.is_null()) return v;
  return Piece(v, 0, static_cast<size_t>(CountArg(call.args[1])));
}

Variant RightB(BuiltinCall& call) {
  Variant v = PlainValue(call.args[0]);
  if (v.is_null()) return v;
  auto n = static_cast<size_t>(CountArg(call.args[1]));
  size_t size = v.is_bytes() ? v.AsBytes().size() : ByteForm(v).size();
  return n >= size ? Piece(v, 0, size) : Piece(v, size - n, n);
}

Variant MidB(BuiltinCall& call) {
  Variant v = PlainValue(call.args[0]);
  if (v.is_null()) return v;
  auto start = static_cast<size_t>(CountArg(call.args[1], 1)) - 1;
  size_t count = call.has(2) ? static_cast<size_t>(CountArg(call.args[2])) : SIZE_MAX;
  return Piece(v, start, count);
}

Variant AscB(BuiltinCall& call) {
  Variant v = PlainValue(call.args[0]);
  std::string form = ByteForm(v);
  if (form.empty()) throw Error(errc::kInvalidProcedureCall);
  return Variant(static_cast<int16_t>(static_cast<uint8_t>(form[0])));
}

Variant ChrB(BuiltinCall& call) {
  int32_t code = LongArg(call.args[0]);
  if (code < 0 || code > 255) throw Error(errc::kInvalidProcedureCall);
  char byte = static_cast<char>(code);
  return Variant(ByteArray(std::string_view(&byte, 1)));
}

// InStrB([start,] data, search[, compare]): the byte position (from 1) of search, 0 when absent.
Variant InStrB(BuiltinCall& call) {
  size_t first = 0;
  size_t start = 1;
  if (call.count() >= 3) {
    if (PlainValue(call.args[0]).is_null()) throw Error(errc::kInvalidUseOfNull);
    start = static_cast<size_t>(CountArg(call.args[0], 1));
    first = 1;
  }
  Variant data = PlainValue(call.args[first]);
  Variant search = PlainValue(call.args[first + 1]);
  if (data.is_null() || search.is_null()) return Variant::Null();
  std::string haystack = ByteForm(data);
  std::string needle = ByteForm(search);
  if (start > haystack.size()) return Variant(int32_t{0});
  if (needle.empty()) return Variant(static_cast<int32_t>(start));
  size_t at = haystack.find(needle, start - 1);
  return Variant(at == std::string::npos ? int32_t{0} : static_cast<int32_t>(at + 1));
}

constexpr Builtin kBytes[] = {
    {"LenB", 1, 1, LenB}, {"LeftB", 2, 2, LeftB}, {"RightB", 2, 2, RightB}, {"MidB", 2, 3, MidB},
    {"AscB", 1, 1, AscB}, {"ChrB", 1, 1, ChrB},   {"InStrB", 2, 4, InStrB},
};

}  // namespace

std::span<const Builtin> ByteBuiltins() { return kBytes; }

}  // namespace mirelda::script::vbscript

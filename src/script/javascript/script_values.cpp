#include "script/javascript/script_values.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "mirelda/error.h"
#include "platform/utf8.h"
#include "script/javascript/script_objects.h"

namespace mirelda::script::javascript {
namespace {

constexpr int kMaxDepth = 32;

bool IsInstanceOf(duk_context* ctx, duk_idx_t idx, const char* constructor) {
  duk_idx_t value = duk_normalize_index(ctx, idx);
  duk_get_global_string(ctx, constructor);
  bool is = duk_is_function(ctx, -1) && duk_instanceof(ctx, value, -1);
  duk_pop(ctx);
  return is;
}

Variant NumberToVariant(double d) {
  if (std::isfinite(d) && d == std::trunc(d) && d >= INT32_MIN && d <= INT32_MAX &&
      !(d == 0 && std::signbit(d))) {
    return Variant(static_cast<int32_t>(d));
  }
  return Variant(d);
}

Variant ToVariantAt(duk_context* ctx, duk_idx_t idx, Undefined undefined, int depth) {
  idx = duk_normalize_index(ctx, idx);
  switch (duk_get_type(ctx, idx)) {
    case DUK_TYPE_UNDEFINED:
    case DUK_TYPE_NONE:
      return undefined == Undefined::kMissing ? Variant::Missing() : Variant();
    case DUK_TYPE_NULL:
      return Variant::Null();
    case DUK_TYPE_BOOLEAN:
      return Variant(static_cast<bool>(duk_get_boolean(ctx, idx)));
    case DUK_TYPE_NUMBER:
      return NumberToVariant(duk_get_number(ctx, idx));
    case DUK_TYPE_STRING: {
      if (duk_is_symbol(ctx, idx)) throw Error(errc::kTypeMismatch, "A symbol has no value here");
      duk_size_t size = 0;
      const char* s = duk_get_lstring(ctx, idx, &size);
      return Variant(ScriptStringToUtf8(std::string_view(s, size)));
    }
    case DUK_TYPE_BUFFER: {
      duk_size_t size = 0;
      auto* data = static_cast<const char*>(duk_get_buffer_data(ctx, idx, &size));
      return Variant(ByteArray(std::string_view(data ? data : "", data ? size : 0)));
    }
    default:
      break;
  }
  std::shared_ptr<Dispatch> member_of;
  std::string member;
  if (std::shared_ptr<Dispatch> object = WrappedObject(ctx, idx, &member_of, &member)) {
    return Variant(std::move(object));
  }
  if (member_of) return member_of->Invoke(member, MemberKind::kGet);
  if (duk_is_buffer_data(ctx, idx)) {
    duk_size_t size = 0;
    auto* data = static_cast<const char*>(duk_get_buffer_data(ctx, idx, &size));
    return Variant(ByteArray(std::string_view(data ? data : "", data ? size : 0)));
  }
  if (duk_is_array(ctx, idx)) {
    if (depth >= kMaxDepth) throw Error(errc::kTypeMismatch, "Arrays nest too deeply");
    duk_size_t length = duk_get_length(ctx, idx);
    std::vector<Variant> items;
    items.reserve(length);
    for (duk_size_t i = 0; i < length; ++i) {
      duk_get_prop_index(ctx, idx, static_cast<duk_uarridx_t>(i));
      items.push_back(ToVariantAt(ctx, -1, Undefined::kEmpty, depth + 1));
      duk_pop(ctx);
    }
    return Variant(VariantArray(std::move(items)));
  }
  if (IsInstanceOf(ctx, idx, "Date")) {
    duk_get_prop_string(ctx, idx, "getTime");
    duk_dup(ctx, idx);
    duk_call_method(ctx, 0);
    double ms = duk_get_number(ctx, -1);
    duk_pop(ctx);
    if (!std::isfinite(ms)) throw Error(errc::kTypeMismatch, "An invalid Date has no value");
    return Variant(Date::FromUnixTime(static_cast<int64_t>(std::floor(ms / 1000))));
  }
  // Any other script object passes as its text, as it would print.
  duk_dup(ctx, idx);
  duk_size_t size = 0;
  const char* s = duk_safe_to_lstring(ctx, -1, &size);
  std::string text = ScriptStringToUtf8(std::string_view(s, size));
  duk_pop(ctx);
  return Variant(std::move(text));
}

void PushBytes(duk_context* ctx, const ByteArray& bytes) {
  void* buffer = duk_push_fixed_buffer(ctx, bytes.size());
  if (bytes.size() > 0) std::memcpy(buffer, bytes.data(), bytes.size());
  duk_push_buffer_object(ctx, -1, 0, bytes.size(), DUK_BUFOBJ_UINT8ARRAY);
  duk_remove(ctx, -2);
}

}  // namespace

std::string ScriptStringToUtf8(std::string_view s) {
  if (s.find('\xED') == std::string_view::npos) return std::string(s);
  std::string out;
  out.reserve(s.size());
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  auto continues = [&](size_t k) { return (b(k) & 0xC0) == 0x80; };
  for (size_t i = 0; i < s.size(); ++i) {
    // A high surrogate (ED A0..AF xx) followed by a low one (ED B0..BF xx), each half in its
    // three-byte form, is one character past U+FFFF.
    if (i + 5 < s.size() && b(i) == 0xED && (b(i + 1) & 0xF0) == 0xA0 && continues(i + 2) &&
        b(i + 3) == 0xED && (b(i + 4) & 0xF0) == 0xB0 && continues(i + 5)) {
      char32_t high = ((b(i + 1) & 0x0Fu) << 6) | (b(i + 2) & 0x3Fu);
      char32_t low = ((b(i + 4) & 0x0Fu) << 6) | (b(i + 5) & 0x3Fu);
      platform::utf8::Append(0x10000 + (high << 10) + low, out);
      i += 5;
      continue;
    }
    out += s[i];
  }
  return out;
}

Variant ToVariant(duk_context* ctx, duk_idx_t idx, Undefined undefined) {
  return ToVariantAt(ctx, idx, undefined, 0);
}

void PushVariant(duk_context* ctx, const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kMissing:
    case VarType::kError:
      duk_push_undefined(ctx);
      return;
    case VarType::kNull:
      duk_push_null(ctx);
      return;
    case VarType::kBoolean:
      duk_push_boolean(ctx, v.ToBool());
      return;
    case VarType::kByte:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kSingle:
    case VarType::kDouble:
    case VarType::kCurrency:
      duk_push_number(ctx, v.ToDouble());
      return;
    case VarType::kDate:
      duk_get_global_string(ctx, "Date");
      duk_push_number(ctx, static_cast<double>(v.ToDate().ToUnixTime()) * 1000.0);
      duk_new(ctx, 1);
      return;
    case VarType::kString: {
      const std::string& s = v.ToString();
      duk_push_lstring(ctx, s.data(), s.size());
      return;
    }
    case VarType::kArray: {
      const VariantArray& array = v.AsArray();
      duk_idx_t arr = duk_push_array(ctx);
      duk_uarridx_t i = 0;
      for (const Variant& item : array.items()) {
        PushVariant(ctx, item);
        duk_put_prop_index(ctx, arr, i++);
      }
      return;
    }
    case VarType::kBytes:
      PushBytes(ctx, v.AsBytes());
      return;
    case VarType::kObject:
      PushObject(ctx, v.ToObject());
      return;
  }
  duk_push_undefined(ctx);
}

}  // namespace mirelda::script::javascript

#include "mirelda/variant_codec.h"

#include <bit>
#include <cstring>

#include "mirelda/error.h"

namespace mirelda {
namespace {

constexpr uint8_t kFormat = 1;
constexpr int kMaxDepth = 64;

[[noreturn]] void Malformed(const char* what) {
  throw Error(errc::kTypeMismatch, std::string("A stored value cannot be read: ") + what);
}

void PutFixed(std::string& out, uint64_t bits, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

void PutSize(std::string& out, uint64_t n) {
  while (n >= 0x80) {
    out.push_back(static_cast<char>((n & 0x7F) | 0x80));
    n >>= 7;
  }
  out.push_back(static_cast<char>(n));
}

void PutDouble(std::string& out, double d) { PutFixed(out, std::bit_cast<uint64_t>(d), 8); }

void Put(std::string& out, const Variant& v) {
  VarType type = v.type();
  out.push_back(static_cast<char>(type));
  switch (type) {
    case VarType::kEmpty:
    case VarType::kNull:
    case VarType::kMissing:
      return;
    case VarType::kBoolean:
      out.push_back(v.ToBool() ? 1 : 0);
      return;
    case VarType::kByte:
      out.push_back(static_cast<char>(v.ToByte()));
      return;
    case VarType::kInteger:
      PutFixed(out, static_cast<uint16_t>(*v.IntegerIf()), 2);
      return;
    case VarType::kLong:
      PutFixed(out, static_cast<uint32_t>(*v.LongIf()), 4);
      return;
    case VarType::kSingle:
      PutFixed(out, std::bit_cast<uint32_t>(v.ToSingle()), 4);
      return;
    case VarType::kDouble:
      PutDouble(out, *v.DoubleIf());
      return;
    case VarType::kCurrency:
      PutFixed(out, static_cast<uint64_t>(v.ToCurrency().scaled), 8);
      return;
    case VarType::kDate:
      PutDouble(out, v.ToDate().serial);
      return;
    case VarType::kError:
      PutFixed(out, static_cast<uint32_t>(v.ErrorIf()->code), 4);
      return;
    case VarType::kString: {
      std::string text = v.ToString();
      PutSize(out, text.size());
      out += text;
      return;
    }
    case VarType::kBytes: {
      std::string_view bytes = v.AsBytes().view();
      PutSize(out, bytes.size());
      out += bytes;
      return;
    }
    case VarType::kArray: {
      const VariantArray& a = v.AsArray();
      out.push_back(a.fixed() ? 1 : 0);
      std::vector<ArrayBound> bounds = a.bounds();
      PutSize(out, bounds.size());
      for (const ArrayBound& b : bounds) {
        PutFixed(out, static_cast<uint32_t>(b.lower), 4);
        PutFixed(out, static_cast<uint32_t>(b.upper), 4);
      }
      for (const Variant& item : a.items()) Put(out, item);
      return;
    }
    case VarType::kObject:
      if (v.ToObject()) {
        throw Error(errc::kTypeMismatch,
                    "An object cannot be kept in a store shared with other processes");
      }
      return;
  }
}

class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}

  bool done() const { return rest_.empty(); }

  uint64_t Fixed(int bytes) {
    Need(static_cast<size_t>(bytes));
    uint64_t bits = 0;
    for (int i = 0; i < bytes; ++i) {
      bits |= uint64_t{static_cast<uint8_t>(rest_[static_cast<size_t>(i)])} << (8 * i);
    }
    rest_.remove_prefix(static_cast<size_t>(bytes));
    return bits;
  }

  uint64_t Size() {
    uint64_t n = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      uint8_t byte = static_cast<uint8_t>(Fixed(1));
      n |= uint64_t{byte & 0x7Fu} << shift;
      if (!(byte & 0x80)) {
        if (n > rest_.size()) Malformed("a length runs past the end");
        return n;
      }
    }
    Malformed("a length is too long");
  }

  std::string_view Take(size_t n) {
    Need(n);
    std::string_view part = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return part;
  }

  Variant Value(int depth) {
    if (depth > kMaxDepth) Malformed("arrays nest too deep");
    auto type = static_cast<VarType>(Fixed(1));
    switch (type) {
      case VarType::kEmpty:
        return Variant();
      case VarType::kNull:
        return Variant::Null();
      case VarType::kMissing:
        return Variant::Missing();
      case VarType::kBoolean: {
        uint64_t b = Fixed(1);
        if (b > 1) Malformed("a Boolean is neither true nor false");
        return Variant(b == 1);
      }
      case VarType::kByte:
        return Variant(static_cast<uint8_t>(Fixed(1)));
      case VarType::kInteger:
        return Variant(static_cast<int16_t>(static_cast<uint16_t>(Fixed(2))));
      case VarType::kLong:
        return Variant(static_cast<int32_t>(static_cast<uint32_t>(Fixed(4))));
      case VarType::kSingle:
        return Variant(std::bit_cast<float>(static_cast<uint32_t>(Fixed(4))));
      case VarType::kDouble:
        return Variant(std::bit_cast<double>(Fixed(8)));
      case VarType::kCurrency:
        return Variant(Currency{static_cast<int64_t>(Fixed(8))});
      case VarType::kDate:
        return Variant(Date{std::bit_cast<double>(Fixed(8))});
      case VarType::kError:
        return Variant(ErrorValue{static_cast<int32_t>(static_cast<uint32_t>(Fixed(4)))});
      case VarType::kString:
        return Variant(std::string(Take(Size())));
      case VarType::kBytes:
        return Variant(ByteArray(Take(Size())));
      case VarType::kObject:
        return Variant::Nothing();
      case VarType::kArray:
        return Array(depth);
    }
    Malformed("an unknown subtype");
  }

 private:
  void Need(size_t n) const {
    if (n > rest_.size()) Malformed("it ends too soon");
  }

  Variant Array(int depth) {
    uint64_t fixed = Fixed(1);
    if (fixed > 1) Malformed("an array's kind is unknown");
    uint64_t rank = Size();
    if (rank > 60) Malformed("an array has too many dimensions");
    std::vector<ArrayBound> bounds;
    // An erased dynamic array has no dimensions and no elements.
    uint64_t count = rank == 0 ? 0 : 1;
    for (uint64_t d = 0; d < rank; ++d) {
      ArrayBound b{static_cast<int32_t>(static_cast<uint32_t>(Fixed(4))),
                   static_cast<int32_t>(static_cast<uint32_t>(Fixed(4)))};
      int64_t extent = int64_t{b.upper} - b.lower + 1;
      if (extent < 0) Malformed("an array's bounds are reversed");
      // Every element takes at least one byte, so a count beyond the bytes left is a lie that
      // must not become an allocation.
      count *= static_cast<uint64_t>(extent);
      if (count > rest_.size() + 1) Malformed("an array is larger than its bytes");
      bounds.push_back(b);
    }
    if (count > rest_.size()) Malformed("an array is larger than its bytes");
    VariantArray a = VariantArray::WithBounds(bounds, fixed == 1);
    std::vector<int64_t> index(rank);
    for (uint64_t n = 0; n < count; ++n) {
      // Items come in storage order; the offset of item n is rebuilt from the bounds.
      uint64_t rest = n;
      for (size_t d = 0; d < rank; ++d) {
        uint64_t extent = static_cast<uint64_t>(int64_t{bounds[d].upper} - bounds[d].lower + 1);
        index[d] = bounds[d].lower + static_cast<int64_t>(rest % extent);
        rest /= extent;
      }
      a.at(std::span<const int64_t>(index)) = Value(depth + 1);
    }
    return Variant(std::move(a));
  }

  std::string_view rest_;
};

}  // namespace

std::string EncodeVariant(const Variant& value) {
  std::string out(1, static_cast<char>(kFormat));
  Put(out, value);
  return out;
}

Variant DecodeVariant(std::string_view bytes) {
  if (bytes.empty() || static_cast<uint8_t>(bytes[0]) != kFormat) {
    Malformed("its form is unknown");
  }
  Reader reader(bytes.substr(1));
  Variant v = reader.Value(0);
  if (!reader.done()) Malformed("bytes follow the value");
  return v;
}

}  // namespace mirelda

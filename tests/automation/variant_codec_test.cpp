// The byte form of values kept outside the process: every data subtype comes back with its type
// and value, and bytes that are not a whole encoding are refused without reading past them.
#include "mirelda/variant_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "cell.h"
#include "support/error_matchers.h"

namespace mirelda {
namespace {

VariantArray Matrix() {
  VariantArray a = VariantArray::WithBounds({{1, 2}, {-1, 1}}, true);
  int n = 0;
  for (int64_t i = 1; i <= 2; ++i) {
    for (int64_t j = -1; j <= 1; ++j) {
      int64_t at[] = {i, j};
      a.at(std::span<const int64_t>(at)) = Variant(int32_t{n++});
    }
  }
  return a;
}

TEST(VariantCodec, EveryDataSubtypeComesBackExactly) {
  VariantArray erased({Variant(1.5)}, 0);
  erased.Erase();
  const Variant values[] = {
      Variant(),
      Variant::Null(),
      Variant::Missing(),
      Variant(true),
      Variant(false),
      Variant(uint8_t{255}),
      Variant(int16_t{-32768}),
      Variant(int32_t{std::numeric_limits<int32_t>::min()}),
      Variant(float{-0.1f}),
      Variant(-0.0),
      Variant(std::numeric_limits<double>::infinity()),
      Variant(Currency{-922337203685477LL * 10000}),
      Variant(Date::FromParts(1899, 12, 30, 23, 59, 59)),
      Variant(Date{-657434.5}),
      Variant(ErrorValue{448}),
      Variant(std::string("")),
      Variant(std::string("a\0b\xe4\xb8\xad\xff", 7)),
      Variant(std::string(200000, 'x')),
      Variant(ByteArray(std::string_view("\0\x01\x80", 3))),
      Variant(ByteArray()),
      Variant::Nothing(),
      Variant(VariantArray()),
      Variant(erased),
      Variant(VariantArray(
          {Variant("x"), Variant::Null(), Variant(VariantArray({Variant(2.5)}, 3))}, -2)),
      Variant(Matrix()),
  };
  for (const Variant& v : values) {
    Variant back = DecodeVariant(EncodeVariant(v));
    EXPECT_EQ(back.type(), v.type()) << VarTypeNumber(v);
    EXPECT_TRUE(back == v) << VarTypeNumber(v) << " " << (v.is_array() ? "" : v.ToText());
    if (v.is_array()) {
      EXPECT_EQ(back.AsArray().fixed(), v.AsArray().fixed());
    }
  }
  // NaN never equals itself, so its bits are compared.
  double nan = std::nan("7");
  EXPECT_TRUE(std::isnan(*DecodeVariant(EncodeVariant(Variant(nan))).DoubleIf()));
}

TEST(VariantCodec, ObjectsStayInTheProcess) {
  Variant object(std::make_shared<testing::Cell>());
  EXPECT_ERROR(EncodeVariant(object), errc::kTypeMismatch);
  EXPECT_ERROR(EncodeVariant(Variant(VariantArray({Variant(1.0), object}))), errc::kTypeMismatch);
}

TEST(VariantCodec, BrokenBytesAreRefusedNotRead) {
  std::string good = EncodeVariant(Variant(VariantArray({Variant("abc"), Variant(2.0)})));
  std::vector<std::string> broken = {
      "",
      std::string("\x02\x00", 2),                      // unknown form
      std::string("\x01\x63", 2),                      // unknown subtype
      std::string("\x01\x03\x02", 3),                  // a Boolean that is 2
      std::string("\x01\x08\x01\x02", 4),              // a Double cut short
      std::string("\x01\x0b\xff\xff\xff\xff\x0f", 7),  // a text longer than the bytes
      EncodeVariant(Variant(1.0)) + "x",               // trailing bytes
  };
  for (size_t cut = 1; cut < good.size(); ++cut) broken.push_back(good.substr(0, cut));
  // An array that claims 2^31 * 2^31 elements in a few bytes.
  std::string huge("\x01\x0c\x00\x02", 4);
  for (int d = 0; d < 2; ++d) huge += std::string("\x00\x00\x00\x80\xff\xff\xff\x7f", 8);
  broken.push_back(huge);
  // Arrays nested deeper than any page makes.
  std::string deep("\x01", 1);
  for (int d = 0; d < 100; ++d)
    deep += std::string("\x0c\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00", 11);
  deep += '\0';
  broken.push_back(deep);
  for (size_t i = 0; i < broken.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i << ", " << broken[i].size() << " bytes");
    EXPECT_ERROR(DecodeVariant(broken[i]), errc::kTypeMismatch);
  }
}

}  // namespace
}  // namespace mirelda

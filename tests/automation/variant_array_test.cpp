// Arrays of any rank: bounds, column-major order, ReDim [Preserve], Erase, and copies that share
// storage until one of them is written.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "mirelda/error.h"
#include "mirelda/variant.h"
#include "support/error_matchers.h"

namespace mirelda {
namespace {

using Indices = std::vector<int64_t>;

TEST(VariantArrayShape, BoundsRankAndErrors) {
  struct Case {
    const char* what;
    std::vector<ArrayBound> bounds;
    size_t rank;
    size_t size;
    int32_t error;
  };
  const std::vector<Case> cases = {
      {"undimensioned", {}, 0, 0, 0},
      {"Dim a(3)", {{0, 3}}, 1, 4, 0},
      {"Dim a(2, 3)", {{0, 2}, {0, 3}}, 2, 12, 0},
      {"empty dimension", {{0, -1}}, 1, 0, 0},
      {"other lower bounds", {{-2, 2}, {5, 6}}, 2, 10, 0},
      {"negative size", {{0, -2}}, 0, 0, errc::kSubscriptOutOfRange},
      {"61 dimensions", std::vector<ArrayBound>(61, ArrayBound{0, 0}), 0, 0,
       errc::kSubscriptOutOfRange},
      {"60 dimensions", std::vector<ArrayBound>(60, ArrayBound{0, 0}), 60, 1, 0},
      {"too large", {{0, 2000000000}, {0, 2000000000}}, 0, 0, errc::kOutOfMemory},
      {"too large in one", {{0, 2147483646}}, 0, 0, errc::kOutOfMemory},
  };
  for (const Case& c : cases) {
    if (c.error) {
      EXPECT_ERROR(VariantArray::WithBounds(c.bounds), c.error);
      continue;
    }
    VariantArray a = VariantArray::WithBounds(c.bounds);
    EXPECT_EQ(a.rank(), c.rank) << c.what;
    EXPECT_EQ(a.size(), c.size) << c.what;
    EXPECT_EQ(a.bounds(), c.bounds) << c.what;
    for (size_t d = 1; d <= c.rank; ++d) {
      EXPECT_EQ(a.lower_bound(d), c.bounds[d - 1].lower) << c.what;
      EXPECT_EQ(a.upper_bound(d), c.bounds[d - 1].upper) << c.what;
    }
    EXPECT_ERROR(a.lower_bound(0), errc::kSubscriptOutOfRange);
    EXPECT_ERROR(a.upper_bound(c.rank + 1), errc::kSubscriptOutOfRange);
    for (const Variant& item : a.items()) EXPECT_TRUE(item.is_empty()) << c.what;
  }
}

TEST(VariantArrayShape, ColumnMajorIndexingAndOtherLowerBounds) {
  VariantArray a = VariantArray::WithBounds({{0, 1}, {1, 3}});
  for (int64_t j = 1; j <= 3; ++j) {
    for (int64_t i = 0; i <= 1; ++i) {
      a.at(Indices{i, j}) = Variant(std::to_string(i) + std::to_string(j));
    }
  }
  std::vector<std::string> order;
  for (const Variant& item : a.items()) order.push_back(item.ToString());
  EXPECT_EQ(order, (std::vector<std::string>{"01", "11", "02", "12", "03", "13"}));
  EXPECT_EQ(a.at(Indices{1, 2}).ToString(), "12");

  const std::vector<Indices> bad = {{2, 1}, {0, 0}, {0, 4}, {-1, 1}, {0}, {0, 1, 1}, {}};
  for (const Indices& indices : bad) {
    EXPECT_ERROR(a.at(indices), errc::kSubscriptOutOfRange);
    EXPECT_ERROR(std::as_const(a).at(indices), errc::kSubscriptOutOfRange);
  }
  EXPECT_ERROR(a.at(int64_t{0}), errc::kSubscriptOutOfRange);  // one index for two dimensions
  EXPECT_ERROR(VariantArray::WithBounds({}).at(int64_t{0}), errc::kSubscriptOutOfRange);

  VariantArray from5({Variant("a"), Variant("b"), Variant("c")}, 5);
  EXPECT_EQ(from5.lower_bound(), 5);
  EXPECT_EQ(from5.upper_bound(), 7);
  EXPECT_EQ(from5.at(6).ToString(), "b");
  EXPECT_ERROR(from5.at(4), errc::kSubscriptOutOfRange);
  EXPECT_ERROR(from5.at(8), errc::kSubscriptOutOfRange);
}

TEST(VariantArrayRedim, PreserveKeepsElementsAndRefusesOtherChanges) {
  VariantArray a = VariantArray::WithBounds({{0, 1}, {0, 1}});
  a.at(Indices{0, 0}) = Variant(1);
  a.at(Indices{1, 1}) = Variant(4);
  a.Redim({{0, 1}, {0, 2}}, true);
  EXPECT_EQ(a.at(Indices{0, 0}), Variant(1));
  EXPECT_EQ(a.at(Indices{1, 1}), Variant(4));
  EXPECT_TRUE(a.at(Indices{1, 2}).is_empty());
  a.Redim({{0, 1}, {0, 0}}, true);  // shrinking drops the last column
  EXPECT_EQ(a.size(), 2u);
  EXPECT_EQ(a.at(Indices{0, 0}), Variant(1));

  const std::vector<std::vector<ArrayBound>> refused = {
      {{0, 2}, {0, 0}},  // a first dimension changes
      {{0, 1}, {1, 1}},  // the last lower bound changes
      {{0, 1}},          // the rank changes
  };
  for (const auto& bounds : refused)
    EXPECT_ERROR(a.Redim(bounds, true), errc::kSubscriptOutOfRange);
  EXPECT_ERROR(a.Redim({{0, -5}}, false), errc::kSubscriptOutOfRange);

  a.Redim({{1, 3}}, false);  // without preserve anything goes, and the elements are Empty
  EXPECT_EQ(a.rank(), 1u);
  EXPECT_EQ(a.lower_bound(), 1);
  for (const Variant& item : a.items()) EXPECT_TRUE(item.is_empty());

  VariantArray dynamic = VariantArray::WithBounds({});
  dynamic.Redim({{0, 2}}, true);  // preserve on a never-dimensioned array just dimensions it
  EXPECT_EQ(dynamic.upper_bound(), 2);
}

TEST(VariantArrayRedim, FixedArraysRefuseRedimAndEraseToEmpty) {
  VariantArray fixed = VariantArray::WithBounds({{0, 2}}, true);
  fixed.at(1) = Variant("x");
  EXPECT_ERROR(fixed.Redim({{0, 5}}, false), errc::kArrayFixed);
  EXPECT_ERROR(fixed.Redim({{0, 5}}, true), errc::kArrayFixed);
  fixed.Erase();
  EXPECT_TRUE(fixed.fixed());
  EXPECT_EQ(fixed.upper_bound(), 2);
  EXPECT_TRUE(fixed.at(1).is_empty());

  VariantArray dynamic({Variant(1), Variant(2)});
  dynamic.Erase();
  EXPECT_EQ(dynamic.rank(), 0u);
  EXPECT_EQ(dynamic.size(), 0u);
  EXPECT_ERROR(dynamic.upper_bound(), errc::kSubscriptOutOfRange);
}

TEST(VariantArrayCopies, CopiesAreValuesThatShareUntilWrittenAsTextIs) {
  Variant original(VariantArray({Variant(1), Variant(2)}));
  Variant copy = original;
  const Variant* before = &copy.AsArray().items()[0];
  EXPECT_EQ(before, &original.AsArray().items()[0]);  // shared, not copied

  copy.MutableArray()->at(0) = Variant(9);
  EXPECT_EQ(copy.AsArray().at(0), Variant(9));
  EXPECT_EQ(original.AsArray().at(0), Variant(1));

  // A variant that owns its array writes in place.
  const Variant* owned = &copy.AsArray().items()[0];
  copy.MutableArray()->at(1) = Variant(8);
  EXPECT_EQ(&copy.AsArray().items()[0], owned);

  // Arrays of arrays copy by value at every level.
  Variant outer(VariantArray({original}));
  Variant outer_copy = outer;
  outer_copy.MutableArray()->at(0).MutableArray()->at(0) = Variant("changed");
  EXPECT_EQ(outer.AsArray().at(0).AsArray().at(0), Variant(1));
  EXPECT_EQ(original.AsArray().at(0), Variant(1));

  // Two default arrays share one empty storage; writing one leaves the other alone.
  VariantArray a, b;
  a.Redim({{0, 0}}, true);
  a.at(0) = Variant(1);
  EXPECT_EQ(b.size(), 0u);
  EXPECT_EQ(VariantArray().upper_bound(), -1);

  // Text changes in place too; other subtypes offer neither.
  Variant s("ab");
  s.MutableText()->append("c");
  EXPECT_EQ(s.ToString(), "abc");
  EXPECT_EQ(Variant(1).MutableArray(), nullptr);
  EXPECT_EQ(Variant(1).MutableText(), nullptr);
  EXPECT_EQ(Variant().MutableText(), nullptr);
}

}  // namespace
}  // namespace mirelda

// Arrays of the page language: any rank, any bounds, column-major, copy-on-write.
#include <limits>
#include <new>
#include <utility>

#include "mirelda/error.h"
#include "mirelda/variant.h"

namespace mirelda {

struct VariantArray::Storage {
  std::vector<ArrayBound> bounds;
  std::vector<Variant> items;
};

namespace {

constexpr size_t kMaxRank = 60;
// Beyond this an array would take more than a gigabyte: Out of memory rather than an attempt.
constexpr uint64_t kMaxElements = (uint64_t{1} << 30) / sizeof(Variant);

[[noreturn]] void OutOfRange() { throw Error(errc::kSubscriptOutOfRange); }

int64_t Extent(const ArrayBound& b) {
  return static_cast<int64_t>(b.upper) - static_cast<int64_t>(b.lower) + 1;
}

// The element count of bounds, after checking them.
size_t CountOf(const std::vector<ArrayBound>& bounds) {
  if (bounds.size() > kMaxRank) OutOfRange();
  if (bounds.empty()) return 0;
  uint64_t total = 1;
  for (const ArrayBound& b : bounds) {
    int64_t extent = Extent(b);
    if (extent < 0) OutOfRange();
    if (extent != 0 && total > kMaxElements / static_cast<uint64_t>(extent)) {
      throw Error(errc::kOutOfMemory);
    }
    total *= static_cast<uint64_t>(extent);
  }
  if (total > kMaxElements) throw Error(errc::kOutOfMemory);
  return static_cast<size_t>(total);
}

}  // namespace

VariantArray::VariantArray() {
  // Every empty array shares one storage; the first write gives the writer its own.
  static const auto empty = std::make_shared<Storage>(Storage{{ArrayBound{}}, {}});
  storage_ = empty;
}

VariantArray::VariantArray(std::vector<Variant> items, int32_t lower_bound) {
  int64_t upper = static_cast<int64_t>(lower_bound) + static_cast<int64_t>(items.size()) - 1;
  if (upper > std::numeric_limits<int32_t>::max()) OutOfRange();
  storage_ = std::make_shared<Storage>(
      Storage{{ArrayBound{lower_bound, static_cast<int32_t>(upper)}}, std::move(items)});
}

VariantArray VariantArray::WithBounds(std::vector<ArrayBound> bounds, bool fixed) {
  size_t count = CountOf(bounds);
  VariantArray array;
  try {
    array.storage_ = std::make_shared<Storage>(Storage{std::move(bounds), {}});
    array.storage_->items.resize(count);
  } catch (const std::bad_alloc&) {
    throw Error(errc::kOutOfMemory);
  }
  array.fixed_ = fixed;
  return array;
}

size_t VariantArray::rank() const { return storage_->bounds.size(); }

int32_t VariantArray::lower_bound(size_t dim) const {
  if (dim == 0 || dim > rank()) OutOfRange();
  return storage_->bounds[dim - 1].lower;
}

int32_t VariantArray::upper_bound(size_t dim) const {
  if (dim == 0 || dim > rank()) OutOfRange();
  return storage_->bounds[dim - 1].upper;
}

std::vector<ArrayBound> VariantArray::bounds() const { return storage_->bounds; }

size_t VariantArray::size() const { return storage_->items.size(); }

const std::vector<Variant>& VariantArray::items() const { return storage_->items; }

size_t VariantArray::Offset(std::span<const int64_t> indices) const {
  const std::vector<ArrayBound>& bounds = storage_->bounds;
  if (indices.size() != bounds.size() || bounds.empty()) OutOfRange();
  // Column-major: the first index varies fastest.
  size_t offset = 0, stride = 1;
  for (size_t d = 0; d < bounds.size(); ++d) {
    if (indices[d] < bounds[d].lower || indices[d] > bounds[d].upper) OutOfRange();
    offset += static_cast<size_t>(indices[d] - bounds[d].lower) * stride;
    stride *= static_cast<size_t>(Extent(bounds[d]));
  }
  return offset;
}

const Variant& VariantArray::at(std::span<const int64_t> indices) const {
  return storage_->items[Offset(indices)];
}

Variant& VariantArray::at(std::span<const int64_t> indices) {
  size_t offset = Offset(indices);
  return Own().items[offset];
}

const Variant& VariantArray::at(int64_t index) const {
  return at(std::span<const int64_t>(&index, 1));
}

Variant& VariantArray::at(int64_t index) { return at(std::span<const int64_t>(&index, 1)); }

VariantArray::Storage& VariantArray::Own() {
  if (storage_.use_count() > 1) storage_ = std::make_shared<Storage>(*storage_);
  return *storage_;
}

void VariantArray::Redim(std::vector<ArrayBound> bounds, bool preserve) {
  if (fixed_) throw Error(errc::kArrayFixed);
  size_t count = CountOf(bounds);
  const std::vector<ArrayBound>& old = storage_->bounds;
  if (preserve && !old.empty()) {
    // Column-major storage keeps every element in place when only the last dimension changes.
    if (bounds.size() != old.size() || bounds.back().lower != old.back().lower) OutOfRange();
    for (size_t d = 0; d + 1 < bounds.size(); ++d) {
      if (bounds[d] != old[d]) OutOfRange();
    }
    try {
      Storage& own = Own();
      own.items.resize(count);
      own.bounds = std::move(bounds);
    } catch (const std::bad_alloc&) {
      throw Error(errc::kOutOfMemory);
    }
    return;
  }
  *this = WithBounds(std::move(bounds), false);
}

void VariantArray::Erase() {
  if (fixed_) {
    *this = WithBounds(storage_->bounds, true);
  } else {
    *this = WithBounds({}, false);
  }
}

bool operator==(const VariantArray& a, const VariantArray& b) {
  return a.storage_ == b.storage_ ||
         (a.storage_->bounds == b.storage_->bounds && a.storage_->items == b.storage_->items);
}

}  // namespace mirelda

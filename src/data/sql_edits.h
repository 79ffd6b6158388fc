// A list of replacements over a statement text. Translators record what they change; applying the
// list copies every byte outside the replaced ranges unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mirelda::data {

class SqlEdits {
 public:
  explicit SqlEdits(std::string_view source) : source_(source) {}

  // Replaces the bytes [begin, end) of the source; begin == end inserts. Edits are applied in
  // source order; several inserts at one place keep the order they were made in. An edit that
  // overlaps one applied before it is dropped.
  void Replace(size_t begin, size_t end, std::string text);
  void Insert(size_t at, std::string text) { Replace(at, at, std::move(text)); }

  bool empty() const { return edits_.empty(); }
  std::string Apply() const;

 private:
  struct Edit {
    size_t begin;
    size_t end;
    size_t order;
    std::string text;
  };
  std::string_view source_;
  std::vector<Edit> edits_;
};

}  // namespace mirelda::data

#include "data/sql_edits.h"

#include <algorithm>

namespace mirelda::data {

void SqlEdits::Replace(size_t begin, size_t end, std::string text) {
  edits_.push_back({begin, end, edits_.size(), std::move(text)});
}

std::string SqlEdits::Apply() const {
  std::vector<const Edit*> order;
  order.reserve(edits_.size());
  for (const Edit& e : edits_) order.push_back(&e);
  std::sort(order.begin(), order.end(), [](const Edit* a, const Edit* b) {
    if (a->begin != b->begin) return a->begin < b->begin;
    // At one position, inserts go before a replacement that starts there.
    if ((a->begin == a->end) != (b->begin == b->end)) return a->begin == a->end;
    return a->order < b->order;
  });
  std::string out;
  out.reserve(source_.size() + 64);
  size_t copied = 0;
  for (const Edit* e : order) {
    if (e->begin < copied) continue;
    out.append(source_, copied, e->begin - copied);
    out += e->text;
    copied = e->end;
  }
  out.append(source_, copied);
  return out;
}

}  // namespace mirelda::data

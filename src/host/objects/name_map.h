// Maps keyed by names that compare without regard to ASCII letter case, as the page host's
// collections (form fields, cookies, server variables, session values) are.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace mirelda::host {

struct LessIgnoreCase {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
      char x = Lower(a[i]), y = Lower(b[i]);
      if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
  }

 private:
  static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
};

using NameMap = std::map<std::string, std::string, LessIgnoreCase>;

}  // namespace mirelda::host

// Pieces of header values as HTTP writes them.
#pragma once

#include <string_view>

namespace mirelda::host {

// The value without the spaces and tabs that may stand around list items and parameters.
inline std::string_view TrimHeaderSpace(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace mirelda::host

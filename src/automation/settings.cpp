#include "mirelda/settings.h"

#include <map>
#include <mutex>

#include "mirelda/text.h"

namespace mirelda::settings {
namespace {

struct Store {
  std::mutex mutex;
  std::map<std::string, Entries> sections;  // by lower-case name
};

Store& TheStore() {
  static Store store;
  return store;
}

}  // namespace

void SetSection(std::string_view section, Entries entries) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  s.sections[text::ToLowerAscii(section)] = std::move(entries);
}

Entries Section(std::string_view section) {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  auto it = s.sections.find(text::ToLowerAscii(section));
  return it == s.sections.end() ? Entries{} : it->second;
}

std::optional<std::string> Get(std::string_view section, std::string_view key) {
  for (const auto& [name, value] : Section(section)) {
    if (text::EqualsIgnoreCase(name, key)) return value;
  }
  return std::nullopt;
}

void ClearAll() {
  Store& s = TheStore();
  std::lock_guard lock(s.mutex);
  s.sections.clear();
}

}  // namespace mirelda::settings

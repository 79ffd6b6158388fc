// The request's collections as pages reach them without a name, and the lookups by name or
// position that Request.Form(...) and its siblings make.
#include <cmath>

#include "mirelda/error.h"
#include "mirelda/host.h"
#include "mirelda/text.h"

namespace mirelda {

RequestCollection::RequestCollection(std::string name, Entries entries, std::string whole)
    : name_(std::move(name)), entries_(std::move(entries)), whole_(std::move(whole)) {}

size_t RequestCollection::Position(const Variant& index) const {
  int32_t n = index.ToLong();
  if (n < 1 || static_cast<size_t>(n) > entries_.size()) {
    throw Error(errc::kSubscriptOutOfRange, "Subscript out of range: " + name_ + " has " +
                                                std::to_string(entries_.size()) +
                                                " items, not item " + std::to_string(n));
  }
  return static_cast<size_t>(n - 1);
}

Variant RequestCollection::Item(const Variant& key) {
  if (key.is_missing()) return Variant(whole_);
  if (key.is_numeric()) return Variant(entries_[Position(key)].second);
  const std::string name = key.ToString();
  for (const auto& [k, v] : entries_) {
    if (text::EqualsIgnoreCase(k, name)) return Variant(v);
  }
  return Variant();
}

std::string RequestCollection::Key(const Variant& index) { return entries_[Position(index)].first; }

std::vector<Variant> RequestCollection::Enumerate() {
  std::vector<Variant> names;
  names.reserve(entries_.size());
  for (const auto& entry : entries_) names.emplace_back(entry.first);
  return names;
}

const MemberTable& RequestCollection::Members() const {
  static const MemberTable table =
      MemberTableBuilder<RequestCollection>("IRequestDictionary")
          .Get<&RequestCollection::Item>("Item", {Arg("key").Optional()})
          .Default()
          .Get<&RequestCollection::Count>("Count")
          .Get<&RequestCollection::Key>("Key", {Arg("index")})
          .Build();
  return table;
}

Variant RequestObject::CollectionItem(RequestPart part, const Variant& key) {
  static const char* const kNames[] = {"QueryString", "Form", "Cookies", "ServerVariables"};
  if (key.is_missing()) {
    Variant whole;
    switch (part) {
      case RequestPart::kQueryString:
        whole = QueryString(key);
        break;
      case RequestPart::kForm:
        whole = Form(key);
        break;
      case RequestPart::kCookies:
        whole = Cookies(key);
        break;
      case RequestPart::kServerVariables:
        break;
    }
    return Variant(std::make_shared<RequestCollection>(kNames[static_cast<int>(part)],
                                                       Entries(part), whole.ToText()));
  }
  if (key.is_numeric()) {
    RequestCollection collection(kNames[static_cast<int>(part)], Entries(part), "");
    return collection.Item(key);
  }
  switch (part) {
    case RequestPart::kQueryString:
      return QueryString(key);
    case RequestPart::kForm:
      return Form(key);
    case RequestPart::kCookies:
      return Cookies(key);
    case RequestPart::kServerVariables:
      break;
  }
  return ServerVariables(key.ToString());
}

}  // namespace mirelda

#include "host/objects/contents_collection.h"

#include "mirelda/error.h"

namespace mirelda::host {

std::string ContentsCollection::NameOf(const Variant& key) {
  if (!key.is_numeric()) return key.ToString();
  double position = key.ToDouble();
  std::vector<std::string> names = access_.names();
  if (!(position >= 1 && position <= static_cast<double>(names.size()))) {
    throw Error(errc::kSubscriptOutOfRange, "Subscript out of range: " + name_ + " holds " +
                                                std::to_string(names.size()) +
                                                " values, not a value at " + key.ToText());
  }
  return names[static_cast<size_t>(position) - 1];
}

Variant ContentsCollection::Item(const Variant& key) { return access_.get(NameOf(key)); }

void ContentsCollection::SetItem(const Variant& key, const Variant& value) {
  access_.set(NameOf(key), value);
}

int32_t ContentsCollection::Count() { return static_cast<int32_t>(access_.names().size()); }

std::string ContentsCollection::Key(const Variant& index) {
  if (!index.is_numeric()) throw Error(errc::kTypeMismatch, "Key takes a position");
  return NameOf(index);
}

void ContentsCollection::Remove(const Variant& key) { access_.remove(NameOf(key)); }

void ContentsCollection::RemoveAll() { access_.remove_all(); }

std::vector<Variant> ContentsCollection::Enumerate() {
  std::vector<Variant> names;
  for (std::string& name : access_.names()) names.emplace_back(std::move(name));
  return names;
}

const MemberTable& ContentsCollection::Members() const {
  static const MemberTable table =
      MemberTableBuilder<ContentsCollection>("IVariantDictionary")
          .Get<&ContentsCollection::Item>("Item", {Arg("VarKey")})
          .Default()
          .Let<&ContentsCollection::SetItem>("Item", {Arg("VarKey"), Arg("pvar")})
          .Default()
          .Get<&ContentsCollection::Count>("Count")
          .Get<&ContentsCollection::Key>("Key", {Arg("VarKey")})
          .Method<&ContentsCollection::Remove>("Remove", {Arg("VarKey")})
          .Method<&ContentsCollection::RemoveAll>("RemoveAll")
          .Build();
  return table;
}

Variant ContentsItem(const std::shared_ptr<ContentsCollection>& contents, const Variant& key) {
  if (key.is_missing()) return Variant(contents);
  return contents->Item(key);
}

}  // namespace mirelda::host

#include "data/scripting_dictionary.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "data/data_classes.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

enum KeyKind : uint8_t { kEmptyKey, kNullKey, kNumberKey, kTextKey, kObjectKey };

// The bits of a number as a key: zero has one sign and NaN one pattern, so that values that
// the language holds equal meet in the hash.
uint64_t NumberBits(double value) {
  if (value == 0) value = 0;
  if (std::isnan(value)) value = std::numeric_limits<double>::quiet_NaN();
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

[[noreturn]] void ElementNotFound() { throw Error(errc::kElementNotFound); }

Variant ArrayOf(std::vector<Variant> values) { return Variant(VariantArray(std::move(values), 0)); }

}  // namespace

size_t ScriptingDictionary::KeyFormHash::operator()(const KeyForm& form) const {
  size_t h = std::hash<std::string>{}(form.text);
  h ^= std::hash<uint64_t>{}(form.bits) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  return h ^ form.kind;
}

ScriptingDictionary::KeyForm ScriptingDictionary::FormOf(const Variant& key) const {
  KeyForm form;
  if (key.is_numeric()) {
    form.kind = kNumberKey;
    form.bits = NumberBits(key.ToDouble());
    return form;
  }
  switch (key.type()) {
    case VarType::kEmpty:
      form.kind = kEmptyKey;
      break;
    case VarType::kNull:
      form.kind = kNullKey;
      break;
    case VarType::kString:
    case VarType::kBytes: {
      // A byte string is the key of the text it reads as, as "=" compares it beside text.
      std::string text = key.is_bytes() ? ByteText(key.AsBytes()) : key.ToString();
      form.kind = kTextKey;
      form.text = mode_ == CompareMode::kText ? text::ToLowerAscii(text) : std::move(text);
      break;
    }
    case VarType::kObject:
      form.kind = kObjectKey;
      form.bits = reinterpret_cast<uintptr_t>(key.ToObject().get());
      break;
    default:
      throw Error(errc::kTypeMismatch, StandardDescription(errc::kTypeMismatch) +
                                           ": a dictionary key cannot be " + TypeName(key));
  }
  return form;
}

ScriptingDictionary::Entries::iterator ScriptingDictionary::Insert(const Variant& key, KeyForm form,
                                                                   const Variant& item) {
  auto at = entries_.insert(entries_.end(), Entry{key, item});
  try {
    index_.emplace(std::move(form), at);
  } catch (...) {
    entries_.erase(at);
    throw;
  }
  return at;
}

void ScriptingDictionary::Add(const Variant& key, const Variant& item) {
  KeyForm form = FormOf(key);
  if (index_.contains(form)) throw Error(errc::kKeyAlreadyAssociated);
  Insert(key, std::move(form), item);
}

Variant ScriptingDictionary::Item(const Variant& key) {
  KeyForm form = FormOf(key);
  auto found = index_.find(form);
  if (found != index_.end()) return found->second->item;
  // Reading a key that is not there adds it, as pages written for the classic object expect.
  Insert(key, std::move(form), Variant());
  return Variant();
}

void ScriptingDictionary::PutItem(const Variant& key, const Variant& item) {
  KeyForm form = FormOf(key);
  auto found = index_.find(form);
  if (found != index_.end()) {
    found->second->item = item;
  } else {
    Insert(key, std::move(form), item);
  }
}

bool ScriptingDictionary::Exists(const Variant& key) { return index_.contains(FormOf(key)); }

Variant ScriptingDictionary::Keys() { return ArrayOf(Enumerate()); }

Variant ScriptingDictionary::Items() {
  std::vector<Variant> items;
  items.reserve(entries_.size());
  for (const Entry& entry : entries_) items.push_back(entry.item);
  return ArrayOf(std::move(items));
}

void ScriptingDictionary::Remove(const Variant& key) {
  KeyForm form = FormOf(key);
  auto found = index_.find(form);
  if (found == index_.end()) ElementNotFound();
  entries_.erase(found->second);
  index_.erase(found);
}

void ScriptingDictionary::RemoveAll() {
  index_.clear();
  entries_.clear();
}

int32_t ScriptingDictionary::Count() { return static_cast<int32_t>(entries_.size()); }

int32_t ScriptingDictionary::GetCompareMode() { return static_cast<int32_t>(mode_); }

void ScriptingDictionary::SetCompareMode(int32_t mode) {
  // The keys were hashed under the old mode; changing it would lose some of them.
  if (!entries_.empty()) {
    throw Error(errc::kInvalidProcedureCall, StandardDescription(errc::kInvalidProcedureCall) +
                                                 ": the compare mode of a dictionary that "
                                                 "holds keys cannot change");
  }
  if (mode != 0 && mode != 1) {
    throw Error(errc::kInvalidProcedureCall, StandardDescription(errc::kInvalidProcedureCall) +
                                                 ": compare mode " + std::to_string(mode));
  }
  mode_ = static_cast<CompareMode>(mode);
}

void ScriptingDictionary::Rename(const Variant& old_key, const Variant& new_key) {
  KeyForm old_form = FormOf(old_key);
  KeyForm new_form = FormOf(new_key);
  auto found = index_.find(old_form);
  if (found == index_.end()) ElementNotFound();
  Entries::iterator entry = found->second;
  if (new_form == old_form) {
    // The same key under the compare mode: only its spelling changes.
    entry->key = new_key;
    return;
  }
  if (index_.contains(new_form)) throw Error(errc::kKeyAlreadyAssociated);
  // Room first, so that adding the new key cannot rehash away the old key's position.
  index_.reserve(index_.size() + 1);
  index_.emplace(std::move(new_form), entry);
  index_.erase(found);
  entry->key = new_key;
}

std::vector<Variant> ScriptingDictionary::Enumerate() {
  std::vector<Variant> keys;
  keys.reserve(entries_.size());
  for (const Entry& entry : entries_) keys.push_back(entry.key);
  return keys;
}

std::optional<Guid> ScriptingDictionary::ClassId() const { return DictionaryClassId(); }

const MemberTable& ScriptingDictionary::Members() const {
  using D = ScriptingDictionary;
  static const MemberTable table = MemberTableBuilder<D>("IDictionary")
                                       .Get<&D::Item>("Item", {Arg("Key")})
                                       .Default()
                                       .Let<&D::PutItem>("Item", {Arg("Key"), Arg("Item")})
                                       .Default()
                                       .Set<&D::PutItem>("Item", {Arg("Key"), Arg("Item")})
                                       .Default()
                                       .Method<&D::Add>("Add", {Arg("Key"), Arg("Item")})
                                       .Method<&D::Exists>("Exists", {Arg("Key")})
                                       .Method<&D::Keys>("Keys")
                                       .Method<&D::Items>("Items")
                                       .Method<&D::Remove>("Remove", {Arg("Key")})
                                       .Method<&D::RemoveAll>("RemoveAll")
                                       .Get<&D::Count>("Count")
                                       .Get<&D::GetCompareMode>("CompareMode")
                                       .Let<&D::SetCompareMode>("CompareMode", {Arg("Compare")})
                                       .Let<&D::Rename>("Key", {Arg("Key"), Arg("NewKey")})
                                       .Build();
  return table;
}

}  // namespace mirelda::data

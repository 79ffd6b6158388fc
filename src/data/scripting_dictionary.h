// "Scripting.Dictionary": items of any value under keys, in the order they were added, found by
// a hash of the key. Keys are numbers (all numeric subtypes, Boolean and Date alike compare by
// value, so 1 as Integer and 1 as Double are one key), texts (never equal to a number: 1 and "1"
// are two keys; a byte string is the text it reads as), Empty, Null, or objects by identity. Errors
// carry the page language's numbers: 457 for a key that is already there, 32811 for a missing one,
// 5 for a compare mode that cannot be set, 13 for a key that is an array.
//
// Threading: a dictionary belongs to the page or the session that holds it; it is never used by
// two threads at once.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/live_objects.h"
#include "mirelda/dispatch.h"
#include "mirelda/variant_ops.h"

namespace mirelda::data {

class ScriptingDictionary final : public Dispatch {
 public:
  // 457 when the key is already there.
  void Add(const Variant& key, const Variant& item);
  // The item under key. A missing key is added with Empty, and Empty comes back.
  Variant Item(const Variant& key);
  // Replaces the item under key, adding the key at the end when it is missing. Arrays are kept
  // by value: later changes to the caller's array do not reach the stored one.
  void PutItem(const Variant& key, const Variant& item);
  bool Exists(const Variant& key);
  // Arrays with lower bound 0, in insertion order.
  Variant Keys();
  Variant Items();
  // 32811 when the key is missing.
  void Remove(const Variant& key);
  void RemoveAll();
  int32_t Count();
  // 0 binary (texts compared byte for byte), 1 text (ASCII letters without regard to case). 5
  // when the dictionary holds keys or the mode is neither.
  int32_t GetCompareMode();
  void SetCompareMode(int32_t mode);
  // Renames a key in place, keeping its item and position: 32811 when old_key is missing, 457
  // when new_key names another element.
  void Rename(const Variant& old_key, const Variant& new_key);

  // For Each gives the keys in insertion order.
  std::vector<Variant> Enumerate() override;
  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Dictionary"; }
  std::optional<Guid> ClassId() const override;

 private:
  // What identifies a key under the compare mode: its class, the bits of its numeric value or of
  // its object's address, and its text (folded to lower case in text mode).
  struct KeyForm {
    uint8_t kind = 0;
    uint64_t bits = 0;
    std::string text;

    friend bool operator==(const KeyForm&, const KeyForm&) = default;
  };
  struct KeyFormHash {
    size_t operator()(const KeyForm& form) const;
  };
  struct Entry {
    Variant key;
    Variant item;
  };
  using Entries = std::list<Entry>;

  KeyForm FormOf(const Variant& key) const;
  Entries::iterator Insert(const Variant& key, KeyForm form, const Variant& item);

  Entries entries_;
  std::unordered_map<KeyForm, Entries::iterator, KeyFormHash> index_;
  CompareMode mode_ = CompareMode::kBinary;
  LiveObject live_;
};

}  // namespace mirelda::data

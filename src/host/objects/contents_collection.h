// Session.Contents and Application.Contents: the stored values of a session or of the
// application as a collection. Item by name (any letter case) or 1-based position, Key by
// position, Count, Remove by name or position, RemoveAll, and For Each over the names. Positions
// follow the names in alphabetical order, without regard to case, as the stores keep them.
// Belongs to the page's thread, like the object it came from.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "mirelda/dispatch.h"

namespace mirelda::host {

// How a collection reaches the values it shows; each step goes to the store at once, so the
// collection never holds a copy that another page could make stale.
struct ContentsAccess {
  std::function<std::vector<std::string>()> names;
  std::function<Variant(const std::string&)> get;
  std::function<void(const std::string&, const Variant&)> set;
  std::function<void(const std::string&)> remove;
  std::function<void()> remove_all;
};

class ContentsCollection final : public Dispatch {
 public:
  ContentsCollection(std::string name, ContentsAccess access)
      : name_(std::move(name)), access_(std::move(access)) {}

  // By name: Empty when there is none. By position: 9 outside 1..Count.
  Variant Item(const Variant& key);
  void SetItem(const Variant& key, const Variant& value);
  int32_t Count();
  std::string Key(const Variant& index);
  // A name that is not there is no error; a position outside 1..Count is (9).
  void Remove(const Variant& key);
  void RemoveAll();
  std::vector<Variant> Enumerate() override;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return name_; }

 private:
  // The name that a key stands for: itself, or the name at a 1-based position.
  std::string NameOf(const Variant& key);

  std::string name_;
  ContentsAccess access_;
};

// The members that Session and Application add to their interfaces for Contents:
// Contents() the collection, Contents(key) and Contents(key) = value one value.
Variant ContentsItem(const std::shared_ptr<ContentsCollection>& contents, const Variant& key);

}  // namespace mirelda::host

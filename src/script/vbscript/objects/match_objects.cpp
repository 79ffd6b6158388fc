#include "script/vbscript/objects/match_objects.h"

#include "mirelda/error.h"
#include "script/vbscript/builtins/text_units.h"
#include "script/vbscript/objects/err_object.h"

namespace mirelda::script::vbscript {
namespace {

// Both collections count from 0; anything outside raises Invalid procedure call.
void CheckIndex(int32_t index, size_t size) {
  if (index < 0 || static_cast<size_t>(index) >= size) {
    throw Error(errc::kInvalidProcedureCall, {}, kRuntimeErrorSource);
  }
}

}  // namespace

Variant SubMatches::Item(int32_t index) {
  CheckIndex(index, groups_.size());
  return groups_[static_cast<size_t>(index)];
}

const MemberTable& SubMatches::Members() const {
  static const MemberTable table = MemberTableBuilder<SubMatches>("ISubMatches")
                                       .Get<&SubMatches::Item>("Item", {Arg("index")})
                                       .Default()
                                       .Get<&SubMatches::Count>("Count")
                                       .Build();
  return table;
}

MatchObject::MatchObject(std::string value, int32_t first_index, std::vector<Variant> groups)
    : value_(std::move(value)),
      first_index_(first_index),
      length_(static_cast<int32_t>(UnitCount(value_))),
      groups_(std::make_shared<SubMatches>(std::move(groups))) {}

const MemberTable& MatchObject::Members() const {
  static const MemberTable table = MemberTableBuilder<MatchObject>("IMatch2")
                                       .Get<&MatchObject::Value>("Value")
                                       .Default()
                                       .Get<&MatchObject::FirstIndex>("FirstIndex")
                                       .Get<&MatchObject::Length>("Length")
                                       .Get<&MatchObject::Groups>("SubMatches")
                                       .Build();
  return table;
}

std::shared_ptr<Dispatch> MatchCollection::Item(int32_t index) {
  CheckIndex(index, matches_.size());
  return matches_[static_cast<size_t>(index)];
}

std::vector<Variant> MatchCollection::Enumerate() {
  std::vector<Variant> items;
  items.reserve(matches_.size());
  for (const auto& match : matches_) items.emplace_back(std::shared_ptr<Dispatch>(match));
  return items;
}

const MemberTable& MatchCollection::Members() const {
  static const MemberTable table = MemberTableBuilder<MatchCollection>("IMatchCollection2")
                                       .Get<&MatchCollection::Item>("Item", {Arg("index")})
                                       .Default()
                                       .Get<&MatchCollection::Count>("Count")
                                       .Build();
  return table;
}

}  // namespace mirelda::script::vbscript

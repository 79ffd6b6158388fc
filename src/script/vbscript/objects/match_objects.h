// What RegExp.Execute returns: a collection of matches, each with its text, position and the
// text of its groups. They are snapshots: later changes to the RegExp or a new Execute leave them
// as they were. Positions and lengths count UTF-16 units, as Len and Mid do.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mirelda/dispatch.h"

namespace mirelda::script::vbscript {

// The groups of one match, in order; a group that took no part in the match is Empty.
class SubMatches final : public Dispatch {
 public:
  explicit SubMatches(std::vector<Variant> groups) : groups_(std::move(groups)) {}

  int32_t Count() { return static_cast<int32_t>(groups_.size()); }
  Variant Item(int32_t index);

  std::vector<Variant> Enumerate() override { return groups_; }
  const MemberTable& Members() const override;
  std::string ClassName() const override { return "ISubMatches"; }

 private:
  std::vector<Variant> groups_;
};

class MatchObject final : public Dispatch {
 public:
  MatchObject(std::string value, int32_t first_index, std::vector<Variant> groups);

  std::string Value() { return value_; }
  int32_t FirstIndex() { return first_index_; }
  int32_t Length() { return length_; }
  std::shared_ptr<Dispatch> Groups() { return groups_; }

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "IMatch2"; }

 private:
  std::string value_;
  int32_t first_index_;
  int32_t length_;
  std::shared_ptr<SubMatches> groups_;
};

class MatchCollection final : public Dispatch {
 public:
  explicit MatchCollection(std::vector<std::shared_ptr<MatchObject>> matches)
      : matches_(std::move(matches)) {}

  int32_t Count() { return static_cast<int32_t>(matches_.size()); }
  std::shared_ptr<Dispatch> Item(int32_t index);

  std::vector<Variant> Enumerate() override;
  const MemberTable& Members() const override;
  std::string ClassName() const override { return "IMatchCollection2"; }

 private:
  std::vector<std::shared_ptr<MatchObject>> matches_;
};

}  // namespace mirelda::script::vbscript

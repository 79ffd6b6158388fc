#include "mirelda/dispatch.h"

#include "mirelda/text.h"

namespace mirelda {

std::string_view ToString(MemberKind kind) {
  switch (kind) {
    case MemberKind::kMethod:
      return "method";
    case MemberKind::kGet:
      return "get";
    case MemberKind::kLet:
      return "let";
    case MemberKind::kSet:
      return "set";
  }
  return "?";
}

std::string_view ToString(ParamType type) {
  switch (type) {
    case ParamType::kNone:
      return "none";
    case ParamType::kVariant:
      return "Variant";
    case ParamType::kBoolean:
      return "Boolean";
    case ParamType::kInteger:
      return "Integer";
    case ParamType::kLong:
      return "Long";
    case ParamType::kDouble:
      return "Double";
    case ParamType::kDate:
      return "Date";
    case ParamType::kString:
      return "String";
    case ParamType::kObject:
      return "Object";
  }
  return "?";
}

size_t Member::required_count() const {
  size_t n = 0;
  for (const Param& p : params) {
    if (!p.optional) ++n;
  }
  return n;
}

MemberTable::MemberTable(std::string interface_name, std::optional<Guid> interface_id,
                         std::vector<Member> members)
    : interface_name_(std::move(interface_name)),
      interface_id_(interface_id),
      members_(std::move(members)) {}

const Member* MemberTable::Find(std::string_view name, MemberKind kind) const {
  auto matches = [&](const Member& m) {
    return name.empty() ? m.is_default : text::EqualsIgnoreCase(m.name, name);
  };
  for (const Member& m : members_) {
    if (matches(m) && m.kind == kind) return &m;
  }
  // Late-bound callers do not always know a member's kind: a call may read a property
  // (Request.Form("x")), and a read may call a method that takes no argument.
  if (kind == MemberKind::kMethod || kind == MemberKind::kGet) {
    MemberKind other = kind == MemberKind::kMethod ? MemberKind::kGet : MemberKind::kMethod;
    for (const Member& m : members_) {
      if (matches(m) && m.kind == other) return &m;
    }
  }
  // An object assigned with "let" goes to a "set" member, and a value with "set" to "let".
  if (kind == MemberKind::kLet || kind == MemberKind::kSet) {
    MemberKind other = kind == MemberKind::kLet ? MemberKind::kSet : MemberKind::kLet;
    for (const Member& m : members_) {
      if (matches(m) && m.kind == other) return &m;
    }
  }
  return nullptr;
}

bool MemberTable::Has(std::string_view name) const {
  for (const Member& m : members_) {
    if (text::EqualsIgnoreCase(m.name, name)) return true;
  }
  return false;
}

Dispatch::~Dispatch() = default;

std::string Dispatch::ClassName() const { return Members().interface_name(); }

std::optional<Guid> Dispatch::ClassId() const { return std::nullopt; }

Variant Dispatch::Invoke(std::string_view name, MemberKind kind, std::vector<Variant> args) {
  const Member* member = Members().Find(name, kind);
  if (!member) {
    throw Error(errc::kMemberNotFound,
                StandardDescription(errc::kMemberNotFound) + ": '" +
                    (name.empty() ? std::string("(default)") : std::string(name)) + "'");
  }
  const std::vector<Param>& params = member->params;
  if (args.size() > params.size()) throw Error(errc::kWrongArgumentCount);
  for (size_t i = 0; i < params.size(); ++i) {
    bool omitted = i >= args.size() || args[i].is_missing();
    if (!omitted) continue;
    if (!params[i].optional) {
      throw Error(i >= args.size() ? errc::kWrongArgumentCount : errc::kArgumentNotOptional);
    }
    if (i >= args.size()) args.resize(i + 1);
    args[i] = params[i].default_value;
  }
  return member->invoke(*this, args);
}

}  // namespace mirelda

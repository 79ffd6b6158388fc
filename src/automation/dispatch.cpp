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
      members_(std::move(members)) {
  BuildIndex();
}

namespace {
char LowerLetter(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = LowerLetter(c);
  return lower;
}
}  // namespace

size_t MemberTable::NameHash::operator()(std::string_view name) const noexcept {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (char c : name) {
    hash ^= static_cast<unsigned char>(LowerLetter(c));
    hash *= 1099511628211ull;
  }
  return static_cast<size_t>(hash);
}

bool MemberTable::NameEqual::operator()(std::string_view a, std::string_view b) const noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerLetter(a[i]) != LowerLetter(b[i])) return false;
  }
  return true;
}

void MemberTable::BuildIndex() {
  // The default member's name takes id 0 so that obj() and obj.Item() meet at one id.
  std::vector<std::string> names;
  bool has_default = false;
  for (const Member& m : members_) {
    if (m.is_default) {
      ids_.emplace(LowerName(m.name), 0);
      names.push_back(m.name);
      has_default = true;
      break;
    }
  }
  if (!has_default) names.emplace_back();  // id 0 stays unused
  for (const Member& m : members_) {
    if (ids_.emplace(LowerName(m.name), static_cast<DispId>(names.size())).second) {
      names.push_back(m.name);
    }
  }
  resolved_.resize(names.size());
  named_.resize(names.size());
  for (size_t i = 0; i < members_.size(); ++i) {
    named_[static_cast<size_t>(ids_.at(LowerName(members_[i].name)))].push_back(
        static_cast<int32_t>(i));
  }
  for (size_t id = 0; id < names.size(); ++id) {
    for (size_t k = 0; k < resolved_[id].size(); ++k) {
      auto kind = static_cast<MemberKind>(k);
      const Member* found = nullptr;
      if (id == 0 && has_default) found = FindInTable(std::string_view(), kind);
      if (!found && !names[id].empty()) found = FindInTable(names[id], kind);
      resolved_[id][k] = found ? static_cast<int32_t>(found - members_.data()) : kNoMember;
    }
  }
}

DispId MemberTable::IdOf(std::string_view name) const {
  if (name.empty()) {
    for (int32_t index : resolved_[0]) {
      if (index != kNoMember) return 0;
    }
    return kDispIdUnknown;
  }
  auto it = ids_.find(name);
  return it == ids_.end() ? kDispIdUnknown : it->second;
}

const Member* MemberTable::Find(std::string_view name, MemberKind kind) const {
  // The index holds what walking the table finds, for every name the table has.
  DispId id = IdOf(name);
  return id == kDispIdUnknown ? nullptr : FindById(id, kind);
}

const Member* MemberTable::FindInTable(std::string_view name, MemberKind kind) const {
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
  return !name.empty() && IdOf(name) != kDispIdUnknown;
}

const Member* MemberTable::FindById(DispId id, MemberKind kind) const {
  if (id < 0 || static_cast<size_t>(id) >= resolved_.size()) return nullptr;
  int32_t index = resolved_[static_cast<size_t>(id)][static_cast<size_t>(kind)];
  return index == kNoMember ? nullptr : &members_[static_cast<size_t>(index)];
}

Dispatch::~Dispatch() = default;

std::string Dispatch::ClassName() const { return Members().interface_name(); }

std::optional<Guid> Dispatch::ClassId() const { return std::nullopt; }

namespace {
[[noreturn]] void NoSuchMember(std::string_view name) {
  throw Error(errc::kMemberNotFound,
              StandardDescription(errc::kMemberNotFound) + ": '" +
                  (name.empty() ? std::string("(default)") : std::string(name)) + "'");
}
}  // namespace

Variant Dispatch::CallMember(const Member& member, std::vector<Variant>& args) {
  const std::vector<Param>& params = member.params;
  if (args.size() > params.size()) throw Error(errc::kWrongArgumentCount);
  size_t given = args.size();
  for (size_t i = 0; i < params.size(); ++i) {
    bool omitted = i >= args.size() || args[i].is_missing();
    if (!omitted) continue;
    if (!params[i].optional) {
      throw Error(i >= given ? errc::kWrongArgumentCount : errc::kArgumentNotOptional);
    }
    if (i >= args.size()) args.resize(i + 1);
    args[i] = params[i].default_value;
  }
  Variant result = member.invoke(*this, args);
  // The caller sees its own arguments back, not the defaults filled in after them.
  args.resize(given);
  return result;
}

Variant Dispatch::Invoke(std::string_view name, MemberKind kind, std::vector<Variant> args) {
  const Member* member = Members().Find(name, kind);
  if (!member) NoSuchMember(name);
  return CallMember(*member, args);
}

Variant Dispatch::InvokeById(DispId id, MemberKind kind, std::vector<Variant>& args) {
  const Member* member = Members().FindById(id, kind);
  if (!member) throw Error(errc::kMemberNotFound);
  return CallMember(*member, args);
}

std::vector<Variant> Dispatch::Enumerate() { throw Error(errc::kObjectNotCollection); }

}  // namespace mirelda

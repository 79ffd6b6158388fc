// The late-binding rules both page languages share, over member ids: a call site's cache keeps
// the id of its name for the member table it saw last, so a loop over one kind of object resolves
// the name once.
#include "mirelda/late_binding.h"

#include <string>

#include "mirelda/error.h"

namespace mirelda {
namespace {

// Default values that are objects again are followed this far, no further (a default member
// that returns its own object would otherwise never end).
constexpr int kDefaultValueDepth = 8;

[[noreturn]] void NoSuchMember(std::string_view name) {
  throw Error(errc::kMemberNotFound,
              StandardDescription(errc::kMemberNotFound) + ": '" +
                  (name.empty() ? std::string("(default)") : std::string(name)) + "'");
}

DispId Resolve(Dispatch& object, std::string_view name, MemberCache* cache) {
  const MemberTable& table = object.Members();
  if (cache && cache->table == &table) return cache->id;
  DispId id = table.IdOf(name);
  if (cache) {
    cache->table = &table;
    cache->id = id;
  }
  return id;
}

// Reads or calls a member; a member without parameters given arguments is read without them and
// its result indexed with them (a property that holds an array or a collection).
Variant GetOrCall(Dispatch& object, std::string_view name, std::vector<Variant>& args,
                  MemberCache* cache, MemberKind kind) {
  DispId id = Resolve(object, name, cache);
  const Member* member = object.Members().FindById(id, kind);
  if (!member) NoSuchMember(name);
  if (!args.empty() && member->params.empty()) {
    std::vector<Variant> none;
    Variant value = object.InvokeById(id, kind, none);
    return LateIndex(value, args);
  }
  return object.InvokeById(id, kind, args);
}

bool HasDefault(const Variant& value) {
  std::shared_ptr<Dispatch> object = value.ToObject();
  return object && object->Members().IdOf("") != kDispIdUnknown;
}

}  // namespace

Variant LateGet(Dispatch& object, std::string_view name, std::vector<Variant>& args,
                MemberCache* cache) {
  return GetOrCall(object, name, args, cache, MemberKind::kGet);
}

Variant LateCall(Dispatch& object, std::string_view name, std::vector<Variant>& args,
                 MemberCache* cache) {
  return GetOrCall(object, name, args, cache, MemberKind::kMethod);
}

void LatePut(Dispatch& object, std::string_view name, std::vector<Variant>& args, Variant value,
             bool set, MemberCache* cache) {
  DispId id = Resolve(object, name, cache);
  const MemberTable& table = object.Members();
  const Member* member = table.FindById(id, set ? MemberKind::kSet : MemberKind::kLet);
  if (member && member->params.size() >= args.size() + 1) {
    // A let of an object to a property that takes values assigns the object's default value.
    if (!set && member->kind == MemberKind::kLet && value.is_object() && HasDefault(value)) {
      value = ValueOf(value);
    }
    std::vector<Variant> call = args;
    call.push_back(std::move(value));
    object.InvokeById(id, member->kind, call);
    for (size_t i = 0; i < args.size(); ++i) args[i] = std::move(call[i]);
    return;
  }
  const Member* getter = table.FindById(id, MemberKind::kGet);
  if (!args.empty() && getter && getter->params.empty()) {
    // obj.Items(3) = v with Items a property holding an object: the object's default member
    // takes the assignment.
    std::vector<Variant> none;
    Variant holder = object.InvokeById(id, MemberKind::kGet, none);
    if (!holder.is_object()) throw Error(errc::kIllegalAssignmentTarget);
    std::shared_ptr<Dispatch> target = holder.ToObject();
    if (!target) throw Error(errc::kObjectVariableNotSet);
    LatePut(*target, "", args, std::move(value), set);
    return;
  }
  if (member) throw Error(errc::kWrongArgumentCount);
  NoSuchMember(name);
}

Variant LateIndex(const Variant& value, std::vector<Variant>& args) {
  if (args.empty()) return value;
  if (value.is_array()) {
    std::vector<int64_t> indices;
    indices.reserve(args.size());
    for (const Variant& arg : args) indices.push_back(ValueOf(arg).ToLong());
    return value.AsArray().at(std::span<const int64_t>(indices));
  }
  if (value.is_bytes()) {
    if (args.size() != 1) throw Error(errc::kSubscriptOutOfRange);
    int64_t index = ValueOf(args[0]).ToLong();
    const ByteArray& bytes = value.AsBytes();
    if (index < 0 || static_cast<uint64_t>(index) >= bytes.size()) {
      throw Error(errc::kSubscriptOutOfRange);
    }
    return Variant(bytes.data()[index]);
  }
  if (value.is_object()) {
    std::shared_ptr<Dispatch> object = value.ToObject();
    if (!object) throw Error(errc::kObjectVariableNotSet);
    return LateGet(*object, "", args);
  }
  throw Error(errc::kTypeMismatch);
}

Variant ValueOf(const Variant& value) {
  Variant current = value;
  for (int depth = 0; current.is_object(); ++depth) {
    std::shared_ptr<Dispatch> object = current.ToObject();
    if (!object) throw Error(errc::kObjectVariableNotSet);
    if (depth == kDefaultValueDepth) throw Error(errc::kTypeMismatch);
    DispId id = object->Members().IdOf("");
    if (id == kDispIdUnknown) NoSuchMember("");
    std::vector<Variant> none;
    current = object->InvokeById(id, MemberKind::kGet, none);
  }
  return current;
}

}  // namespace mirelda

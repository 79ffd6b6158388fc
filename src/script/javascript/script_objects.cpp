#include "script/javascript/script_objects.h"

#include <string>
#include <vector>

#include "mirelda/text.h"
#include "script/javascript/script_heap.h"
#include "script/javascript/script_interrupt.h"
#include "script/javascript/script_values.h"

namespace mirelda::script::javascript {
namespace {

// Hidden properties (never seen by scripts) of the targets behind the proxies.
constexpr const char kIdKey[] = DUK_HIDDEN_SYMBOL("mireldaObject");
constexpr const char kKindKey[] = DUK_HIDDEN_SYMBOL("mireldaKind");
constexpr const char kMemberKey[] = DUK_HIDDEN_SYMBOL("mireldaMember");
// On a wrapped object: the wrappers of its members read so far, by the name they were read by.
constexpr const char kMembersKey[] = DUK_HIDDEN_SYMBOL("mireldaMembers");
constexpr const char kObjectHandler[] = DUK_HIDDEN_SYMBOL("mireldaObjectHandler");
constexpr const char kMemberHandler[] = DUK_HIDDEN_SYMBOL("mireldaMemberHandler");
constexpr const char kContentsHandler[] = DUK_HIDDEN_SYMBOL("mireldaContentsHandler");
constexpr const char kIntrinsicsKey[] = DUK_HIDDEN_SYMBOL("mireldaIntrinsics");
constexpr const char kIntrinsicMembersKey[] = DUK_HIDDEN_SYMBOL("mireldaIntrinsicMembers");

enum class Kind { kObject = 0, kMember = 1, kContents = 2 };

// What members of one name an object has.
struct Shape {
  bool method = false;
  bool get = false;              // without parameters
  bool get_with_params = false;  // with one or more
  bool put = false;              // let or set
  bool any() const { return method || get || get_with_params || put; }
};

Shape ShapeOf(const Dispatch& object, std::string_view name) {
  Shape shape;
  object.Members().ForEachNamed(name, [&shape](const Member& m) {
    switch (m.kind) {
      case MemberKind::kMethod:
        shape.method = true;
        break;
      case MemberKind::kGet:
        (m.params.empty() ? shape.get : shape.get_with_params) = true;
        break;
      case MemberKind::kLet:
      case MemberKind::kSet:
        shape.put = true;
        break;
    }
  });
  return shape;
}

bool HasDefaultRead(const Dispatch& object) {
  for (const Member& m : object.Members().members()) {
    if (m.is_default && (m.kind == MemberKind::kGet || m.kind == MemberKind::kMethod) &&
        m.required_count() == 0) {
      return true;
    }
  }
  return false;
}

// Registers object under a fresh number and stores the number, kind and member on the target at
// the top of the stack, with a finalizer that lets go of the object when the target is collected.
void Attach(duk_context* ctx, std::shared_ptr<Dispatch> object, Kind kind,
            const std::string& member);

// Stores the number, kind and member on the target at the top of the stack.
void Mark(duk_context* ctx, uint64_t id, Kind kind, const std::string& member);

// The number of the object a target stands for; 0 for none.
uint64_t IdOfTarget(duk_context* ctx, duk_idx_t idx) {
  duk_get_prop_literal(ctx, idx, kIdKey);
  auto id = static_cast<uint64_t>(duk_get_number_default(ctx, -1, 0));
  duk_pop(ctx);
  return id;
}

std::shared_ptr<Dispatch> ObjectWithId(duk_context* ctx, uint64_t id) {
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  if (id >= 1 && id <= kIntrinsicCount && heap.page_objects[id - 1]) {
    return heap.page_objects[id - 1];
  }
  auto it = heap.objects.find(id);
  if (it == heap.objects.end()) {
    throw Error(errc::kObjectVariableNotSet,
                "Object variable not set: the object belonged to a page that has ended");
  }
  return it->second;
}

std::shared_ptr<Dispatch> ObjectOfTarget(duk_context* ctx, duk_idx_t idx) {
  return ObjectWithId(ctx, IdOfTarget(ctx, idx));
}

std::string MemberOfTarget(duk_context* ctx, duk_idx_t idx) {
  duk_get_prop_literal(ctx, idx, kMemberKey);
  std::string member = duk_get_string_default(ctx, -1, "");
  duk_pop(ctx);
  return member;
}

// The key of a proxy trap as a member name; false for symbols.
bool KeyName(duk_context* ctx, duk_idx_t idx, std::string* name) {
  if (!duk_is_string(ctx, idx) || duk_is_symbol(ctx, idx)) return false;
  duk_size_t size = 0;
  const char* s = duk_get_lstring(ctx, idx, &size);
  *name = ScriptStringToUtf8(std::string_view(s, size));
  return true;
}

// A key used as an argument: "3" (what obj.M[3] sends) is the number 3.
Variant KeyArgument(const std::string& key) {
  if (!key.empty() && key.size() <= 9 && (key == "0" || key[0] != '0')) {
    int32_t n = 0;
    for (char c : key) {
      if (c < '0' || c > '9') return Variant(key);
      n = n * 10 + (c - '0');
    }
    return Variant(n);
  }
  return Variant(key);
}

std::vector<Variant> Arguments(duk_context* ctx) {
  duk_idx_t n = duk_get_top(ctx);
  std::vector<Variant> args;
  args.reserve(static_cast<size_t>(n));
  for (duk_idx_t i = 0; i < n; ++i) args.push_back(ToVariant(ctx, i, Undefined::kMissing));
  // Trailing omitted arguments are left out altogether, so defaults apply as for a shorter call.
  while (!args.empty() && args.back().is_missing()) args.pop_back();
  return args;
}

// Script null stands for Nothing where the member takes an object (db.setConnection(null)).
void NullAsNothing(const Dispatch& object, std::string_view name, MemberKind kind,
                   std::vector<Variant>& args) {
  const Member* member = object.Members().Find(name, kind);
  if (!member) return;
  for (size_t i = 0; i < args.size() && i < member->params.size(); ++i) {
    if (member->params[i].type == ParamType::kObject && args[i].is_null()) {
      args[i] = Variant::Nothing();
    }
  }
}

Variant Call(Dispatch& object, std::string_view name, MemberKind kind, std::vector<Variant> args) {
  NullAsNothing(object, name, kind, args);
  return object.Invoke(name, kind, std::move(args));
}

MemberKind PutKind(const Variant& value) {
  return value.is_object() ? MemberKind::kSet : MemberKind::kLet;
}

duk_ret_t PushResult(duk_context* ctx, const Variant& result) {
  PushVariant(ctx, result);
  return 1;
}

// obj(args): the default member.
duk_ret_t CallObject(duk_context* ctx) {
  return Guarded(ctx, [&] {
    std::vector<Variant> args = Arguments(ctx);
    duk_push_current_function(ctx);
    std::shared_ptr<Dispatch> object = ObjectOfTarget(ctx, -1);
    duk_pop(ctx);
    return PushResult(ctx, Call(*object, "", MemberKind::kMethod, std::move(args)));
  });
}

// obj.Member(args)
duk_ret_t CallMember(duk_context* ctx) {
  return Guarded(ctx, [&] {
    std::vector<Variant> args = Arguments(ctx);
    duk_push_current_function(ctx);
    std::shared_ptr<Dispatch> object = ObjectOfTarget(ctx, -1);
    std::string member = MemberOfTarget(ctx, -1);
    duk_pop(ctx);
    Shape shape = ShapeOf(*object, member);
    MemberKind kind = MemberKind::kMethod;
    if (!shape.method && !shape.get && !shape.get_with_params) {
      // A write-only property called like a method: db.setConnection(conn).
      kind = !args.empty() && args.back().is_object() ? MemberKind::kSet : MemberKind::kLet;
    }
    return PushResult(ctx, Call(*object, member, kind, std::move(args)));
  });
}

// obj.toString() and obj.valueOf(): the default value, when the object has one.
duk_ret_t DefaultValue(duk_context* ctx) {
  return Guarded(ctx, [&] {
    duk_push_current_function(ctx);
    std::shared_ptr<Dispatch> object = ObjectOfTarget(ctx, -1);
    std::string member = MemberOfTarget(ctx, -1);
    duk_pop(ctx);
    if (!member.empty()) return PushResult(ctx, object->Invoke(member, MemberKind::kGet));
    if (HasDefaultRead(*object)) return PushResult(ctx, object->Invoke("", MemberKind::kGet));
    std::string text = "[object " + object->ClassName() + "]";
    duk_push_lstring(ctx, text.data(), text.size());
    return 1;
  });
}

void PushDefaultValueFunction(duk_context* ctx, std::shared_ptr<Dispatch> object,
                              const std::string& member) {
  duk_push_c_function(ctx, DefaultValue, 0);
  Attach(ctx, std::move(object), Kind::kMember, member);
}

template <size_t N>
void PushProxy(duk_context* ctx, const char (&handler)[N]) {
  duk_push_global_stash(ctx);
  duk_get_prop_literal(ctx, -1, handler);
  duk_remove(ctx, -2);
  duk_push_proxy(ctx, 0);
}

void PushMember(duk_context* ctx, std::shared_ptr<Dispatch> object, const std::string& member) {
  duk_push_c_function(ctx, CallMember, DUK_VARARGS);
  Attach(ctx, std::move(object), Kind::kMember, member);
  PushProxy(ctx, kMemberHandler);
}

// Response.Write and the like: a member of a page object is made once per heap and kept, as the
// page objects' own wrappers are, standing for the member of whichever page runs.
void PushIntrinsicMember(duk_context* ctx, uint64_t id, const std::string& member) {
  std::string key = std::to_string(id) + ":" + member;
  duk_push_global_stash(ctx);
  duk_get_prop_literal(ctx, -1, kIntrinsicMembersKey);
  if (!duk_get_prop_lstring(ctx, -1, key.data(), key.size())) {
    duk_pop(ctx);
    duk_push_c_function(ctx, CallMember, DUK_VARARGS);
    Mark(ctx, id, Kind::kMember, member);
    PushProxy(ctx, kMemberHandler);
    duk_dup_top(ctx);
    duk_put_prop_lstring(ctx, -3, key.data(), key.size());
  }
  duk_replace(ctx, -3);
  duk_pop(ctx);
}

void PushContents(duk_context* ctx, std::shared_ptr<Dispatch> object) {
  duk_push_object(ctx);
  Attach(ctx, std::move(object), Kind::kContents, "");
  PushProxy(ctx, kContentsHandler);
}

[[noreturn]] void NoSuchMember(const Dispatch& object, const std::string& name) {
  throw Error(errc::kMemberNotFound, StandardDescription(errc::kMemberNotFound) + ": '" +
                                         object.ClassName() + "." + name + "'");
}

// Pushes what script code reads as object.name; id is the object's number when it is one of the
// page objects, else 0. *made_member, when given, says whether a new member wrapper was pushed.
duk_ret_t PushProperty(duk_context* ctx, const std::shared_ptr<Dispatch>& object,
                       const std::string& name, uint64_t id = 0, bool* made_member = nullptr) {
  Shape shape = ShapeOf(*object, name);
  if (!shape.any()) {
    if (name == "toString" || name == "valueOf") {
      PushDefaultValueFunction(ctx, object, "");
      return 1;
    }
    if (name == "Contents") {
      PushContents(ctx, object);
      return 1;
    }
    // Asked by the engine and by libraries when they look at any object.
    if (name == "toJSON" || name == "then" || name == "constructor" || name == "prototype" ||
        name == "length" || name == "name") {
      duk_push_undefined(ctx);
      return 1;
    }
    NoSuchMember(*object, name);
  }
  if (shape.get && !shape.method) {
    return PushResult(ctx, object->Invoke(name, MemberKind::kGet));
  }
  if (id >= 1 && id <= kIntrinsicCount) {
    PushIntrinsicMember(ctx, id, name);
  } else {
    PushMember(ctx, object, name);
    if (made_member) *made_member = true;
  }
  return 1;
}

// True when every parameter of the object's property read of that name may be left out.
bool ReadsWithoutArguments(const Dispatch& object, const std::string& name) {
  const Member* member = object.Members().Find(name, MemberKind::kGet);
  return member && member->kind == MemberKind::kGet && member->required_count() == 0;
}

// Proxy traps of a wrapped object: get(target, key, receiver).
duk_ret_t ObjectGet(duk_context* ctx) {
  return Guarded(ctx, [&] {
    std::string name;
    if (!KeyName(ctx, 1, &name)) {
      duk_push_undefined(ctx);
      return 1;
    }
    uint64_t id = IdOfTarget(ctx, 0);
    if (id <= kIntrinsicCount) return PushProperty(ctx, ObjectWithId(ctx, id), name, id);
    // A member read again, as rs.MoveNext in a loop, is the wrapper made the first time: it
    // stands for the member, not for a value, so it never goes stale. Property values are read
    // anew each time.
    bool cached = duk_get_prop_literal(ctx, 0, kMembersKey);
    duk_idx_t members = duk_get_top_index(ctx);
    if (cached) {
      if (duk_get_prop_lstring(ctx, members, name.data(), name.size())) return 1;
      duk_pop(ctx);
    }
    bool made_member = false;
    PushProperty(ctx, ObjectWithId(ctx, id), name, id, &made_member);
    if (made_member) {
      if (!cached) {
        duk_push_bare_object(ctx);
        duk_replace(ctx, members);
        duk_dup(ctx, members);
        duk_put_prop_literal(ctx, 0, kMembersKey);
      }
      duk_dup_top(ctx);
      duk_put_prop_lstring(ctx, members, name.data(), name.size());
    }
    return 1;
  });
}

// set(target, key, value, receiver)
duk_ret_t ObjectSet(duk_context* ctx) {
  return Guarded(ctx, [&] {
    std::string name;
    if (!KeyName(ctx, 1, &name)) {
      throw Error(errc::kMemberNotFound, "Components take no symbol-named properties");
    }
    std::shared_ptr<Dispatch> object = ObjectOfTarget(ctx, 0);
    Variant value = ToVariant(ctx, 2, Undefined::kEmpty);
    if (!ShapeOf(*object, name).put) NoSuchMember(*object, name);
    Call(*object, name, PutKind(value), {value});
    duk_push_true(ctx);
    return 1;
  });
}

// has(target, key)
duk_ret_t ObjectHas(duk_context* ctx) {
  return Guarded(ctx, [&] {
    std::string name;
    bool has = KeyName(ctx, 1, &name) && ShapeOf(*ObjectOfTarget(ctx, 0), name).any();
    duk_push_boolean(ctx, has);
    return 1;
  });
}

// Traps of obj.Member: get(target, key) reads Member(key).
duk_ret_t MemberGet(duk_context* ctx) {
  return Guarded(ctx, [&] {
    std::string key;
    // Only what calling a function needs stays the function's: Request.Form["name"] and
    // Request.Form["length"] are form fields.
    if (!KeyName(ctx, 1, &key) || key == "call" || key == "apply" || key == "bind") {
      duk_dup(ctx, 1);
      duk_get_prop(ctx, 0);
      return 1;
    }
    std::shared_ptr<Dispatch> object = ObjectOfTarget(ctx, 0);
    std::string member = MemberOfTarget(ctx, 0);
    if (key == "toString" || key == "valueOf") {
      PushDefaultValueFunction(ctx, object, member);
      return 1;
    }
    // rs.Fields.Count: a property that may be read without arguments and gives an object that
    // has such a member reads that member; Request.Form["x"] (whose plain read is text) reads x.
    if (ReadsWithoutArguments(*object, member)) {
      Variant plain = object->Invoke(member, MemberKind::kGet);
      if (plain.is_object() && plain.ToObject() && ShapeOf(*plain.ToObject(), key).any()) {
        return PushProperty(ctx, plain.ToObject(), key);
      }
    }
    return PushResult(ctx, object->Invoke(member, MemberKind::kGet, {KeyArgument(key)}));
  });
}

// set(target, key, value): writes Member(key) = value.
duk_ret_t MemberSet(duk_context* ctx) {
  return Guarded(ctx, [&] {
    std::string key;
    if (!KeyName(ctx, 1, &key)) {
      throw Error(errc::kMemberNotFound, "Components take no symbol-named properties");
    }
    std::shared_ptr<Dispatch> object = ObjectOfTarget(ctx, 0);
    std::string member = MemberOfTarget(ctx, 0);
    Variant value = ToVariant(ctx, 2, Undefined::kEmpty);
    Call(*object, member, PutKind(value), {KeyArgument(key), value});
    duk_push_true(ctx);
    return 1;
  });
}

// Traps of obj.Contents: the default member with the key.
duk_ret_t ContentsGet(duk_context* ctx) {
  return Guarded(ctx, [&] {
    std::string key;
    if (!KeyName(ctx, 1, &key)) {
      duk_push_undefined(ctx);
      return 1;
    }
    std::shared_ptr<Dispatch> object = ObjectOfTarget(ctx, 0);
    return PushResult(ctx, object->Invoke("", MemberKind::kGet, {Variant(key)}));
  });
}

duk_ret_t ContentsSet(duk_context* ctx) {
  return Guarded(ctx, [&] {
    std::string key;
    if (!KeyName(ctx, 1, &key)) {
      throw Error(errc::kMemberNotFound, "Collections take no symbol-named keys");
    }
    std::shared_ptr<Dispatch> object = ObjectOfTarget(ctx, 0);
    Variant value = ToVariant(ctx, 2, Undefined::kEmpty);
    Call(*object, "", PutKind(value), {Variant(key), value});
    duk_push_true(ctx);
    return 1;
  });
}

// Lets go of the object when the engine collects the target.
duk_ret_t Finalize(duk_context* ctx) {
  ScriptHeap::Of(ctx).objects.erase(IdOfTarget(ctx, 0));
  return 0;
}

void Attach(duk_context* ctx, std::shared_ptr<Dispatch> object, Kind kind,
            const std::string& member) {
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  uint64_t id = heap.next_object++;
  heap.objects.emplace(id, std::move(object));
  Mark(ctx, id, kind, member);
  duk_push_c_function(ctx, Finalize, 1);
  duk_set_finalizer(ctx, -2);
}

void Mark(duk_context* ctx, uint64_t id, Kind kind, const std::string& member) {
  duk_push_number(ctx, static_cast<double>(id));
  duk_put_prop_literal(ctx, -2, kIdKey);
  duk_push_int(ctx, static_cast<int>(kind));
  duk_put_prop_literal(ctx, -2, kKindKey);
  if (!member.empty()) {
    duk_push_lstring(ctx, member.data(), member.size());
    duk_put_prop_literal(ctx, -2, kMemberKey);
  }
}

void MakeHandler(duk_context* ctx, const char* stash_key,
                 std::initializer_list<std::pair<const char*, duk_c_function>> traps) {
  duk_push_global_stash(ctx);
  duk_push_object(ctx);
  for (const auto& [name, fn] : traps) {
    duk_push_c_function(ctx, fn, DUK_VARARGS);
    duk_put_prop_string(ctx, -2, name);
  }
  duk_put_prop_string(ctx, -2, stash_key);
  duk_pop(ctx);
}

// The page line the innermost script function is at.
int CurrentScriptLine(duk_context* ctx) {
  for (duk_int_t level = -1; level >= -64; --level) {
    duk_inspect_callstack_entry(ctx, level);
    if (duk_is_undefined(ctx, -1)) {
      duk_pop(ctx);
      return 0;
    }
    duk_get_prop_string(ctx, -1, "lineNumber");
    int line = duk_get_int_default(ctx, -1, 0);
    duk_pop_2(ctx);
    if (line > 0) return line;
  }
  return 0;
}

}  // namespace

void InstallObjectSupport(duk_context* ctx) {
  MakeHandler(ctx, kObjectHandler, {{"get", ObjectGet}, {"set", ObjectSet}, {"has", ObjectHas}});
  MakeHandler(ctx, kMemberHandler, {{"get", MemberGet}, {"set", MemberSet}});
  MakeHandler(ctx, kContentsHandler, {{"get", ContentsGet}, {"set", ContentsSet}});
  // The page objects' wrappers live as long as the heap, numbered 1 to kIntrinsicCount; each page
  // puts its own objects under those numbers. They have no finalizer: the number is not theirs.
  duk_push_global_stash(ctx);
  duk_push_array(ctx);
  for (uint64_t id = 1; id <= kIntrinsicCount; ++id) {
    duk_push_c_function(ctx, CallObject, DUK_VARARGS);
    Mark(ctx, id, Kind::kObject, "");
    PushProxy(ctx, kObjectHandler);
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(id - 1));
  }
  duk_put_prop_literal(ctx, -2, kIntrinsicsKey);
  duk_push_object(ctx);
  duk_put_prop_literal(ctx, -2, kIntrinsicMembersKey);
  duk_pop(ctx);
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  if (heap.next_object <= kIntrinsicCount) heap.next_object = kIntrinsicCount + 1;
}

void PushIntrinsics(duk_context* ctx, ScriptingContext& context) {
  std::shared_ptr<Dispatch> objects[kIntrinsicCount] = {context.Request(), context.Response(),
                                                        context.Server(), context.Session(),
                                                        context.Application()};
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  duk_push_global_stash(ctx);
  duk_get_prop_literal(ctx, -1, kIntrinsicsKey);
  duk_idx_t wrappers = duk_get_top_index(ctx);
  for (size_t i = 0; i < kIntrinsicCount; ++i) {
    if (objects[i]) {
      heap.page_objects[i] = std::move(objects[i]);
      duk_get_prop_index(ctx, wrappers, static_cast<duk_uarridx_t>(i));
    } else {
      duk_push_null(ctx);
    }
  }
  // The five wrappers take the places of the stash and its list.
  duk_remove(ctx, wrappers);
  duk_remove(ctx, wrappers - 1);
}

void PushObject(duk_context* ctx, std::shared_ptr<Dispatch> object) {
  if (!object) {
    duk_push_null(ctx);
    return;
  }
  duk_push_c_function(ctx, CallObject, DUK_VARARGS);
  Attach(ctx, std::move(object), Kind::kObject, "");
  PushProxy(ctx, kObjectHandler);
}

std::shared_ptr<Dispatch> WrappedObject(duk_context* ctx, duk_idx_t idx,
                                        std::shared_ptr<Dispatch>* member_of, std::string* member) {
  idx = duk_normalize_index(ctx, idx);
  if (!duk_is_object(ctx, idx)) return nullptr;
  // Hidden keys reach a proxy's target without running the traps.
  duk_get_prop_literal(ctx, idx, kKindKey);
  bool wrapped = duk_is_number(ctx, -1);
  auto kind = static_cast<Kind>(duk_get_int_default(ctx, -1, 0));
  duk_pop(ctx);
  if (!wrapped) return nullptr;
  std::shared_ptr<Dispatch> object = ObjectOfTarget(ctx, idx);
  if (kind == Kind::kMember) {
    *member_of = std::move(object);
    *member = MemberOfTarget(ctx, idx);
    return nullptr;
  }
  return object;
}

void PushScriptError(duk_context* ctx, const Error& e) {
  int line = CurrentScriptLine(ctx);
  duk_push_error_object(ctx, DUK_ERR_ERROR, "%s", e.description().c_str());
  duk_push_int(ctx, e.number());
  duk_put_prop_string(ctx, -2, "number");
  duk_push_lstring(ctx, e.description().data(), e.description().size());
  duk_put_prop_string(ctx, -2, "description");
  duk_push_lstring(ctx, e.source().data(), e.source().size());
  duk_put_prop_string(ctx, -2, "source");
  duk_push_int(ctx, line);
  duk_put_prop_literal(ctx, -2, kScriptErrorLineKey);
}

void RequestEndOfPage(duk_context* ctx) {
  ScriptHeap::Of(ctx).end_requested = true;
  InterruptScriptNow(ctx);
}

}  // namespace mirelda::script::javascript

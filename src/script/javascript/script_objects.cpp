#include "script/javascript/script_objects.h"

#include <string>
#include <vector>

#include "mirelda/text.h"
#include "script/javascript/engine_internals.h"
#include "script/javascript/script_heap.h"
#include "script/javascript/script_interrupt.h"
#include "script/javascript/script_values.h"

namespace mirelda::script::javascript {
namespace {

// On a wrapped object, the wrapper of a member read before is kept under this prefix and the
// name it was read by.
constexpr std::string_view kMemberPrefix = DUK_HIDDEN_SYMBOL("m:");
// Stash entries that keep the heap's lasting engine objects reachable.
constexpr const char kObjectHandler[] = DUK_HIDDEN_SYMBOL("mireldaObjectHandler");
constexpr const char kMemberHandler[] = DUK_HIDDEN_SYMBOL("mireldaMemberHandler");
constexpr const char kContentsHandler[] = DUK_HIDDEN_SYMBOL("mireldaContentsHandler");
constexpr const char kCallableBase[] = DUK_HIDDEN_SYMBOL("mireldaCallableBase");
constexpr const char kPlainBase[] = DUK_HIDDEN_SYMBOL("mireldaPlainBase");
constexpr const char kIntrinsicsKey[] = DUK_HIDDEN_SYMBOL("mireldaIntrinsics");
constexpr const char kIntrinsicMembersKey[] = DUK_HIDDEN_SYMBOL("mireldaIntrinsicMembers");

using Kind = ScriptHeap::WrapperKind;

// What members of one name an object has.
struct Shape {
  bool method = false;
  bool get = false;              // without parameters
  bool get_with_params = false;  // with one or more
  bool put = false;              // let or set
  bool any() const { return method || get || get_with_params || put; }
};

Shape ShapeOfId(const Dispatch& object, DispId id) {
  Shape shape;
  object.Members().ForEachWithId(id, [&shape](const Member& m) {
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

Shape ShapeOf(const Dispatch& object, std::string_view name) {
  return name.empty() ? Shape{} : ShapeOfId(object, object.Members().IdOf(name));
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

// Registers what the target at the top of the stack stands for under a fresh number, and gives
// the target the prototype whose finalizer lets go of it when the target is collected.
void Attach(duk_context* ctx, std::shared_ptr<Dispatch> object, Kind kind, std::string member);

// Registers the target at the top of the stack under its number; lasting for the page objects'
// wrappers and their members', which outlive every page.
void Mark(duk_context* ctx, uint64_t id, bool lasting = false) {
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  (lasting ? heap.lasting_targets : heap.page_targets)[duk_get_heapptr(ctx, -1)] = id;
}

// The number of the wrapper whose proxy or target is at idx; 0 for a value that is neither.
uint64_t IdOfTarget(duk_context* ctx, duk_idx_t idx) {
  if (!duk_is_object(ctx, idx)) return 0;
  const void* target = ProxyTarget(duk_get_heapptr(ctx, idx));
  const ScriptHeap& heap = ScriptHeap::Of(ctx);
  if (auto it = heap.page_targets.find(target); it != heap.page_targets.end()) return it->second;
  if (auto it = heap.lasting_targets.find(target); it != heap.lasting_targets.end()) {
    return it->second;
  }
  return 0;
}

[[noreturn]] void PageEnded() {
  throw Error(errc::kObjectVariableNotSet,
              "Object variable not set: the object belonged to a page that has ended");
}

// What a number stands for.
ScriptHeap::Wrapped WrappedWithId(duk_context* ctx, uint64_t id) {
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  if (id >= 1 && id <= kIntrinsicCount) {
    if (!heap.page_objects[id - 1]) PageEnded();
    return {heap.page_objects[id - 1], Kind::kObject, {}};
  }
  if (auto it = heap.objects.find(id); it != heap.objects.end()) return it->second;
  if (auto it = heap.intrinsic_members.find(id); it != heap.intrinsic_members.end()) {
    const auto& [place, member] = it->second;
    if (!heap.page_objects[place]) PageEnded();
    return {heap.page_objects[place], Kind::kMember, member};
  }
  PageEnded();
}

std::shared_ptr<Dispatch> ObjectWithId(duk_context* ctx, uint64_t id) {
  return WrappedWithId(ctx, id).object;
}

std::shared_ptr<Dispatch> ObjectOfTarget(duk_context* ctx, duk_idx_t idx) {
  return ObjectWithId(ctx, IdOfTarget(ctx, idx));
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
void NullAsNothing(const Member& member, std::vector<Variant>& args) {
  for (size_t i = 0; i < args.size() && i < member.params.size(); ++i) {
    if (member.params[i].type == ParamType::kObject && args[i].is_null()) {
      args[i] = Variant::Nothing();
    }
  }
}

// Calls the member of an id the caller has looked up already.
Variant CallId(Dispatch& object, DispId id, std::string_view name, MemberKind kind,
               std::vector<Variant> args) {
  const Member* member =
      id == kDispIdUnknown ? nullptr : object.Members().FindById(id, kind);
  // Invoke names the missing member in its error.
  if (!member) return object.Invoke(name, kind, std::move(args));
  NullAsNothing(*member, args);
  return object.InvokeById(id, kind, args);
}

Variant Call(Dispatch& object, std::string_view name, MemberKind kind, std::vector<Variant> args) {
  return CallId(object, object.Members().IdOf(name), name, kind, std::move(args));
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
    ScriptHeap::Wrapped target = WrappedWithId(ctx, IdOfTarget(ctx, -1));
    duk_pop(ctx);
    Dispatch& object = *target.object;
    DispId id = target.member.empty() ? kDispIdUnknown : object.Members().IdOf(target.member);
    Shape shape = ShapeOfId(object, id);
    MemberKind kind = MemberKind::kMethod;
    if (!shape.method && !shape.get && !shape.get_with_params) {
      // A write-only property called like a method: db.setConnection(conn).
      kind = !args.empty() && args.back().is_object() ? MemberKind::kSet : MemberKind::kLet;
    }
    return PushResult(ctx, CallId(object, id, target.member, kind, std::move(args)));
  });
}

// obj.toString() and obj.valueOf(): the default value, when the object has one.
duk_ret_t DefaultValue(duk_context* ctx) {
  return Guarded(ctx, [&] {
    duk_push_current_function(ctx);
    ScriptHeap::Wrapped target = WrappedWithId(ctx, IdOfTarget(ctx, -1));
    duk_pop(ctx);
    const std::shared_ptr<Dispatch>& object = target.object;
    const std::string& member = target.member;
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

// Makes the target at the top of the stack the target of a proxy with that handler.
void PushProxy(duk_context* ctx, void* handler) {
  duk_push_heapptr(ctx, handler);
  duk_push_proxy(ctx, 0);
}

void PushMember(duk_context* ctx, std::shared_ptr<Dispatch> object, std::string member) {
  duk_push_c_function(ctx, CallMember, DUK_VARARGS);
  Attach(ctx, std::move(object), Kind::kMember, std::move(member));
  PushProxy(ctx, ScriptHeap::Of(ctx).member_handler);
}

// Response.Write and the like: a member of a page object is made once per heap and kept, as the
// page objects' own wrappers are, standing for the member of whichever page runs.
void PushIntrinsicMember(duk_context* ctx, uint64_t id, const std::string& member) {
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  auto& made = heap.intrinsic_member_wrappers[id - 1];
  if (auto it = made.find(member); it != made.end()) {
    duk_push_heapptr(ctx, it->second);
    return;
  }
  uint64_t member_id = heap.next_object++;
  heap.intrinsic_members.emplace(member_id, std::pair(size_t{id - 1}, member));
  duk_push_c_function(ctx, CallMember, DUK_VARARGS);
  Mark(ctx, member_id, true);
  PushProxy(ctx, heap.member_handler);
  // The stash keeps the wrapper for the heap's life; the table finds it again.
  duk_push_global_stash(ctx);
  duk_get_prop_literal(ctx, -1, kIntrinsicMembersKey);
  duk_dup(ctx, -3);
  duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(duk_get_length(ctx, -2)));
  duk_pop_2(ctx);
  made.emplace(member, duk_get_heapptr(ctx, -1));
}

void PushContents(duk_context* ctx, std::shared_ptr<Dispatch> object) {
  duk_push_object(ctx);
  Attach(ctx, std::move(object), Kind::kContents, "");
  PushProxy(ctx, ScriptHeap::Of(ctx).contents_handler);
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
    ScriptHeap& heap = ScriptHeap::Of(ctx);
    auto found = heap.objects.find(id);
    if (found == heap.objects.end()) PageEnded();
    // Stays valid while the member is made: the table keeps its entries in place as it grows,
    // and this one goes only with its target, which the call holds.
    ScriptHeap::Wrapped& wrapped = found->second;
    // A member read again, as rs.MoveNext in a loop, is the wrapper made the first time: it
    // stands for the member, not for a value, so it never goes stale. Property values are read
    // anew each time.
    std::string key;
    key.reserve(kMemberPrefix.size() + name.size());
    key.append(kMemberPrefix).append(name);
    if (wrapped.keeps_members) {
      if (duk_get_prop_lstring(ctx, 0, key.data(), key.size())) return 1;
      duk_pop(ctx);
    }
    bool made_member = false;
    PushProperty(ctx, wrapped.object, name, id, &made_member);
    if (made_member) {
      duk_dup_top(ctx);
      duk_put_prop_lstring(ctx, 0, key.data(), key.size());
      wrapped.keeps_members = true;
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
    ScriptHeap::Wrapped target = WrappedWithId(ctx, IdOfTarget(ctx, 0));
    const std::shared_ptr<Dispatch>& object = target.object;
    const std::string& member = target.member;
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
    ScriptHeap::Wrapped target = WrappedWithId(ctx, IdOfTarget(ctx, 0));
    Variant value = ToVariant(ctx, 2, Undefined::kEmpty);
    Call(*target.object, target.member, PutKind(value), {KeyArgument(key), value});
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
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  if (auto it = heap.page_targets.find(duk_get_heapptr(ctx, 0)); it != heap.page_targets.end()) {
    heap.objects.erase(it->second);
    heap.page_targets.erase(it);
  }
  return 0;
}

void Attach(duk_context* ctx, std::shared_ptr<Dispatch> object, Kind kind, std::string member) {
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  uint64_t id = heap.next_object++;
  heap.objects.emplace(id, ScriptHeap::Wrapped{std::move(object), kind, std::move(member)});
  Mark(ctx, id);
  // The finalizer is inherited: the engine looks for it along the prototype chain.
  duk_push_heapptr(ctx, duk_is_function(ctx, -1) ? heap.callable_base : heap.plain_base);
  duk_set_prototype(ctx, -2);
}

// Makes an engine object that lives as long as the heap: the stash keeps it under stash_key,
// and its address is returned for duk_push_heapptr.
void* KeepInStash(duk_context* ctx, const char* stash_key) {
  void* kept = duk_get_heapptr(ctx, -1);
  duk_push_global_stash(ctx);
  duk_swap_top(ctx, -2);
  duk_put_prop_string(ctx, -2, stash_key);
  duk_pop(ctx);
  return kept;
}

void* MakeHandler(duk_context* ctx, const char* stash_key,
                  std::initializer_list<std::pair<const char*, duk_c_function>> traps) {
  duk_push_object(ctx);
  for (const auto& [name, fn] : traps) {
    duk_push_c_function(ctx, fn, DUK_VARARGS);
    duk_put_prop_string(ctx, -2, name);
  }
  return KeepInStash(ctx, stash_key);
}

// A prototype for wrappers' targets that carries the finalizer; it inherits from what the
// target at the top of the stack inherits from, so functions stay functions.
void* MakeBase(duk_context* ctx, const char* stash_key) {
  duk_push_object(ctx);
  duk_get_prototype(ctx, -2);
  duk_set_prototype(ctx, -2);
  duk_push_c_function(ctx, Finalize, 1);
  duk_set_finalizer(ctx, -2);
  return KeepInStash(ctx, stash_key);
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
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  heap.object_handler = MakeHandler(
      ctx, kObjectHandler, {{"get", ObjectGet}, {"set", ObjectSet}, {"has", ObjectHas}});
  heap.member_handler =
      MakeHandler(ctx, kMemberHandler, {{"get", MemberGet}, {"set", MemberSet}});
  heap.contents_handler =
      MakeHandler(ctx, kContentsHandler, {{"get", ContentsGet}, {"set", ContentsSet}});
  duk_push_c_function(ctx, CallObject, DUK_VARARGS);
  heap.callable_base = MakeBase(ctx, kCallableBase);
  duk_pop(ctx);
  duk_push_object(ctx);
  heap.plain_base = MakeBase(ctx, kPlainBase);
  duk_pop(ctx);
  // The page objects' wrappers live as long as the heap, numbered 1 to kIntrinsicCount; each page
  // puts its own objects under those numbers. They have no finalizer: the number is not theirs.
  duk_push_global_stash(ctx);
  duk_push_array(ctx);
  for (uint64_t id = 1; id <= kIntrinsicCount; ++id) {
    duk_push_c_function(ctx, CallObject, DUK_VARARGS);
    Mark(ctx, id, true);
    PushProxy(ctx, heap.object_handler);
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(id - 1));
  }
  duk_put_prop_literal(ctx, -2, kIntrinsicsKey);
  duk_push_array(ctx);
  duk_put_prop_literal(ctx, -2, kIntrinsicMembersKey);
  duk_pop(ctx);
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
  PushProxy(ctx, ScriptHeap::Of(ctx).object_handler);
}

std::shared_ptr<Dispatch> WrappedObject(duk_context* ctx, duk_idx_t idx,
                                        std::shared_ptr<Dispatch>* member_of, std::string* member) {
  idx = duk_normalize_index(ctx, idx);
  if (!duk_is_object(ctx, idx)) return nullptr;
  uint64_t id = IdOfTarget(ctx, idx);
  if (id == 0) {
    // A wrapper kept past the end of its page still inherits the finalizer's prototype.
    const void* prototype = StoredPrototype(ProxyTarget(duk_get_heapptr(ctx, idx)));
    const ScriptHeap& heap = ScriptHeap::Of(ctx);
    if (prototype && (prototype == heap.callable_base || prototype == heap.plain_base)) {
      PageEnded();
    }
    return nullptr;
  }
  ScriptHeap::Wrapped target = WrappedWithId(ctx, id);
  if (target.kind == Kind::kMember) {
    *member_of = std::move(target.object);
    *member = std::move(target.member);
    return nullptr;
  }
  return std::move(target.object);
}

void HoldFinalizers(duk_context* ctx) {
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  if (heap.finalizers_held || heap.objects.empty()) return;
  SwitchFinalizer(heap.callable_base, false);
  SwitchFinalizer(heap.plain_base, false);
  heap.finalizers_held = true;
}

void ResumeFinalizers(duk_context* ctx) {
  ScriptHeap& heap = ScriptHeap::Of(ctx);
  if (!heap.finalizers_held) return;
  SwitchFinalizer(heap.callable_base, true);
  SwitchFinalizer(heap.plain_base, true);
  heap.finalizers_held = false;
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

// Late binding: every object that page scripts or components reach by name derives from Dispatch
// and declares a member table. The table is the type information (names, kinds, parameters, by-ref
// flags, optional defaults); Invoke finds a member without regard to case, checks the argument
// count, fills omitted optionals and coerces each argument to the declared C++ type before calling
// the typed member. A typed member that takes a parameter as T& takes it by reference: through
// InvokeById the value it leaves there comes back to the caller's argument. C++ callers call the
// typed members directly.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mirelda/error.h"
#include "mirelda/export.h"
#include "mirelda/guid.h"
#include "mirelda/variant.h"

namespace mirelda {

enum class MemberKind : uint8_t {
  kMethod,  // function or procedure
  kGet,     // property read
  kLet,     // property write taking a value
  kSet,     // property write taking an object
};

enum class ParamType : uint8_t {
  kNone,  // procedures: no result
  kVariant,
  kBoolean,
  kInteger,
  kLong,
  kDouble,
  kDate,
  kString,
  kObject,
};

MIRELDA_API std::string_view ToString(MemberKind kind);
MIRELDA_API std::string_view ToString(ParamType type);

struct Param {
  std::string name;
  ParamType type = ParamType::kVariant;
  bool optional = false;
  bool by_ref = false;
  // The value an omitted optional argument takes: "" for text, 0 for numbers, Missing for a
  // variant, Nothing for an object, unless the table names another.
  Variant default_value;
};

// A member's name resolved once in its table: the same for every kind of the name. 0 is the
// default member when the table has one.
using DispId = int32_t;
inline constexpr DispId kDispIdUnknown = -1;

class Dispatch;
using Invoker = std::function<Variant(Dispatch& self, std::vector<Variant>& args)>;

struct MIRELDA_API Member {
  std::string name;
  MemberKind kind = MemberKind::kMethod;
  std::vector<Param> params;
  ParamType result = ParamType::kNone;
  bool is_default = false;  // reached by an empty name, as obj(args) does
  Invoker invoke;

  size_t required_count() const;
};

class MIRELDA_API MemberTable {
 public:
  MemberTable(std::string interface_name, std::optional<Guid> interface_id,
              std::vector<Member> members);

  const std::string& interface_name() const { return interface_name_; }
  const std::optional<Guid>& interface_id() const { return interface_id_; }
  const std::vector<Member>& members() const { return members_; }

  // The member of this name (any letter case) and kind; an empty name finds the default member.
  // A method call also finds a property read of that name, and a read finds a method, as
  // late-bound callers expect. Null when there is none.
  const Member* Find(std::string_view name, MemberKind kind) const;
  // True when some member has this name, of any kind.
  bool Has(std::string_view name) const;
  // Calls f(const Member&) for every member of this name (any letter case), in table order; an
  // empty name names none.
  template <class F>
  void ForEachNamed(std::string_view name, F&& f) const {
    if (!name.empty()) ForEachWithId(IdOf(name), std::forward<F>(f));
  }
  // The same for the name of an id that IdOf gave; none for kDispIdUnknown.
  template <class F>
  void ForEachWithId(DispId id, F&& f) const {
    if (id < 0 || static_cast<size_t>(id) >= named_.size()) return;
    for (int32_t index : named_[static_cast<size_t>(id)]) f(members_[static_cast<size_t>(index)]);
  }

  // The id of a name (any letter case), found in constant time; "" gives the default member's
  // id 0. kDispIdUnknown when no member has the name.
  DispId IdOf(std::string_view name) const;
  // The member of an id and kind, by the same rules as Find; null when there is none.
  const Member* FindById(DispId id, MemberKind kind) const;

 private:
  static constexpr int32_t kNoMember = -1;
  // For each id, the index in members_ that each kind resolves to (kNoMember when none).
  using Resolved = std::array<int32_t, 4>;
  void BuildIndex();
  // Find by walking the table, which the index is built from.
  const Member* FindInTable(std::string_view name, MemberKind kind) const;

  std::string interface_name_;
  std::optional<Guid> interface_id_;
  std::vector<Member> members_;
  // Names in any letter case find their lower-case key without a lower-case copy being made.
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const noexcept;
  };
  struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept;
  };
  std::unordered_map<std::string, DispId, NameHash, NameEqual> ids_;  // lower-case name -> id
  std::vector<Resolved> resolved_;               // indexed by id
  std::vector<std::vector<int32_t>> named_;      // by id, the indices of the members of its name
};

class MIRELDA_API Dispatch : public std::enable_shared_from_this<Dispatch> {
 public:
  virtual ~Dispatch();

  virtual const MemberTable& Members() const = 0;
  // The class name that descriptions and diagnostics show.
  virtual std::string ClassName() const;
  // The class identifier of a registered class; empty for host and helper objects.
  virtual std::optional<Guid> ClassId() const;

  // Calls a member by name. Raises Error: 438 when no member of that name and kind exists, 450
  // for a wrong argument count, 449 when a required argument is missing, and the conversion
  // errors (13, 6, 94, 424) of the coercion to the declared types.
  Variant Invoke(std::string_view name, MemberKind kind, std::vector<Variant> args = {});
  // Calls a member by id with the same checks; afterwards args[i] holds what the member left in
  // its by-reference parameter i. 438 for an id this object's table does not have.
  Variant InvokeById(DispId id, MemberKind kind, std::vector<Variant>& args);

  // The items of a collection, in order, for For Each and Enumerator. Object not a collection
  // (451) unless the class is one.
  virtual std::vector<Variant> Enumerate();

  // Conveniences over Invoke.
  template <class... A>
  Variant Call(std::string_view name, A&&... args) {
    return Invoke(name, MemberKind::kMethod, {Variant(std::forward<A>(args))...});
  }
  template <class... A>
  Variant Get(std::string_view name, A&&... args) {
    return Invoke(name, MemberKind::kGet, {Variant(std::forward<A>(args))...});
  }
  void Let(std::string_view name, Variant value) {
    Invoke(name, MemberKind::kLet, {std::move(value)});
  }
  void Set(std::string_view name, std::shared_ptr<Dispatch> object) {
    Invoke(name, MemberKind::kSet, {Variant(std::move(object))});
  }

 private:
  Variant CallMember(const Member& member, std::vector<Variant>& args);
};

// An argument of a member as the table declares it; its type comes from the C++ signature.
struct Arg {
  explicit Arg(std::string n) : name(std::move(n)) {}
  Arg&& ByRef() && {
    by_ref = true;
    return std::move(*this);
  }
  Arg&& Optional() && {
    optional = true;
    return std::move(*this);
  }
  Arg&& Optional(Variant value) && {
    optional = true;
    default_value = std::move(value);
    return std::move(*this);
  }

  std::string name;
  bool by_ref = false;
  bool optional = false;
  std::optional<Variant> default_value;
};

namespace dispatch_detail {

template <class T>
using Plain = std::remove_cvref_t<T>;

template <class T>
struct Traits;
template <>
struct Traits<Variant> {
  static constexpr ParamType kType = ParamType::kVariant;
  static Variant From(Variant& v) { return v; }
  static Variant To(Variant v) { return v; }
};
template <>
struct Traits<bool> {
  static constexpr ParamType kType = ParamType::kBoolean;
  static bool From(Variant& v) { return v.ToBool(); }
  static Variant To(bool v) { return Variant(v); }
};
template <>
struct Traits<int16_t> {
  static constexpr ParamType kType = ParamType::kInteger;
  static int16_t From(Variant& v) { return v.ToInteger(); }
  static Variant To(int16_t v) { return Variant(v); }
};
template <>
struct Traits<int32_t> {
  static constexpr ParamType kType = ParamType::kLong;
  static int32_t From(Variant& v) { return v.ToLong(); }
  static Variant To(int32_t v) { return Variant(v); }
};
template <>
struct Traits<double> {
  static constexpr ParamType kType = ParamType::kDouble;
  static double From(Variant& v) { return v.ToDouble(); }
  static Variant To(double v) { return Variant(v); }
};
template <>
struct Traits<Date> {
  static constexpr ParamType kType = ParamType::kDate;
  static Date From(Variant& v) { return v.ToDate(); }
  static Variant To(Date v) { return Variant(v); }
};
template <>
struct Traits<std::string> {
  static constexpr ParamType kType = ParamType::kString;
  static std::string From(Variant& v) { return v.ToString(); }
  static Variant To(std::string v) { return Variant(std::move(v)); }
};
template <class D>
struct Traits<std::shared_ptr<D>> {
  static constexpr ParamType kType = ParamType::kObject;
  static std::shared_ptr<D> From(Variant& v) {
    auto object = v.ToObject();
    if constexpr (std::is_same_v<D, Dispatch>) {
      return object;
    } else {
      if (!object) return nullptr;
      auto typed = std::dynamic_pointer_cast<D>(object);
      if (!typed) throw Error(errc::kTypeMismatch);
      return typed;
    }
  }
  static Variant To(std::shared_ptr<D> v) {
    return Variant(std::shared_ptr<Dispatch>(std::move(v)));
  }
};

// A parameter taken as a non-const T& is by reference: its value goes back to the argument.
template <class A>
inline constexpr bool kByRef =
    std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;

template <class F>
struct Fn;
template <class R, class C, class... A>
struct Fn<R (C::*)(A...)> {
  using Result = R;
  using Args = std::tuple<Plain<A>...>;
  using Declared = std::tuple<A...>;
  static constexpr size_t kArity = sizeof...(A);
};
template <class R, class C, class... A>
struct Fn<R (C::*)(A...) const> : Fn<R (C::*)(A...)> {};

// The converted argument as the member takes it: an lvalue for a reference, moved otherwise.
template <class A, class V>
decltype(auto) Pass(V& value) {
  if constexpr (std::is_lvalue_reference_v<A>) {
    return static_cast<V&>(value);
  } else {
    return static_cast<V&&>(value);
  }
}

template <class A, class V>
void WriteBack(V& value, Variant& arg) {
  if constexpr (kByRef<A>) arg = Traits<V>::To(value);
}

template <class T, auto F, size_t... I>
Variant CallTyped(Dispatch& self, std::vector<Variant>& args, std::index_sequence<I...>) {
  using Info = Fn<decltype(F)>;
  // Braced initialisation converts the arguments left to right.
  typename Info::Args converted{
      Traits<std::tuple_element_t<I, typename Info::Args>>::From(args[I])...};
  T& object = static_cast<T&>(self);
  Variant result;
  if constexpr (std::is_void_v<typename Info::Result>) {
    (object.*F)(Pass<std::tuple_element_t<I, typename Info::Declared>>(std::get<I>(converted))...);
  } else {
    result = Traits<Plain<typename Info::Result>>::To((object.*F)(
        Pass<std::tuple_element_t<I, typename Info::Declared>>(std::get<I>(converted))...));
  }
  (WriteBack<std::tuple_element_t<I, typename Info::Declared>>(std::get<I>(converted), args[I]),
   ...);
  return result;
}

template <class R>
constexpr ParamType ResultType() {
  if constexpr (std::is_void_v<R>) {
    return ParamType::kNone;
  } else {
    return Traits<Plain<R>>::kType;
  }
}

template <class Tuple, size_t... I>
std::vector<ParamType> ParamTypes(std::index_sequence<I...>) {
  return {Traits<std::tuple_element_t<I, Tuple>>::kType...};
}

template <class Tuple, size_t... I>
std::vector<bool> ByRefParams(std::index_sequence<I...>) {
  return {kByRef<std::tuple_element_t<I, Tuple>>...};
}

}  // namespace dispatch_detail

// Declares the member table of class T:
//   static const MemberTable table = MemberTableBuilder<Database>("_Database", kIid)
//       .Method<&Database::OnStartPage>("OnStartPage", {Arg("vScriptingContext").ByRef()})
//       .Build();
// Parameter types and the result type come from the member function's signature.
template <class T>
class MemberTableBuilder {
 public:
  explicit MemberTableBuilder(std::string interface_name, std::optional<Guid> iid = {})
      : interface_name_(std::move(interface_name)), iid_(iid) {}

  template <auto F>
  MemberTableBuilder& Method(std::string name, std::vector<Arg> args = {}) {
    return Add<F>(std::move(name), MemberKind::kMethod, std::move(args));
  }
  template <auto F>
  MemberTableBuilder& Get(std::string name, std::vector<Arg> args = {}) {
    return Add<F>(std::move(name), MemberKind::kGet, std::move(args));
  }
  template <auto F>
  MemberTableBuilder& Let(std::string name, std::vector<Arg> args) {
    return Add<F>(std::move(name), MemberKind::kLet, std::move(args));
  }
  template <auto F>
  MemberTableBuilder& Set(std::string name, std::vector<Arg> args) {
    return Add<F>(std::move(name), MemberKind::kSet, std::move(args));
  }
  // Marks the member added last as the default member.
  MemberTableBuilder& Default() {
    members_.back().is_default = true;
    return *this;
  }

  MemberTable Build() { return MemberTable(interface_name_, iid_, std::move(members_)); }

 private:
  template <auto F>
  MemberTableBuilder& Add(std::string name, MemberKind kind, std::vector<Arg> args) {
    using Info = dispatch_detail::Fn<decltype(F)>;
    static_assert(std::is_base_of_v<Dispatch, T>);
    constexpr size_t arity = Info::kArity;
    if (args.size() != arity) {
      throw std::logic_error("member table of " + interface_name_ + ": " + name +
                             " declares a wrong number of parameters");
    }
    auto types =
        dispatch_detail::ParamTypes<typename Info::Args>(std::make_index_sequence<arity>{});
    auto by_ref =
        dispatch_detail::ByRefParams<typename Info::Declared>(std::make_index_sequence<arity>{});
    Member member;
    member.name = std::move(name);
    member.kind = kind;
    member.result = dispatch_detail::ResultType<typename Info::Result>();
    for (size_t i = 0; i < arity; ++i) {
      Param p;
      p.name = std::move(args[i].name);
      p.type = types[i];
      p.optional = args[i].optional;
      // A T& parameter is by reference whatever the table says: its value comes back.
      p.by_ref = args[i].by_ref || by_ref[i];
      p.default_value =
          args[i].default_value ? std::move(*args[i].default_value) : DefaultFor(p.type);
      member.params.push_back(std::move(p));
    }
    member.invoke = [](Dispatch& self, std::vector<Variant>& a) {
      return dispatch_detail::CallTyped<T, F>(self, a, std::make_index_sequence<arity>{});
    };
    members_.push_back(std::move(member));
    return *this;
  }

  static Variant DefaultFor(ParamType type) {
    switch (type) {
      case ParamType::kString:
        return Variant("");
      case ParamType::kBoolean:
        return Variant(false);
      case ParamType::kInteger:
        return Variant(int16_t{0});
      case ParamType::kLong:
        return Variant(int32_t{0});
      case ParamType::kDouble:
        return Variant(0.0);
      case ParamType::kDate:
        return Variant(Date{});
      case ParamType::kObject:
        return Variant::Nothing();
      default:
        return Variant::Missing();
    }
  }

  std::string interface_name_;
  std::optional<Guid> iid_;
  std::vector<Member> members_;
};

}  // namespace mirelda

// How the page languages reach members whose kinds they do not know at the call site: the rules
// that both script engines share, on top of Dispatch. A call site resolves a name to a member id
// once (MemberCache) and reuses it for every object of the same member table.
#pragma once

#include <string_view>
#include <vector>

#include "mirelda/dispatch.h"
#include "mirelda/export.h"
#include "mirelda/variant.h"

namespace mirelda {

// What a call site remembers of the last object it reached: its member table and the id of the
// name in it.
struct MemberCache {
  const void* table = nullptr;
  DispId id = kDispIdUnknown;
};

// obj.name(args) in an expression: a property read or a method call. When the member takes no
// parameters but arguments were given, the member is read without them and the arguments index
// its result (LateIndex). An empty name is the default member. By-reference arguments come back
// changed in args. Raises 438 for a name the object does not have.
MIRELDA_API Variant LateGet(Dispatch& object, std::string_view name, std::vector<Variant>& args,
                            MemberCache* cache = nullptr);
// obj.name(args) as a statement: a method, or else a property read, whose result is dropped.
MIRELDA_API Variant LateCall(Dispatch& object, std::string_view name, std::vector<Variant>& args,
                             MemberCache* cache = nullptr);
// obj.name(args) = value (set false: a property let) or Set obj.name(args) = value (set true: a
// property set). A let of an object goes to a set member when the object has only that, and the
// reverse. When the member takes no parameters but arguments were given, the member is read and
// the assignment goes to its result's default member with the arguments.
MIRELDA_API void LatePut(Dispatch& object, std::string_view name, std::vector<Variant>& args,
                         Variant value, bool set, MemberCache* cache = nullptr);
// value(args): the element of an array at the indices args, or the default member of an object
// with args. Raises 13 for other values, 9 for indices outside an array's bounds.
MIRELDA_API Variant LateIndex(const Variant& value, std::vector<Variant>& args);
// The value a page language uses where it needs a value and has an object: the object's default
// member read without arguments (438 when it has none, 91 for Nothing); other values as they are.
MIRELDA_API Variant ValueOf(const Variant& value);

}  // namespace mirelda

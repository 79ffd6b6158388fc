// The late-binding rules both page languages use: reads and calls by name through a call-site
// cache, default members, arguments that index a property's value, lets and sets, and by-ref
// arguments coming back.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "mirelda/error.h"
#include "mirelda/late_binding.h"
#include "mirelda/variant_ops.h"
#include "support/print_variant.h"

namespace mirelda {
namespace {

// A small keyed collection, shaped like the page objects: Item(key) is the default member, Count
// a read-only property, Names a property holding an array, Swap takes both arguments by
// reference and Owner is an object property with Let and Set.
class Bag final : public Dispatch {
 public:
  Variant Item(std::string key) {
    auto it = items_.find(key);
    return it == items_.end() ? Variant() : it->second;
  }
  void SetItem(std::string key, Variant value) { items_[key] = std::move(value); }
  int32_t Count() { return static_cast<int32_t>(items_.size()); }
  Variant Names() {
    std::vector<Variant> names;
    for (const auto& [key, value] : items_) names.emplace_back(key);
    return Variant(VariantArray(std::move(names)));
  }
  void Swap(Variant& a, Variant& b) { std::swap(a, b); }
  Variant Owner() { return owner_; }
  void SetOwner(std::shared_ptr<Dispatch> owner) { owner_ = Variant(std::move(owner)); }
  void LetLabel(std::string label) { label_ = std::move(label); }
  std::string Label() { return label_; }

  const MemberTable& Members() const override {
    static const MemberTable table =
        MemberTableBuilder<Bag>("Bag")
            .Get<&Bag::Item>("Item", {Arg("key")})
            .Default()
            .Let<&Bag::SetItem>("Item", {Arg("key"), Arg("value")})
            .Get<&Bag::Count>("Count")
            .Get<&Bag::Names>("Names")
            .Method<&Bag::Swap>("Swap", {Arg("a"), Arg("b")})
            .Get<&Bag::Owner>("Owner")
            .Set<&Bag::SetOwner>("Owner", {Arg("owner")})
            .Get<&Bag::Label>("Label")
            .Let<&Bag::LetLabel>("Label", {Arg("label")})
            .Build();
    return table;
  }

 private:
  std::map<std::string, Variant> items_;
  Variant owner_ = Variant::Nothing();
  std::string label_;
};

// An object whose default member is a value read without arguments, as a recordset field is.
class Cell final : public Dispatch {
 public:
  explicit Cell(Variant value) : value_(std::move(value)) {}
  Variant Value() { return value_; }
  const MemberTable& Members() const override {
    static const MemberTable table =
        MemberTableBuilder<Cell>("Cell").Get<&Cell::Value>("Value").Default().Build();
    return table;
  }

 private:
  Variant value_;
};

int32_t ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

TEST(LateBinding, ReadsCallsAndTheCache) {
  auto bag = std::make_shared<Bag>();
  bag->SetItem("a", Variant(int32_t{1}));
  bag->SetItem("b", Variant(int32_t{2}));
  MemberCache cache;
  std::vector<Variant> none;
  EXPECT_EQ(LateGet(*bag, "COUNT", none, &cache), Variant(int32_t{2}));
  EXPECT_EQ(cache.table, &bag->Members());
  DispId remembered = cache.id;
  EXPECT_NE(remembered, kDispIdUnknown);
  // A second object of the same class reuses the id without looking the name up.
  auto other = std::make_shared<Bag>();
  EXPECT_EQ(LateGet(*other, "Count", none, &cache), Variant(int32_t{0}));
  EXPECT_EQ(cache.id, remembered);

  std::vector<Variant> key = {Variant("b")};
  EXPECT_EQ(LateGet(*bag, "", key), Variant(int32_t{2})) << "the default member";
  EXPECT_EQ(LateCall(*bag, "item", key), Variant(int32_t{2})) << "a call reads a property";

  // A property without parameters given arguments: its value is indexed with them.
  std::vector<Variant> index = {Variant(int16_t{1})};
  EXPECT_EQ(LateGet(*bag, "Names", index), Variant("b"));

  std::vector<Variant> args;
  EXPECT_EQ(ErrorOf([&] { LateGet(*bag, "Nope", args); }), errc::kMemberNotFound);
  try {
    LateGet(*bag, "Nope", args);
  } catch (const Error& e) {
    EXPECT_NE(e.description().find("'Nope'"), std::string::npos) << e.description();
  }
}

TEST(LateBinding, ByReferenceArgumentsComeBack) {
  auto bag = std::make_shared<Bag>();
  std::vector<Variant> args = {Variant("left"), Variant(int32_t{7})};
  LateCall(*bag, "Swap", args);
  EXPECT_EQ(args[0], Variant(int32_t{7}));
  EXPECT_EQ(args[1], Variant("left"));
}

TEST(LateBinding, LetsAndSets) {
  auto bag = std::make_shared<Bag>();
  std::vector<Variant> key = {Variant("k")};
  LatePut(*bag, "Item", key, Variant("v"), false);
  EXPECT_EQ(bag->Item("k"), Variant("v"));
  LatePut(*bag, "", key, Variant("w"), false);
  EXPECT_EQ(bag->Item("k"), Variant("w")) << "the default member takes a let with arguments";

  auto owner = std::make_shared<Bag>();
  std::vector<Variant> none;
  LatePut(*bag, "Owner", none, Variant(owner), true);
  EXPECT_TRUE(Is(bag->Owner(), Variant(owner)));
  // A let of an object to a property that has only a Set goes to the Set.
  auto second = std::make_shared<Bag>();
  LatePut(*bag, "Owner", none, Variant(second), false);
  EXPECT_TRUE(Is(bag->Owner(), Variant(second)));

  // A let of an object to a value property assigns the object's default value.
  LatePut(*bag, "Label", none, Variant(std::make_shared<Cell>(Variant("label text"))), false);
  EXPECT_EQ(bag->Label(), "label text");

  // Assigning through a property that holds an object: its default member takes the value.
  std::vector<Variant> inner_key = {Variant("x")};
  LatePut(*bag, "Owner", inner_key, Variant(int32_t{5}), false);
  EXPECT_EQ(second->Item("x"), Variant(int32_t{5}));

  EXPECT_EQ(ErrorOf([&] { LatePut(*bag, "Count", none, Variant(1), false); }),
            errc::kMemberNotFound);
  EXPECT_EQ(ErrorOf([&] { LatePut(*bag, "Missing", none, Variant(1), false); }),
            errc::kMemberNotFound);
}

TEST(LateBinding, IndexAndDefaultValues) {
  struct IndexCase {
    const char* what;
    Variant value;
    std::vector<Variant> args;
    Variant expected;
    int32_t error;
  };
  VariantArray grid = VariantArray::WithBounds({{0, 1}, {0, 2}});
  std::vector<int64_t> at = {1, 2};
  grid.at(std::span<const int64_t>(at)) = Variant("corner");
  auto bag = std::make_shared<Bag>();
  bag->SetItem("k", Variant(3.5));
  const std::vector<IndexCase> cases = {
      {"array element", Variant(VariantArray({Variant(1), Variant(2)})), {Variant(1)},
       Variant(2), 0},
      {"two dimensions", Variant(grid), {Variant(1), Variant(2)}, Variant("corner"), 0},
      {"outside the bounds", Variant(VariantArray({Variant(1)})), {Variant(3)}, Variant(),
       errc::kSubscriptOutOfRange},
      {"wrong dimension count", Variant(grid), {Variant(1)}, Variant(), errc::kSubscriptOutOfRange},
      {"byte of a byte array", Variant(ByteArray(std::string_view("AB"))), {Variant(1)},
       Variant(uint8_t{66}), 0},
      {"default member", Variant(bag), {Variant("k")}, Variant(3.5), 0},
      {"nothing", Variant::Nothing(), {Variant(1)}, Variant(), errc::kObjectVariableNotSet},
      {"text is no array", Variant("abc"), {Variant(1)}, Variant(), errc::kTypeMismatch},
  };
  for (const IndexCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Variant> args = c.args;
    if (c.error) {
      EXPECT_EQ(ErrorOf([&] { LateIndex(c.value, args); }), c.error);
    } else {
      EXPECT_EQ(LateIndex(c.value, args), c.expected);
    }
  }

  EXPECT_EQ(ValueOf(Variant(int32_t{4})), Variant(int32_t{4}));
  EXPECT_EQ(ErrorOf([] { ValueOf(Variant::Nothing()); }), errc::kObjectVariableNotSet);
  bag->SetItem("", Variant("whole"));
  EXPECT_EQ(ErrorOf([&] { ValueOf(Variant(bag)); }), errc::kWrongArgumentCount)
      << "a default member that needs an argument has no value alone";
}

}  // namespace
}  // namespace mirelda

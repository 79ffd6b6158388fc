// Members reached by name and by id: case-blind lookup, argument counts and coercion, optional
// and by-reference parameters, default members, enumeration, and the late-binding rules both
// page languages use on top (the call-site cache, indexing a property's value, lets and sets).
#include "mirelda/dispatch.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cell.h"
#include "mirelda/late_binding.h"
#include "mirelda/variant_ops.h"
#include "support/error_matchers.h"

namespace mirelda {
namespace {

using testing::Cell;

// A class without a default member.
class Plain : public Dispatch {
 public:
  int32_t Size() { return 3; }
  const MemberTable& Members() const override {
    static const MemberTable table =
        MemberTableBuilder<Plain>("Plain").Get<&Plain::Size>("Size").Build();
    return table;
  }
};

// A method with optional parameters and one declared by reference, a default property with a
// Let, and an object property with only a Set.
class Sample : public Dispatch {
 public:
  std::string Join(int16_t count, const std::string& text, Variant extra, std::string suffix) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    last_extra = extra;
    return out + suffix;
  }
  int32_t Twice(int32_t n) { return n * 2; }
  void SetName(const std::string& name) { this->name = name; }
  void SetPeer(std::shared_ptr<Sample> peer) { this->peer = std::move(peer); }
  std::string Name() { return name; }

  const MemberTable& Members() const override {
    static const MemberTable table =
        MemberTableBuilder<Sample>("_Sample")
            .Method<&Sample::Join>("Join", {Arg("count"), Arg("text").ByRef(),
                                            Arg("extra").Optional(), Arg("suffix").Optional()})
            .Method<&Sample::Twice>("Twice", {Arg("n")})
            .Let<&Sample::SetName>("Name", {Arg("value")})
            .Get<&Sample::Name>("Name")
            .Default()
            .Set<&Sample::SetPeer>("Peer", {Arg("value")})
            .Build();
    return table;
  }

  std::string name;
  Variant last_extra;
  std::shared_ptr<Sample> peer;
};

// A keyed collection shaped like the page objects: Item(key) is the default member, Count a
// read-only property, Names a property holding an array, Swap and Bump take T& parameters that
// the table does not declare by reference, Owner an object property with Get and Set.
class Bag final : public Dispatch {
 public:
  Variant Item(std::string key) {
    auto it = items_.find(key);
    return it == items_.end() ? Variant() : it->second;
  }
  void SetItem(std::string key, Variant value) { items_[key] = std::move(value); }
  int32_t Count() { return static_cast<int32_t>(items_.size()); }
  Variant Names() { return Variant(VariantArray(Enumerate())); }
  int32_t Swap(Variant& a, Variant& b) {
    std::swap(a, b);
    return 2;
  }
  // Every by-reference shape a component takes: a Variant, text and a number.
  void Bump(Variant& value, std::string& text, int32_t& number, [[maybe_unused]] int32_t by_value) {
    value = Variant(value.ToLong() + 1);
    text += "!";
    number *= 2;
    by_value = 0;  // a by-value copy: the caller's argument must not change
  }
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
            .Method<&Bag::Bump>("Bump", {Arg("value"), Arg("text"), Arg("number"), Arg("by_value")})
            .Get<&Bag::Owner>("Owner")
            .Set<&Bag::SetOwner>("Owner", {Arg("owner")})
            .Get<&Bag::Label>("Label")
            .Let<&Bag::LetLabel>("Label", {Arg("label")})
            .Build();
    return table;
  }
  std::vector<Variant> Enumerate() override {
    std::vector<Variant> keys;
    for (const auto& [key, value] : items_) keys.emplace_back(key);
    return keys;
  }

 private:
  std::map<std::string, Variant> items_;
  Variant owner_ = Variant::Nothing();
  std::string label_;
};

TEST(Dispatch, FindsMembersWithoutRegardToCaseAndFillsOptionals) {
  auto s = std::make_shared<Sample>();
  EXPECT_EQ(s->Call("jOiN", 2, "ab").ToString(), "abab");
  EXPECT_TRUE(s->last_extra.is_missing());  // an omitted variant arrives as the missing marker
  EXPECT_EQ(s->Call("JOIN", "3", "x", 1, Variant::Missing()).ToString(), "xxx");  // "" default
  EXPECT_EQ(
      s->Invoke("Join", MemberKind::kMethod, {Variant(1), Variant("q"), Variant(7), Variant("!")})
          .ToString(),
      "q!");
  EXPECT_EQ(s->last_extra.ToLong(), 7);
}

TEST(Dispatch, ChecksTheArgumentCountAndCoercesToTheDeclaredTypes) {
  auto s = std::make_shared<Sample>();
  EXPECT_ERROR(s->Call("Join", 1), errc::kWrongArgumentCount);
  EXPECT_ERROR(s->Call("Join", 1, "a", 2, "b", "c"), errc::kWrongArgumentCount);
  EXPECT_ERROR(s->Call("Join", Variant::Missing(), "a"), errc::kArgumentNotOptional);
  EXPECT_ERROR(s->Call("Twice"), errc::kWrongArgumentCount);
  EXPECT_EQ(s->Call("Twice", "21").ToLong(), 42);
  EXPECT_EQ(s->Call("Twice", 2.5).ToLong(), 4);  // 2.5 rounds to 2
  EXPECT_ERROR(s->Call("Twice", "many"), errc::kTypeMismatch);
  EXPECT_ERROR(s->Call("Join", 40000, "a"), errc::kOverflow);
  EXPECT_ERROR(s->Call("Join", Variant::Null(), "a"), errc::kInvalidUseOfNull);
  EXPECT_ERROR(s->Set("Peer", std::make_shared<Plain>()), errc::kTypeMismatch);
  EXPECT_ERROR(s->Let("Peer", Variant(5)), errc::kObjectRequired);
  s->Set("Peer", nullptr);
  EXPECT_EQ(s->peer, nullptr);
}

TEST(Dispatch, PropertiesDefaultMemberAndUnknownNames) {
  auto s = std::make_shared<Sample>();
  s->Let("name", Variant(12));
  EXPECT_EQ(s->name, "12");
  EXPECT_EQ(s->Get("NAME").ToString(), "12");
  EXPECT_EQ(s->Call("Name").ToString(), "12");                        // a call reads a property
  EXPECT_EQ(s->Invoke("", MemberKind::kGet).ToString(), "12");        // the default member
  EXPECT_EQ(Variant(std::shared_ptr<Dispatch>(s)).ToString(), "12");  // text of an object
  EXPECT_ERROR(s->Call("Missing"), errc::kMemberNotFound);
  EXPECT_ERROR(s->Get("Twice2"), errc::kMemberNotFound);
}

TEST(Dispatch, TheTableDescribesParameters) {
  const MemberTable& t = Sample().Members();
  const Member* join = t.Find("join", MemberKind::kMethod);
  ASSERT_NE(join, nullptr);
  ASSERT_EQ(join->params.size(), 4u);
  EXPECT_EQ(join->params[0].type, ParamType::kInteger);
  EXPECT_TRUE(join->params[1].by_ref);
  EXPECT_EQ(join->params[2].type, ParamType::kVariant);
  EXPECT_TRUE(join->params[3].optional);
  EXPECT_EQ(join->result, ParamType::kString);
  EXPECT_EQ(join->required_count(), 2u);
  EXPECT_EQ(t.Find("Name", MemberKind::kLet)->result, ParamType::kNone);
  // A T& parameter is by reference in the table even when the declaration does not say so.
  const Member* bump = Bag().Members().Find("bump", MemberKind::kMethod);
  EXPECT_TRUE(bump->params[0].by_ref);
  EXPECT_TRUE(bump->params[2].by_ref);
  EXPECT_FALSE(bump->params[3].by_ref);
}

TEST(DispatchIds, OneIdPerNameWhateverTheCaseAndKind) {
  const MemberTable& table = Bag().Members();
  for (const char* name : {"bump", "BUMP", "Swap", "item", "count"}) {
    EXPECT_NE(table.IdOf(name), kDispIdUnknown) << name;
  }
  for (const char* name : {"missing", "bum"}) EXPECT_EQ(table.IdOf(name), kDispIdUnknown) << name;
  EXPECT_EQ(table.IdOf("Item"), 0);  // the default member
  EXPECT_EQ(table.IdOf(""), 0);
  EXPECT_NE(table.IdOf("Bump"), table.IdOf("Swap"));
  EXPECT_EQ(table.IdOf("Bump"), table.IdOf("bUmP"));

  DispId item = table.IdOf("item");
  EXPECT_EQ(table.FindById(item, MemberKind::kGet)->kind, MemberKind::kGet);
  EXPECT_EQ(table.FindById(item, MemberKind::kLet)->kind, MemberKind::kLet);
  // The same fallbacks as by name: a call reaches a property read, a set reaches the let.
  EXPECT_EQ(table.FindById(item, MemberKind::kMethod), table.Find("item", MemberKind::kMethod));
  EXPECT_EQ(table.FindById(item, MemberKind::kSet), table.Find("item", MemberKind::kSet));
  EXPECT_EQ(table.FindById(table.IdOf("count"), MemberKind::kLet), nullptr);
  for (DispId bad : {kDispIdUnknown, DispId{99}, DispId{-7}}) {
    EXPECT_EQ(table.FindById(bad, MemberKind::kGet), nullptr) << bad;
  }

  const MemberTable& plain = Plain().Members();
  EXPECT_EQ(plain.IdOf(""), kDispIdUnknown);  // no default member
  EXPECT_NE(plain.IdOf("size"), 0);
  EXPECT_EQ(plain.FindById(0, MemberKind::kGet), nullptr);
}

TEST(DispatchIds, InvokeByIdChecksLikeInvokeAndHandsReferencesBack) {
  Bag bag;
  DispId bump = bag.Members().IdOf("bump");
  std::vector<Variant> args = {Variant(int16_t{41}), Variant("hi"), Variant("5"), Variant(7)};
  bag.InvokeById(bump, MemberKind::kMethod, args);
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[0], Variant(int32_t{42}));
  EXPECT_EQ(args[1], Variant("hi!"));
  EXPECT_EQ(args[2], Variant(int32_t{10}));  // converted to the declared type, then written back
  EXPECT_EQ(args[3], Variant(7));            // by value: left alone
  std::vector<Variant> pair = {Variant("a"), Variant(1.5)};
  EXPECT_EQ(bag.InvokeById(bag.Members().IdOf("SWAP"), MemberKind::kMethod, pair), Variant(2));
  EXPECT_EQ(pair, (std::vector<Variant>{Variant(1.5), Variant("a")}));

  std::vector<Variant> few = {Variant(1)};
  EXPECT_ERROR(bag.InvokeById(bump, MemberKind::kMethod, few), errc::kWrongArgumentCount);
  std::vector<Variant> bad = {Variant(1), Variant("x"), Variant("many"), Variant(1)};
  EXPECT_ERROR(bag.InvokeById(bump, MemberKind::kMethod, bad), errc::kTypeMismatch);
  std::vector<Variant> none;
  EXPECT_ERROR(bag.InvokeById(kDispIdUnknown, MemberKind::kGet, none), errc::kMemberNotFound);
  std::vector<Variant> let = {Variant("k"), Variant("v")};
  bag.InvokeById(0, MemberKind::kLet, let);
  std::vector<Variant> key = {Variant("k")};
  EXPECT_EQ(bag.InvokeById(0, MemberKind::kGet, key), Variant("v"));
}

TEST(DispatchIds, EnumerationIsForCollectionsOnly) {
  Bag bag;
  bag.SetItem("b", Variant(1));
  bag.SetItem("a", Variant(2));
  EXPECT_EQ(bag.Enumerate(), (std::vector<Variant>{Variant("a"), Variant("b")}));
  EXPECT_ERROR(Plain().Enumerate(), errc::kObjectNotCollection);
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
  Bag other;
  EXPECT_EQ(LateGet(other, "Count", none, &cache), Variant(int32_t{0}));
  EXPECT_EQ(cache.id, remembered);

  std::vector<Variant> key = {Variant("b")};
  EXPECT_EQ(LateGet(*bag, "", key), Variant(int32_t{2})) << "the default member";
  EXPECT_EQ(LateCall(*bag, "item", key), Variant(int32_t{2})) << "a call reads a property";
  // A property without parameters given arguments: its value is indexed with them.
  std::vector<Variant> index = {Variant(int16_t{1})};
  EXPECT_EQ(LateGet(*bag, "Names", index), Variant("b"));
  std::vector<Variant> pair = {Variant("left"), Variant(int32_t{7})};
  LateCall(*bag, "Swap", pair);
  EXPECT_EQ(pair, (std::vector<Variant>{Variant(int32_t{7}), Variant("left")}));

  try {
    LateGet(*bag, "Nope", none);
    ADD_FAILURE() << "an unknown name was read";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kMemberNotFound);
    EXPECT_NE(e.description().find("'Nope'"), std::string::npos) << e.description();
  }
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

  EXPECT_ERROR(LatePut(*bag, "Count", none, Variant(1), false), errc::kMemberNotFound);
  EXPECT_ERROR(LatePut(*bag, "Missing", none, Variant(1), false), errc::kMemberNotFound);
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
  auto array = [](std::vector<Variant> items) { return Variant(VariantArray(std::move(items))); };
  const std::vector<IndexCase> cases = {
      {"array element", array({Variant(1), Variant(2)}), {Variant(1)}, Variant(2), 0},
      {"two dimensions", Variant(grid), {Variant(1), Variant(2)}, Variant("corner"), 0},
      {"outside the bounds", array({Variant(1)}), {Variant(3)}, {}, errc::kSubscriptOutOfRange},
      {"wrong dimension count", Variant(grid), {Variant(1)}, {}, errc::kSubscriptOutOfRange},
      {"byte of a byte array", Variant(ByteArray("AB")), {Variant(1)}, Variant(uint8_t{66}), 0},
      {"default member", Variant(bag), {Variant("k")}, Variant(3.5), 0},
      {"nothing", Variant::Nothing(), {Variant(1)}, {}, errc::kObjectVariableNotSet},
      {"text is no array", Variant("abc"), {Variant(1)}, {}, errc::kTypeMismatch},
  };
  for (const IndexCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Variant> args = c.args;
    if (c.error) {
      EXPECT_ERROR(LateIndex(c.value, args), c.error);
    } else {
      EXPECT_EQ(LateIndex(c.value, args), c.expected);
    }
  }

  EXPECT_EQ(ValueOf(Variant(int32_t{4})), Variant(int32_t{4}));
  EXPECT_ERROR(ValueOf(Variant::Nothing()), errc::kObjectVariableNotSet);
  // A default member that needs an argument has no value alone, even with an item under "".
  bag->SetItem("", Variant("whole"));
  EXPECT_ERROR(ValueOf(Variant(bag)), errc::kWrongArgumentCount);
}

}  // namespace
}  // namespace mirelda

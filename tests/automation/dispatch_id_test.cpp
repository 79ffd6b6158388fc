// Member ids resolved once, calls by id that hand by-reference parameters back, and enumeration.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mirelda/dispatch.h"
#include "support/error_matchers.h"

namespace mirelda {
namespace {

class Counter : public Dispatch {
 public:
  // Every by-reference shape a component takes: a Variant, text and a number.
  void Bump(Variant& value, std::string& text, int32_t& number,
            [[maybe_unused]] int32_t by_value) {
    value = Variant(value.ToLong() + 1);
    text += "!";
    number *= 2;
    by_value = 0;  // a by-value copy: the caller's argument must not change
  }
  int32_t Swap(Variant& a, Variant& b) {
    std::swap(a, b);
    return 2;
  }
  std::string Item(const std::string& key) { return "item " + key; }
  void SetItem(const std::string& key, const std::string& value) { items.push_back(key + value); }
  int32_t Count() { return static_cast<int32_t>(items.size()); }

  const MemberTable& Members() const override {
    static const MemberTable table =
        MemberTableBuilder<Counter>("Counter")
            .Method<&Counter::Bump>("Bump", {Arg("value"), Arg("text"), Arg("number"),
                                             Arg("by_value")})
            .Method<&Counter::Swap>("Swap", {Arg("a").ByRef(), Arg("b").ByRef()})
            .Get<&Counter::Item>("Item", {Arg("key")})
            .Default()
            .Let<&Counter::SetItem>("Item", {Arg("key"), Arg("value")})
            .Get<&Counter::Count>("Count")
            .Build();
    return table;
  }
  std::vector<Variant> Enumerate() override {
    return std::vector<Variant>(items.begin(), items.end());
  }

  std::vector<std::string> items;
};

class Plain : public Dispatch {
 public:
  int32_t Size() { return 3; }
  const MemberTable& Members() const override {
    static const MemberTable table =
        MemberTableBuilder<Plain>("Plain").Get<&Plain::Size>("Size").Build();
    return table;
  }
};

TEST(DispatchIds, OneIdPerNameWhateverTheCaseAndKind) {
  const MemberTable& table = Counter().Members();
  struct Case {
    const char* name;
    bool known;
  };
  for (const Case& c : std::vector<Case>{{"bump", true}, {"BUMP", true}, {"Swap", true},
                                         {"item", true}, {"count", true}, {"missing", false},
                                         {"bum", false}}) {
    DispId id = table.IdOf(c.name);
    EXPECT_EQ(id != kDispIdUnknown, c.known) << c.name;
  }
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

TEST(DispatchIds, ReferenceParametersComeBackThroughInvokeById) {
  Counter counter;
  std::vector<Variant> args = {Variant(int16_t{41}), Variant("hi"), Variant("5"), Variant(7)};
  counter.InvokeById(counter.Members().IdOf("bump"), MemberKind::kMethod, args);
  ASSERT_EQ(args.size(), 4u);
  EXPECT_EQ(args[0], Variant(int32_t{42}));
  EXPECT_EQ(args[1], Variant("hi!"));
  EXPECT_EQ(args[2], Variant(int32_t{10}));  // converted to the declared type, then written back
  EXPECT_EQ(args[3], Variant(7));            // by value: left alone

  std::vector<Variant> pair = {Variant("a"), Variant(1.5)};
  EXPECT_EQ(counter.InvokeById(counter.Members().IdOf("SWAP"), MemberKind::kMethod, pair),
            Variant(2));
  EXPECT_EQ(pair, (std::vector<Variant>{Variant(1.5), Variant("a")}));

  // By name the arguments are values: nothing comes back.
  EXPECT_EQ(counter.Invoke("Swap", MemberKind::kMethod, pair), Variant(2));

  // A T& parameter is by reference in the table even when the declaration does not say so.
  const Member* bump = counter.Members().Find("bump", MemberKind::kMethod);
  EXPECT_TRUE(bump->params[0].by_ref);
  EXPECT_TRUE(bump->params[2].by_ref);
  EXPECT_FALSE(bump->params[3].by_ref);
}

TEST(DispatchIds, InvokeByIdChecksLikeInvoke) {
  Counter counter;
  DispId bump = counter.Members().IdOf("bump");
  std::vector<Variant> few = {Variant(1)};
  EXPECT_ERROR(counter.InvokeById(bump, MemberKind::kMethod, few), errc::kWrongArgumentCount);
  std::vector<Variant> bad = {Variant(1), Variant("x"), Variant("many"), Variant(1)};
  EXPECT_ERROR(counter.InvokeById(bump, MemberKind::kMethod, bad), errc::kTypeMismatch);
  std::vector<Variant> none;
  EXPECT_ERROR(counter.InvokeById(kDispIdUnknown, MemberKind::kGet, none), errc::kMemberNotFound);
  std::vector<Variant> key = {Variant("k")};
  EXPECT_EQ(counter.InvokeById(0, MemberKind::kGet, key), Variant("item k"));
  std::vector<Variant> let = {Variant("k"), Variant("v")};
  counter.InvokeById(0, MemberKind::kLet, let);
  EXPECT_EQ(counter.items, std::vector<std::string>{"kv"});
}

TEST(DispatchIds, EnumerationIsForCollectionsOnly) {
  Counter counter;
  counter.items = {"a", "b"};
  EXPECT_EQ(counter.Enumerate(), (std::vector<Variant>{Variant("a"), Variant("b")}));
  Plain plain;
  EXPECT_ERROR(plain.Enumerate(), errc::kObjectNotCollection);
}

}  // namespace
}  // namespace mirelda

#include "mirelda/dispatch.h"

#include <gtest/gtest.h>

#include "support/error_matchers.h"

namespace mirelda {
namespace {

// A small class with one member of each shape that the components declare.
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

class Other : public Dispatch {
 public:
  const MemberTable& Members() const override {
    static const MemberTable table = MemberTableBuilder<Other>("_Other").Build();
    return table;
  }
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

TEST(Dispatch, ChecksTheArgumentCount) {
  auto s = std::make_shared<Sample>();
  EXPECT_ERROR(s->Call("Join", 1), errc::kWrongArgumentCount);
  EXPECT_ERROR(s->Call("Join", 1, "a", 2, "b", "c"), errc::kWrongArgumentCount);
  EXPECT_ERROR(s->Call("Join", Variant::Missing(), "a"), errc::kArgumentNotOptional);
  EXPECT_ERROR(s->Call("Twice"), errc::kWrongArgumentCount);
}

TEST(Dispatch, CoercesArgumentsToTheDeclaredTypes) {
  auto s = std::make_shared<Sample>();
  EXPECT_EQ(s->Call("Twice", "21").ToLong(), 42);
  EXPECT_EQ(s->Call("Twice", 2.5).ToLong(), 4);  // 2.5 rounds to 2
  EXPECT_ERROR(s->Call("Twice", "many"), errc::kTypeMismatch);
  EXPECT_ERROR(s->Call("Join", 40000, "a"), errc::kOverflow);
  EXPECT_ERROR(s->Call("Join", Variant::Null(), "a"), errc::kInvalidUseOfNull);
  EXPECT_ERROR(s->Set("Peer", std::make_shared<Other>()), errc::kTypeMismatch);
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
}

}  // namespace
}  // namespace mirelda

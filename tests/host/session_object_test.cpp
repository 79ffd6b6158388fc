// What one page's Session costs the store it shares with other hosts: no call for a page that
// never touches it, one load before first use, at most one save after the page, and a page
// that another page beat to the save redoes its changes on top.
#include <gtest/gtest.h>

#include <array>

#include "host/objects/session.h"
#include "host/state/postgres_session_store.h"
#include "mirelda/error.h"
#include "support/print_variant.h"

namespace mirelda::host {
namespace {

using namespace std::chrono_literals;

// creates, loads, saves, touches, removes
using Calls = std::array<int, 5>;

// The memory store, counted and seen as a shared one, so that pages take the path they take
// on PostgreSQL.
class CountedStore final : public SessionStore {
 public:
  explicit CountedStore(MemorySessionStore& store) : store_(store) {}
  std::string Create(SessionState state) override {
    ++calls[0];
    return store_.Create(std::move(state));
  }
  std::optional<LoadedSession> Load(const std::string& id) override {
    ++calls[1];
    return store_.Load(id);
  }
  SaveOutcome Save(const std::string& id, const SessionState& state, uint64_t expected) override {
    ++calls[2];
    return store_.Save(id, state, expected);
  }
  void Touch(const std::string& id) override {
    ++calls[3];
    store_.Touch(id);
  }
  std::optional<std::string> Renew(const std::string& id) override { return store_.Renew(id); }
  void Remove(const std::string& id) override {
    ++calls[4];
    store_.Remove(id);
  }
  void Sweep() override { store_.Sweep(); }
  void SetEndHandler(SessionEndHandler handler) override {
    store_.SetEndHandler(std::move(handler));
  }
  bool local() const override { return false; }

  Calls calls{};

 private:
  MemorySessionStore& store_;
};

struct PageCase {
  const char* what;
  bool with_cookie;
  std::chrono::seconds idle;  // since the session was last used
  std::function<void(HttpSession&)> page;
  Calls calls;
};

TEST(SessionObject, APageCostsTheStoreOnlyWhatItUses) {
  auto none = [](HttpSession&) {};
  auto reads = [](HttpSession& s) {
    EXPECT_EQ(s.Value("n"), Variant(int32_t{1}));
    s.Value("other");
    s.Names();
  };
  auto writes = [](HttpSession& s) {
    s.SetValue("n", Variant(int32_t{2}));
    s.SetValue("m", Variant("x"));
    s.Remove("gone");
    EXPECT_EQ(s.Value("n"), Variant(int32_t{2}));
  };
  auto read_one = [](HttpSession& s) { s.Value("n"); };
  auto write_one = [](HttpSession& s) { s.SetValue("n", Variant(int32_t{2})); };
  auto abandon = [](HttpSession& s) { s.Abandon(); };
  const std::vector<PageCase> cases = {
      {"untouched, no cookie", false, 0s, none, {0, 0, 0, 0, 0}},
      {"untouched, with cookie", true, 0s, none, {0, 0, 0, 0, 0}},
      {"reads", true, 0s, reads, {0, 1, 0, 0, 0}},
      {"reads after a long idle", true, 5min, read_one, {0, 1, 0, 1, 0}},
      {"writes", true, 5min, writes, {0, 1, 1, 0, 0}},
      {"first write makes the session", false, 0s, write_one, {1, 0, 1, 0, 0}},
      {"abandons", true, 0s, abandon, {0, 1, 0, 0, 1}},
  };
  for (const PageCase& c : cases) {
    auto now = std::chrono::steady_clock::now();
    MemorySessionStore memory(100, [&] { return now; });
    SessionState state;
    state.values["n"] = Variant(int32_t{1});
    std::string id = memory.Create(state);
    now += c.idle;
    CountedStore store(memory);
    int32_t code_page = 936;
    auto session = std::make_shared<HttpSession>(
        store, c.with_cookie ? std::optional<std::string>(id) : std::nullopt, SessionState{},
        code_page);
    c.page(*session);
    session->FinishPage();
    EXPECT_EQ(store.calls, c.calls) << c.what;
  }
}

TEST(SessionObject, APageThatLostTheRaceToSaveRedoesItsChangesOnTop) {
  MemorySessionStore store;
  SessionState state;
  state.values["both"] = Variant("start");
  state.values["dropped"] = Variant("here");
  std::string id = store.Create(state);
  int32_t code_page = 936;
  auto first = std::make_shared<HttpSession>(store, id, SessionState{}, code_page);
  auto second = std::make_shared<HttpSession>(store, id, SessionState{}, code_page);
  first->SetValue("first", Variant(int32_t{1}));
  first->SetValue("both", Variant("first"));
  second->SetValue("second", Variant(int32_t{2}));
  second->SetValue("both", Variant("second"));
  second->Remove("dropped");
  first->FinishPage();
  second->FinishPage();
  std::optional<LoadedSession> saved = store.Load(id);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->state.values["first"], Variant(int32_t{1}));
  EXPECT_EQ(saved->state.values["second"], Variant(int32_t{2}));
  EXPECT_EQ(saved->state.values["both"], Variant("second")) << "the page that ends last wins";
  EXPECT_EQ(saved->state.values.count("dropped"), 0u);
  EXPECT_EQ(saved->version, 3u);
}

TEST(SessionObject, ObjectsAndAStoreThatIsDownGiveClearScriptErrors) {
  MemorySessionStore memory;
  int32_t code_page = 936;
  auto session = std::make_shared<HttpSession>(memory, std::nullopt, SessionState{}, code_page);
  try {
    session->SetValue("o", Variant::Nothing());
    ADD_FAILURE() << "an object was stored";
  } catch (const Error& e) {
    EXPECT_EQ(e.description(), "A session value cannot hold an object");
  }
  PostgresSessionStore down(std::make_shared<PostgresPool>("postgresql://nobody@127.0.0.1:1/x"),
                            10);
  auto page = std::make_shared<HttpSession>(down, std::string(32, 'a'), SessionState{}, code_page);
  EXPECT_FALSE(page->store_failed());
  try {
    page->Value("n");
    ADD_FAILURE() << "a session was read from nowhere";
  } catch (const Error& e) {
    EXPECT_NE(e.description().find("The session store cannot be reached"), std::string::npos)
        << e.description();
  }
  EXPECT_TRUE(page->store_failed());
  EXPECT_FALSE(page->FinishPage());
}

}  // namespace
}  // namespace mirelda::host

// Sessions in memory: identifiers, expiry and renewal.
#include "host/state/session_store.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace mirelda::host {
namespace {

TEST(SessionStore, IdentifiersAreRandom128BitHex) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    std::string id = NewSessionId();
    ASSERT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST(SessionStore, RenewalKeepsValuesAndRetiresTheOldIdentifier) {
  MemorySessionStore store;
  SessionState state;
  state.values["adminID"] = Variant(int32_t{1});
  std::string id = store.Create(state);
  std::optional<std::string> fresh = store.Renew(id);
  ASSERT_TRUE(fresh);
  EXPECT_NE(*fresh, id);
  EXPECT_FALSE(store.Update(id, [](SessionState&) { ADD_FAILURE() << "old id still works"; }));
  Variant seen;
  EXPECT_TRUE(store.Update(*fresh, [&](SessionState& s) { seen = s.values["ADMINID"]; }));
  EXPECT_EQ(seen, Variant(int32_t{1}));
  EXPECT_FALSE(store.Renew("no-such-session"));
  store.Remove(*fresh);
  EXPECT_EQ(store.size(), 0u);
}

TEST(SessionStore, IdleSessionsExpireAndUseKeepsThemAlive) {
  MemorySessionStore store;
  SessionState state;
  state.timeout = std::chrono::seconds(1);
  std::string idle = store.Create(state);
  std::string used = store.Create(state);
  for (int i = 0; i < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(store.Update(used, [](SessionState&) {}));
  }
  EXPECT_FALSE(store.Update(idle, [](SessionState&) {}));
  EXPECT_FALSE(store.Renew(idle));
}

TEST(SessionStore, AFullStoreMakesRoomFromTheSessionsIdleLongest) {
  MemorySessionStore store(20);
  std::vector<std::string> ids;
  for (int i = 0; i < 20; ++i) {
    ids.push_back(store.Create({}));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(store.Update(ids[0], [](SessionState&) {}));  // now the most recently used
  std::string fresh = store.Create({});
  EXPECT_LE(store.size(), 20u);
  EXPECT_TRUE(store.Update(fresh, [](SessionState&) {}));
  EXPECT_TRUE(store.Update(ids[0], [](SessionState&) {}));
  EXPECT_FALSE(store.Update(ids[1], [](SessionState&) {}));  // idle longest
  EXPECT_TRUE(store.Update(ids[19], [](SessionState&) {}));
}

TEST(SessionStore, TheEndHandlerHearsOfEverySessionThatEndsWithItsLastValues) {
  MemorySessionStore store;
  std::vector<std::pair<std::string, Variant>> ended;
  store.SetEndHandler([&](const std::string& id, SessionState state) {
    ended.emplace_back(id, state.values["who"]);
  });
  SessionState state;
  state.timeout = std::chrono::seconds(1);
  state.values["who"] = Variant(std::string("idle"));
  std::string idle = store.Create(state);
  state.values["who"] = Variant(std::string("gone"));
  std::string gone = store.Create(state);
  std::optional<std::string> renewed = store.Renew(store.Create(state));
  ASSERT_TRUE(renewed);
  EXPECT_TRUE(ended.empty()) << "a renewal is no end";
  store.Remove(gone);
  store.Remove(gone);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0], std::make_pair(gone, Variant(std::string("gone"))));
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  store.Sweep();
  ASSERT_EQ(ended.size(), 3u);
  EXPECT_EQ(store.size(), 0u);
  std::set<std::string> swept{ended[1].first, ended[2].first};
  EXPECT_EQ(swept, (std::set<std::string>{idle, *renewed}));
}

TEST(SessionStore, ConcurrentWritersLoseNoValue) {
  MemorySessionStore store;
  std::string id = store.Create({});
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 250; ++i) {
        store.Update(id, [&](SessionState& s) {
          s.values["k" + std::to_string(t) + "_" + std::to_string(i)] = Variant(int32_t{i});
        });
      }
    });
  }
  for (auto& t : threads) t.join();
  size_t count = 0;
  store.Update(id, [&](SessionState& s) { count = s.values.size(); });
  EXPECT_EQ(count, 1000u);
}

}  // namespace
}  // namespace mirelda::host

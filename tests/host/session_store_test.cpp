// Sessions in memory: identifiers, versions, expiry, the cap and renewal, on a clock the test
// moves by hand.
#include "host/state/session_store.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <thread>

namespace mirelda::host {
namespace {

using namespace std::chrono_literals;

// A clock that stands still until the test moves it.
struct HandClock {
  std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
  MemorySessionStore::Clock Reader() {
    return [this] { return now; };
  }
};

SessionState WithValue(const std::string& name, Variant value,
                       std::chrono::seconds timeout = 20min) {
  SessionState state;
  state.values[name] = std::move(value);
  state.timeout = timeout;
  return state;
}

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

TEST(SessionStore, IdleSessionsExpireWhileSavesAndTouchesKeepThemAlive) {
  HandClock clock;
  MemorySessionStore store(100, clock.Reader());
  auto create = [&] { return store.Create(WithValue("v", Variant(), 60s)); };
  std::string idle = create(), saved = create(), touched = create(), loaded = create();
  for (int i = 0; i < 3; ++i) {
    clock.now += 40s;
    std::optional<LoadedSession> s = store.Load(saved);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->idle, 40s);
    EXPECT_EQ(store.Save(saved, s->state, s->version), SaveOutcome::kSaved);
    store.Touch(touched);
    if (i == 0) {
      EXPECT_TRUE(store.Load(loaded));
    }
  }
  EXPECT_FALSE(store.Load(idle));
  EXPECT_FALSE(store.Load(loaded)) << "a load alone does not move the idle clock";
  EXPECT_FALSE(store.Renew(idle));
  EXPECT_TRUE(store.Load(saved));
  EXPECT_TRUE(store.Load(touched));
  clock.now += 59s;
  EXPECT_TRUE(store.Load(touched));
  clock.now += 1s;
  EXPECT_FALSE(store.Load(touched)) << "gone at exactly its timeout";
}

TEST(SessionStore, AFullStoreMakesRoomFromTheSessionsIdleLongest) {
  HandClock clock;
  MemorySessionStore store(20, clock.Reader());
  std::vector<std::string> ids;
  for (int i = 0; i < 20; ++i) {
    ids.push_back(store.Create({}));
    clock.now += 1s;
  }
  store.Touch(ids[0]);  // now the most recently used
  std::string fresh = store.Create({});
  EXPECT_EQ(store.size(), 19u) << "the two idle longest made room, then the new one came";
  EXPECT_TRUE(store.Load(fresh));
  EXPECT_TRUE(store.Load(ids[0]));
  EXPECT_FALSE(store.Load(ids[1]));
  EXPECT_FALSE(store.Load(ids[2]));
  EXPECT_TRUE(store.Load(ids[3]));
  EXPECT_TRUE(store.Load(ids[19]));
}

TEST(SessionStore, TheEndHandlerHearsOfEverySessionThatEndsWithItsLastValues) {
  HandClock clock;
  MemorySessionStore store(100, clock.Reader());
  std::vector<std::pair<std::string, Variant>> ended;
  store.SetEndHandler([&](const std::string& id, SessionState state) {
    ended.emplace_back(id, state.values["who"]);
  });
  std::string idle = store.Create(WithValue("who", Variant(std::string("idle")), 1s));
  std::string gone = store.Create(WithValue("who", Variant(std::string("gone")), 1s));
  std::optional<std::string> renewed =
      store.Renew(store.Create(WithValue("who", Variant(std::string("renewed")), 1s)));
  ASSERT_TRUE(renewed);
  EXPECT_TRUE(ended.empty()) << "a renewal is no end";
  store.Remove(gone);
  store.Remove(gone);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0], std::make_pair(gone, Variant(std::string("gone"))));
  clock.now += 1s;
  store.Sweep();
  ASSERT_EQ(ended.size(), 3u);
  EXPECT_EQ(store.size(), 0u);
  std::map<std::string, std::string> swept{{ended[1].first, ended[1].second.ToString()},
                                           {ended[2].first, ended[2].second.ToString()}};
  EXPECT_EQ(swept, (std::map<std::string, std::string>{{idle, "idle"}, {*renewed, "renewed"}}));
}

TEST(SessionStore, ConcurrentPagesThatRedoTheirChangesLoseNoValue) {
  MemorySessionStore store;
  std::string id = store.Create({});
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 250; ++i) {
        std::string name = "k" + std::to_string(t) + "_" + std::to_string(i);
        for (;;) {
          std::optional<LoadedSession> s = store.Load(id);
          ASSERT_TRUE(s);
          s->state.values[name] = Variant(int32_t{i});
          if (store.Save(id, s->state, s->version) == SaveOutcome::kSaved) break;
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  std::optional<LoadedSession> s = store.Load(id);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->state.values.size(), 1000u);
  EXPECT_EQ(s->version, 1001u);
}

}  // namespace
}  // namespace mirelda::host

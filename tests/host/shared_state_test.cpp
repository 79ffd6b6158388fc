// Sessions and application values through both stores: every kind of value comes back with its
// type, versions, renewal, expiry, the cap, and Application.Lock across connections, on the
// PostgreSQL server of the test run.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "host/state/application_state.h"
#include "host/state/postgres_application_state.h"
#include "host/state/postgres_session_store.h"
#include "host/state/session_store.h"
#include "mirelda/dispatch.h"
#include "mirelda/error.h"
#include "support/postgres.h"
#include "support/print_variant.h"

namespace mirelda::host {
namespace {

using namespace std::chrono_literals;

std::shared_ptr<PostgresPool> FreshPool() {
  const testing::PostgresServer& s = testing::Postgres();
  return std::make_shared<PostgresPool>("postgresql://" + s.user + ":" + s.password + "@" + s.host +
                                        ":" + std::to_string(s.port) + "/" +
                                        testing::FreshPostgresDatabase());
}

class Thing : public Dispatch {
 public:
  const MemberTable& Members() const override {
    static const MemberTable none("Thing", std::nullopt, {});
    return none;
  }
};

struct StoredValue {
  const char* what;
  Variant value;
};

std::vector<StoredValue> Values() {
  VariantArray fixed = VariantArray::WithBounds({{1, 2}, {-1, 0}}, true);
  fixed.at(std::vector<int64_t>{1, -1}) = Variant("a");
  fixed.at(std::vector<int64_t>{2, 0}) = Variant(int16_t{7});
  return {
      {"empty", Variant()},
      {"null", Variant::Null()},
      {"boolean", Variant(true)},
      {"byte", Variant(uint8_t{200})},
      {"integer", Variant(int16_t{-12345})},
      {"long", Variant(int32_t{2000000000})},
      {"single", Variant(1.5f)},
      {"double", Variant(-0.1)},
      {"currency", Variant(Currency{123456789})},
      {"date", Variant(Date::FromParts(2026, 12, 8, 9, 30, 15))},
      {"text", Variant(std::string("\xE5\xBC\xA0\xE4\xB8\x89 and \"quotes\"\n"))},
      {"empty text", Variant(std::string())},
      {"array", Variant(VariantArray({Variant(int32_t{1}), Variant("two"), Variant::Null(),
                                      Variant(VariantArray({Variant(2.5)}, 3))},
                                     -2))},
      {"fixed matrix", Variant(fixed)},
      {"nothing", Variant::Nothing()},
  };
}

void ExpectSame(const Variant& got, const Variant& want, const char* what) {
  EXPECT_EQ(got.type(), want.type()) << what;
  if (want.is_array()) {
    EXPECT_EQ(got.AsArray().bounds(), want.AsArray().bounds()) << what;
    EXPECT_EQ(got.AsArray().fixed(), want.AsArray().fixed()) << what;
  }
  if (!want.is_object() && !want.is_null()) {
    EXPECT_EQ(got, want) << what;
  }
}

class BothStores : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::string(GetParam()) == "memory") {
      sessions_ = std::make_unique<MemorySessionStore>();
      application_ = std::make_unique<MemoryApplicationState>();
    } else {
      std::shared_ptr<PostgresPool> pool = FreshPool();
      sessions_ = std::make_unique<PostgresSessionStore>(pool, 1000);
      application_ = std::make_unique<PostgresApplicationState>(pool);
    }
  }
  std::unique_ptr<SessionStore> sessions_;
  std::unique_ptr<ApplicationState> application_;
};

TEST_P(BothStores, EveryValueComesBackWithItsType) {
  SessionState state;
  for (const StoredValue& v : Values()) state.values[v.what] = v.value;
  state.timeout = 7min;
  state.code_page = 65001;
  std::string id = sessions_->Create(state);
  std::optional<LoadedSession> loaded = sessions_->Load(id);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->state.timeout, 7min);
  EXPECT_EQ(loaded->state.code_page, 65001);
  ASSERT_EQ(loaded->state.values.size(), Values().size());
  for (const StoredValue& v : Values()) {
    ExpectSame(loaded->state.values[v.what], v.value, v.what);
    if (v.value.is_object()) continue;  // pages may not store Nothing as an application value
    application_->Set(v.what, v.value, std::this_thread::get_id(), Deadline::max());
    ExpectSame(application_->Get(v.what), v.value, v.what);
  }
  EXPECT_EQ(application_->Get("no such name").type(), VarType::kEmpty);
}

TEST_P(BothStores, ApplicationNamesComeInOrderWithoutRegardToCase) {
  auto page = std::this_thread::get_id();
  for (const char* name : {"beta", "Alpha", "gamma", "ALPHA", "_x"}) {
    application_->Set(name, Variant(name), page, Deadline::max());
  }
  // A name keeps the spelling it was first stored with.
  EXPECT_EQ(application_->Names(), (std::vector<std::string>{"_x", "Alpha", "beta", "gamma"}));
  EXPECT_EQ(application_->Get("alpha"), Variant("ALPHA"));
  application_->Remove("Beta", page, Deadline::max());
  application_->Remove("not there", page, Deadline::max());
  EXPECT_EQ(application_->Names(), (std::vector<std::string>{"_x", "Alpha", "gamma"}));
  application_->RemoveAll(page, Deadline::max());
  EXPECT_TRUE(application_->Names().empty());
  EXPECT_THROW(application_->Set("o", Variant(std::make_shared<Thing>()), page, Deadline::max()),
               Error);
}

TEST_P(BothStores, AStaleSaveConflictsAndRenewalMovesTheSession) {
  SessionState state;
  state.values["n"] = Variant(int32_t{1});
  std::string id = sessions_->Create(state);
  std::optional<LoadedSession> first = sessions_->Load(id);
  std::optional<LoadedSession> second = sessions_->Load(id);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->version, 1u);
  first->state.values["n"] = Variant(int32_t{2});
  EXPECT_EQ(sessions_->Save(id, first->state, first->version), SaveOutcome::kSaved);
  EXPECT_EQ(sessions_->Save(id, second->state, second->version), SaveOutcome::kConflict);
  std::optional<std::string> fresh = sessions_->Renew(id);
  ASSERT_TRUE(fresh);
  EXPECT_NE(*fresh, id);
  EXPECT_FALSE(sessions_->Load(id));
  EXPECT_EQ(sessions_->Save(id, first->state, first->version + 1), SaveOutcome::kGone);
  std::optional<LoadedSession> moved = sessions_->Load(*fresh);
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->state.values["N"], Variant(int32_t{2}));
  EXPECT_EQ(moved->version, first->version + 1);
  std::vector<std::string> ended;
  sessions_->SetEndHandler([&](const std::string& gone, SessionState) { ended.push_back(gone); });
  sessions_->Remove(*fresh);
  sessions_->Remove(*fresh);
  EXPECT_EQ(ended, std::vector<std::string>{*fresh});
  EXPECT_EQ(sessions_->Save(*fresh, moved->state, moved->version), SaveOutcome::kGone);
  EXPECT_FALSE(sessions_->Load(*fresh));
  EXPECT_FALSE(sessions_->Renew(*fresh));
  EXPECT_FALSE(sessions_->Renew("no-such-session"));
}

TEST_P(BothStores, ALockHeldByOnePageMakesTheWritesOfAnotherWaitUntilItsDeadline) {
  std::atomic<bool> locked{false}, release{false};
  std::thread holder([&] {
    application_->Lock(std::this_thread::get_id(), Deadline::max());
    application_->Lock(std::this_thread::get_id(), Deadline::max());
    application_->Set("n", Variant(int32_t{1}), std::this_thread::get_id(), Deadline::max());
    application_->Unlock(std::this_thread::get_id());
    locked = true;
    while (!release) std::this_thread::sleep_for(1ms);
    application_->Unlock(std::this_thread::get_id());
  });
  while (!locked) std::this_thread::sleep_for(1ms);
  auto page = std::this_thread::get_id();
  auto soon = std::chrono::steady_clock::now() + 200ms;
  EXPECT_EQ(application_->Get("n"), Variant(int32_t{1})) << "reads do not wait";
  EXPECT_THROW(application_->Set("n", Variant(int32_t{2}), page, soon), Error);
  EXPECT_THROW(application_->Lock(page, std::chrono::steady_clock::now() + 100ms), Error);
  release = true;
  holder.join();
  application_->Set("n", Variant(int32_t{3}), page, std::chrono::steady_clock::now() + 10s);
  EXPECT_EQ(application_->Get("n"), Variant(int32_t{3}));
}

INSTANTIATE_TEST_SUITE_P(Stores, BothStores, ::testing::Values("memory", "postgresql"));

TEST(PostgresSessionStore, SessionsPastTheirTimeoutEndOnceWithTheirValues) {
  PostgresSessionStore store(FreshPool(), 1000);
  std::vector<std::pair<std::string, Variant>> ended;
  store.SetEndHandler([&](const std::string& id, SessionState state) {
    ended.emplace_back(id, state.values["who"]);
  });
  SessionState state;
  state.timeout = 0s;  // idle past its timeout at once
  state.values["who"] = Variant("loaded");
  std::string loaded = store.Create(state);
  state.values["who"] = Variant("swept");
  std::string swept = store.Create(state);
  state.timeout = 1h;
  std::string live = store.Create(state);
  EXPECT_FALSE(store.Load(loaded));
  store.Touch(swept);
  store.Sweep();
  store.Sweep();
  ASSERT_EQ(ended.size(), 2u);
  EXPECT_EQ(ended[0], std::make_pair(loaded, Variant("loaded")));
  EXPECT_EQ(ended[1], std::make_pair(swept, Variant("swept")));
  EXPECT_TRUE(store.Load(live));
}

// The save checks version and liveness in the one statement that writes: a save that does not
// apply leaves the row as it was and says why.
TEST(PostgresSessionStore, ASaveThatDoesNotApplyLeavesTheRowAndSaysWhy) {
  struct Case {
    const char* what;
    std::chrono::seconds timeout;
    int64_t version_offset;
    bool removed;
    SaveOutcome want;
  };
  const Case cases[] = {
      {"the version loaded", 1h, 0, false, SaveOutcome::kSaved},
      {"a version behind", 1h, -1, false, SaveOutcome::kConflict},
      {"a version ahead", 1h, 1, false, SaveOutcome::kConflict},
      {"past its timeout", 0s, 0, false, SaveOutcome::kGone},
      {"removed", 1h, 0, true, SaveOutcome::kGone},
  };
  PostgresSessionStore store(FreshPool(), 1000);
  for (const Case& c : cases) {
    SessionState state;
    state.timeout = c.timeout;
    state.values["n"] = Variant(int32_t{1});
    std::string id = store.Create(state);
    if (c.removed) store.Remove(id);
    state.values["n"] = Variant(int32_t{2});
    EXPECT_EQ(store.Save(id, state, static_cast<uint64_t>(1 + c.version_offset)), c.want) << c.what;
    // A conflict keeps the row as it was; a save moves it on; a gone session stays gone.
    std::optional<LoadedSession> now = store.Load(id);
    if (c.want == SaveOutcome::kGone) {
      EXPECT_FALSE(now) << c.what;
      continue;
    }
    bool saved = c.want == SaveOutcome::kSaved;
    ASSERT_TRUE(now) << c.what;
    EXPECT_EQ(now->version, saved ? 2u : 1u) << c.what;
    EXPECT_EQ(now->state.values["n"], Variant(int32_t{saved ? 2 : 1})) << c.what;
  }
}

TEST(PostgresSessionStore, ATableFullToItsCapMakesRoomFromTheSessionsIdleLongest) {
  PostgresSessionStore store(FreshPool(), 10);
  std::vector<std::string> ids;
  for (int i = 0; i < 10; ++i) {
    ids.push_back(store.Create({}));
    std::this_thread::sleep_for(2ms);  // distinct last_access
  }
  store.Touch(ids[0]);
  std::string fresh = store.Create({});
  EXPECT_TRUE(store.Load(fresh));
  EXPECT_TRUE(store.Load(ids[0]));
  EXPECT_FALSE(store.Load(ids[1]));
  EXPECT_TRUE(store.Load(ids[2]));
}

TEST(PostgresSessionStore, AServerThatCannotBeReachedIsUnavailableNotAnotherSession) {
  PostgresSessionStore store(std::make_shared<PostgresPool>("postgresql://nobody@127.0.0.1:1/x"),
                             10);
  EXPECT_THROW(store.Load("0123456789abcdef0123456789abcdef"), StoreUnavailable);
  EXPECT_THROW(store.Create({}), StoreUnavailable);
}

}  // namespace
}  // namespace mirelda::host

// The person and administrator logons: session, cookies, log rows, counts, redirects; silent
// failures; values that try to change the statements.
#include <gtest/gtest.h>

#include <thread>

#include "database/database.h"
#include "support/component_page.h"
#include "support/error_matchers.h"
#include "webpage/web_page.h"

namespace mirelda::webpage {
namespace {

using testing::Rows;

class Logons : public testing::ComponentPageOnBothEngines {
 protected:
  void SetUp() override {
    ComponentPageOnBothEngines::SetUp();
    connection_string_ = NewDatabase();
    connection_ = Open(connection_string_);
    Exec(
        "CREATE TABLE person (personID autoincrement ,personAlias char(50) ,personPwd char(50) ,"
        "personCount int ,personLastIP char(50) ,personLastTime datetime ,PRIMARY KEY (personID))");
    Exec(
        "CREATE TABLE login (loginID autoincrement ,loginName char(50) ,loginPwd char(50) ,"
        "loginIP char(50) ,loginAddr char(50) ,loginApp char(255) ,loginOk int ,loginPersonID "
        "int ,PRIMARY KEY (loginID))");
    Exec("insert into person (personAlias,personPwd,personCount) values ('zhang','secret',4)");
    Exec("insert into person (personAlias,personPwd,personCount) values ('li','pad  ',0)");
    Exec("insert into person (personAlias,personPwd) values ('wang','w')");
  }
  void Exec(const std::string& sql) { connection_->Execute(sql, -1); }
  Rows Query(const std::string& sql) { return testing::Query(*connection_, sql); }

  // Runs one page that calls a logon method on a fresh WebPage.
  void RunLogon(const std::function<void(WebPage&)>& call, bool remember = false) {
    after_call_ = false;
    host_->NewPage("/app/login.asp");
    if (remember) host_->request().form["checkbox"] = "checkbox";
    host_->request().server_variables["HTTP_USER_AGENT"] = "TestBrowser/1.0";
    host_->RunPage([&](host::TestContext&) {
      auto page = Start<WebPage>();
      page->setConnection(connection_);
      call(*page);
      after_call_ = true;
    });
  }
  void Logon(Variant name, Variant pwd, bool remember = false) {
    RunLogon([&](WebPage& p) { p.Call("Logon", name, pwd, "10.0.0.7", "ignored.asp"); }, remember);
  }
  void AdminLogon(Variant name, Variant pwd, bool remember = false, Variant alt = Variant()) {
    RunLogon(
        [&](WebPage& p) {
          if (alt.is_empty()) {
            p.Call("AdminLogon", name, pwd, "10.0.0.8", "admin/index.asp");
          } else {
            p.Call("AdminLogon", name, pwd, "10.0.0.8", "admin/index.asp", alt);
          }
        },
        remember);
  }
  std::string CookieValue(const std::string& name) {
    auto c = host_->response().Cookie(name);
    return c ? c->value() : "(none)";
  }
  Date CookieExpiry(const std::string& name) {
    auto c = host_->response().Cookie(name);
    return c && c->expires() ? *c->expires() : Date{};
  }
  bool NothingHappened() {
    return host_->response().cookies.empty() && !host_->response().redirect &&
           host_->session().values.empty() && Writes().empty();
  }

  std::string connection_string_;
  std::shared_ptr<Connection> connection_;
  bool after_call_ = false;
};

TEST_P(Logons, APersonLogsOnLogsTheLogonAndLeavesThePage) {
  std::string old_id = host_->session().id;
  Logon("zhang", "secret");
  EXPECT_FALSE(after_call_);  // the page ended
  EXPECT_EQ(host_->response().redirect, "mainface/index.asp?trade=1");
  EXPECT_TRUE(host_->response().ended);
  EXPECT_EQ(host_->session().Value("personID"), Variant(1));
  EXPECT_EQ(host_->session().Value("personName"), Variant("zhang"));
  EXPECT_EQ(host_->session().Value("IP"), Variant("10.0.0.7"));
  EXPECT_NE(host_->session().id, old_id);  // renewed, values kept
  EXPECT_EQ(CookieValue("name"), "zhang");
  EXPECT_EQ(CookieValue("pwd"), "secret");
  EXPECT_EQ(CookieValue("checkbox"), "");
  EXPECT_EQ(CookieExpiry("name"), Date::Today().AddDays(30));
  EXPECT_EQ(CookieExpiry("pwd"), Date::Today());
  EXPECT_EQ(CookieExpiry("checkbox"), Date::Today());
  EXPECT_TRUE(host_->response().Cookie("pwd")->http_only());
  EXPECT_EQ(Query("select loginName,loginPwd,loginIP,loginAddr,loginApp,loginOk,loginPersonID "
                  "from login"),
            (Rows{{"zhang", "secret", "10.0.0.7", "中国", "TestBrowser/1.0", 1, 1}}));
  Rows person =
      Query("select personCount,personLastIP,personLastTime from person where personID=1");
  EXPECT_EQ(person[0][0], Variant(5));
  EXPECT_EQ(person[0][1], Variant("10.0.0.7"));
  EXPECT_LT(std::abs(person[0][2].ToDate().serial - Date::Now().serial), 60.0 / 86400);

  // Remember me keeps all three cookies for the month.
  Logon("zhang", "secret", true);
  EXPECT_EQ(CookieValue("checkbox"), "checked");
  EXPECT_EQ(CookieExpiry("pwd"), Date::Today().AddDays(30));
  EXPECT_EQ(CookieExpiry("checkbox"), Date::Today().AddDays(30));
  // An empty count counts as zero.
  Logon("wang", "w");
  EXPECT_EQ(Query("select personCount from person where personAlias='wang'"), (Rows{{1}}));
}

TEST_P(Logons, FailedPersonLogonsDoNothing) {
  for (auto [name, pwd] : std::vector<std::pair<Variant, Variant>>{{"nobody", "secret"},
                                                                   {"zhang", "Secret"},
                                                                   {"zhang", "secret "},
                                                                   {"li", "pad"},
                                                                   {"zhang", Variant::Null()},
                                                                   {"zhang", ""}}) {
    Logon(name, pwd);
    EXPECT_TRUE(after_call_);
    EXPECT_TRUE(NothingHappened()) << name.ToText() << "/" << pwd.ToText();
  }
  EXPECT_TRUE(Query("select * from login").empty());
}

TEST_P(Logons, SignLogonNeedsAPersonInTheSession) {
  RunLogon([](WebPage& p) {
    EXPECT_ERROR(p.SignLogon("x", "y", "1.2.3.4", "ua", 0), errc::kTypeMismatch);
  });
  host_->session().SetValue("personID", Variant(2));
  RunLogon([](WebPage& p) { p.SignLogon("li", "pw", "1.2.3.4", "ua", 0); });
  EXPECT_EQ(Query("select loginName,loginOk,loginPersonID from login"), (Rows{{"li", 0, 2}}));
  RunLogon([](WebPage& p) {
    EXPECT_ERROR(p.SignLogon("li", "pw", "1.2.3.4", "ua", "0 or 1"), errc::kTypeMismatch);
  });
  EXPECT_EQ(Query("select count(*) from login"), (Rows{{1}}));
}

TEST_P(Logons, InjectionAttemptsReadAndWriteNothingBeyondTheirRow) {
  const std::vector<std::string> corpus = {"' or '1'='1",
                                           "' or 1=1 --",
                                           "zhang'--",
                                           "zhang' /*",
                                           "x'; delete from person; --",
                                           "'; update person set personPwd='p' where '1'='1",
                                           "zhang\\' or 1=1 #"};
  for (const std::string& attempt : corpus) {
    Logon(attempt, attempt);
    EXPECT_TRUE(NothingHappened()) << attempt;
    Logon("zhang", attempt);
    EXPECT_TRUE(NothingHappened()) << attempt;
    AdminLogon(attempt, attempt);
    EXPECT_TRUE(NothingHappened()) << attempt;
  }
  // A quote in the address is stored as typed and changes nothing else.
  RunLogon([](WebPage& p) {
    p.Call("Logon", "zhang", "secret", "1.1.1.1', personCount=99, personPwd='x", "");
  });
  EXPECT_EQ(
      Query("select personAlias,personPwd,personCount,personLastIP from person order by personID"),
      (Rows{{"zhang", "secret", 5, "1.1.1.1', personCount=99, personPwd='x"},
            {"li", "pad  ", 0, Variant::Null()},
            {"wang", "w", Variant::Null(), Variant::Null()}}));
  EXPECT_EQ(Query("select count(*) from login"), (Rows{{1}}));
}

class AdminLogons : public Logons {
 protected:
  void Bootstrap() {
    auto db = Start<database::Database>();
    db->setConnection(connection_);
    db->CreateTableReference(1);
    db->CreateFieldReference(1);
    db->CreateAdministrator(1);
  }
};

TEST_P(AdminLogons, TheFixedAccountBeforeTheTableExists) {
  AdminLogon("admin", "Sun In May", false, "setup.asp");
  EXPECT_TRUE(after_call_);  // no End: the page goes on
  EXPECT_EQ(host_->response().redirect, "setup.asp?loginIP=10.0.0.8");
  EXPECT_EQ(host_->session().Value("adminID"), Variant("1"));
  EXPECT_EQ(host_->session().Value("adminName"), Variant("admin"));
  EXPECT_EQ(host_->session().Value("IP"), Variant("10.0.0.8"));
  EXPECT_EQ(CookieValue("AdminName"), "admin");
  EXPECT_EQ(CookieValue("AdminPwd"), "Sun In May");
  EXPECT_EQ(CookieValue("SaveAdminLogin"), "");
  EXPECT_EQ(CookieExpiry("AdminPwd"), Date::Today());
  for (auto [name, pwd] : std::vector<std::pair<Variant, Variant>>{
           {"Admin", "Sun In May"}, {"admin", "sun in may"}, {"admin ", "Sun In May"}}) {
    host_->session().values.clear();
    AdminLogon(name, pwd, false, "setup.asp");
    EXPECT_TRUE(NothingHappened());
  }
  // Without the alternative page the address cannot be formed, after the session was set.
  EXPECT_ERROR(AdminLogon("admin", "Sun In May"), errc::kTypeMismatch);
  EXPECT_EQ(host_->session().Value("adminName"), Variant("admin"));
}

TEST_P(AdminLogons, TheFixedAccountWritesItsRowWhenTheTableHasNone) {
  Bootstrap();
  Exec("delete from administrator");
  AdminLogon("admin", "Sun In May", true);
  EXPECT_EQ(host_->response().redirect, "admin/index.asp");
  EXPECT_EQ(CookieValue("SaveAdminLogin"), "checked");
  EXPECT_EQ(CookieExpiry("AdminPwd"), Date::Today().AddDays(30));
  EXPECT_EQ(Query("select adminName,adminPwd,adminLastIP,adminCount from administrator"),
            (Rows{{"admin", "Sun In May", "10.0.0.8", 1}}));
  // From now on the stored password alone decides.
  Exec("update administrator set adminPwd='changed  '");
  host_->session().values.clear();
  AdminLogon("admin", "Sun In May");
  EXPECT_TRUE(NothingHappened());
  AdminLogon("admin", "changed");  // the stored password is trimmed
  EXPECT_EQ(host_->response().redirect, "admin/index.asp");
  EXPECT_EQ(host_->session().Value("adminID"), Variant(2));  // the row the fixed logon wrote
  EXPECT_EQ(Query("select adminCount,adminLastIP from administrator"), (Rows{{2, "10.0.0.8"}}));
}

TEST_P(AdminLogons, AStoredAccountCountsItsLogonsAndLogsNoPerson) {
  Bootstrap();
  AdminLogon("admin", "Sun In May");
  AdminLogon("admin", "Sun In May");
  EXPECT_EQ(Query("select adminCount from administrator"), (Rows{{3}}));
  EXPECT_TRUE(Query("select * from login").empty());
  host_->session().values.clear();
  AdminLogon("admin", "wrong");
  EXPECT_TRUE(NothingHappened());
}

TEST_P(Logons, ConcurrentLogonsOfOneAccountLoseNoCount) {
  constexpr int kLogons = 20;
  std::vector<std::thread> threads;
  std::atomic<int> redirected{0};
  for (int i = 0; i < kLogons; ++i) {
    threads.emplace_back([&] {
      host::TestHost host(drive_ / "site", "/app/login.asp");
      auto connection = Open(connection_string_);
      host.RunPage([&](host::TestContext& context) {
        auto page = std::make_shared<WebPage>();
        page->OnStartPage(host.context_ptr());
        page->setConnection(connection);
        page->Logon("zhang", "secret", "10.1.1.1", "");
        (void)context;
      });
      if (host.response().redirect) ++redirected;
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(redirected.load(), kLogons);
  EXPECT_EQ(Query("select personCount from person where personID=1"), (Rows{{4 + kLogons}}));
  EXPECT_EQ(Query("select count(*) from login"), (Rows{{kLogons}}));
}

MIRELDA_ON_BOTH_ENGINES(Logons);
MIRELDA_ON_BOTH_ENGINES(AdminLogons);

}  // namespace
}  // namespace mirelda::webpage

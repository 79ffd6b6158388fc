// The demo site's safe defaults over HTTP: the headers every reply carries and what the host's
// options make of them, logon values no account can hold, forms that come without the session's
// token or from another origin, the password change and disabled administrators.
#include <gtest/gtest.h>

#include "site/jet_rows.h"
#include "site/site_visitor.h"

namespace mirelda::testing {
namespace {

// Installs the site and logs the visitor on as the fixed administrator.
void InstallAndLogOn(Visitor& admin) {
  ASSERT_EQ(admin.Get("/install.asp").status, 200);
  ASSERT_EQ(admin.LogOnAdmin().status, 302);
}

TEST(SiteSafeDefaults, EveryReplyCarriesTheStandingHeadersAndTheOptionsChangeThem) {
  struct Row {
    std::vector<std::string> options;
    std::map<std::string, std::string> headers;  // "" for a header that must be missing
    bool secure_cookie;
  };
  for (const Row& row : std::vector<Row>{
           {{},
            {{"X-Content-Type-Options", "nosniff"},
             {"Referrer-Policy", "same-origin"},
             {"X-Frame-Options", "SAMEORIGIN"}},
            false},
           {{"--header", "X-Frame-Options:", "--header", "Referrer-Policy: no-referrer",
             "--secure-cookies"},
            {{"X-Content-Type-Options", "nosniff"},
             {"Referrer-Policy", "no-referrer"},
             {"X-Frame-Options", ""}},
            true},
       }) {
    SiteHost host(MIRELDA_SITE_DIR, row.options);
    Visitor visitor(host.port());
    ASSERT_EQ(visitor.Get("/install.asp").status, 200);
    for (const char* path : {"/", "/site.css", "/admin/logon.asp", "/nosuch.txt", "/install.asp"}) {
      Page page = visitor.Get(path);
      for (const auto& [name, value] : row.headers) {
        EXPECT_EQ(page.reply.Header(name), value) << path << " " << name;
      }
    }
    // Logon and administration pages stay out of every cache; other pages are private.
    EXPECT_EQ(visitor.Get("/admin/logon.asp").reply.Header("Cache-Control"), "no-store");
    EXPECT_EQ(visitor.Get("/").reply.Header("Cache-Control"), "private");
    std::string session;
    for (const std::string& set :
         Visitor(host.port()).Get("/admin/logon.asp").reply.Headers("Set-Cookie")) {
      if (set.rfind("MIRELDA_SESSION=", 0) == 0) session = set;
    }
    EXPECT_NE(session.find("HttpOnly; SameSite=Lax"), std::string::npos) << session;
    EXPECT_EQ(session.find("; Secure") != std::string::npos, row.secure_cookie) << session;
  }
}

TEST(SiteSafeDefaults, LogonValuesWithANulByteAreFailedLogons) {
  SiteHost host;
  Visitor admin(host.port());
  InstallAndLogOn(admin);
  Visitor stranger(host.port());
  const std::string nul("\0", 1);
  struct Row {
    const char* page;
    Form form;
    const char* message;
  };
  for (const Row& row : std::vector<Row>{
           {"/admin/logon.asp",
            {{"adminName", "admin" + nul}, {"adminPwd", "Sun In May"}},
            "用户名或密码不对。"},
           {"/admin/logon.asp",
            {{"adminName", "admin"}, {"adminPwd", "Sun In May" + nul}},
            "用户名或密码不对。"},
           {"/logon.asp", {{"personName", nul}, {"personPwd", "x"}}, "登录名或密码不对。"},
       }) {
    Page page = stranger.PostFrom(row.page, row.form);
    EXPECT_EQ(page.status, 200) << row.page << page.text;
    EXPECT_TRUE(page.Has(row.message)) << page.text;
  }
  EXPECT_EQ(stranger.Get("/admin/").status, 302);
}

TEST(SiteSafeDefaults, FormsWithoutTheTokenOrFromAnotherOriginChangeNothing) {
  SiteHost host;
  Visitor admin(host.port());
  InstallAndLogOn(admin);
  admin.Get("/admin/add.asp?table=person");
  const std::string own = "http://127.0.0.1:" + std::to_string(host.port());
  struct Row {
    std::string header, value;
    Form extra;
    const char* why;
  };
  for (const Row& row : std::vector<Row>{
           {"Origin", "http://127.0.0.1:1", {}, "别的网站"},
           {"Referer", "http://127.0.0.1:1/own" + own, {}, "别的网站"},
           {"Origin", own, {{"token", "guessed"}}, "安全令牌"},
           {"Origin", own, {{"token", ""}}, "安全令牌"},
       }) {
    Visitor forged = admin;
    forged.SetHeader(row.header, row.value);
    Form form = {{"personAlias", "forged"}, {"personPwd", "x"}};
    form.insert(form.end(), row.extra.begin(), row.extra.end());
    Page page = forged.Post("/admin/table.asp?table=person&action=add", form);
    EXPECT_EQ(page.status, 403) << row.value;
    EXPECT_TRUE(page.Has(row.why)) << page.text;
  }
  EXPECT_EQ(JetRows(host.database_file(), "select count(*) from person"), (Rows{{"0"}}));
  Visitor same = admin;
  same.SetHeader("Origin", own);
  EXPECT_TRUE(same.Post("/admin/table.asp?table=person&action=add",
                        {{"personAlias", "real"}, {"personPwd", "x"}})
                  .Has("已保存一条记录。"));
}

TEST(SiteSafeDefaults, PasswordChangeAndDisabledAdministrators) {
  SiteHost host;
  Visitor admin(host.port());
  InstallAndLogOn(admin);
  EXPECT_TRUE(admin.Get("/admin/logon.asp").Has("id=\"default-account\""));
  admin.Get("/admin/password.asp");
  struct Row {
    Form form;
    const char* answer;
  };
  for (const Row& row : std::vector<Row>{
           {{{"oldPwd", "Sun in May"}, {"newPwd", "spring-2026"}, {"newPwd2", "spring-2026"}},
            "原密码不对。"},
           {{{"oldPwd", "Sun In May"}, {"newPwd", "short"}, {"newPwd2", "short"}}, "至少要有 8"},
           {{{"oldPwd", "Sun In May"}, {"newPwd", "spring-2026"}, {"newPwd2", "spring-2025"}},
            "两次输入的新密码不一样。"},
           {{{"oldPwd", "Sun In May"}, {"newPwd", "spring-2026"}, {"newPwd2", "spring-2026"}},
            "密码已修改。"},
       }) {
    EXPECT_TRUE(admin.Post("/admin/password.asp", row.form).Has(row.answer)) << row.answer;
  }
  EXPECT_EQ(JetRows(host.database_file(), "select adminPwd from administrator"),
            (Rows{{"spring-2026"}}));
  Visitor other(host.port());
  EXPECT_FALSE(other.Get("/admin/logon.asp").Has("Sun In May"));
  EXPECT_EQ(other.LogOnAdmin().status, 200);
  ASSERT_EQ(other.LogOnAdmin("admin", "spring-2026").status, 302);

  // A disabled administrator cannot log on, and a session already open ends at its next page.
  ASSERT_TRUE(admin
                  .PostFrom("/admin/admins.asp", {{"what", "add"},
                                                  {"adminName", "li"},
                                                  {"adminPwd", "li-password"},
                                                  {"adminPwd2", "li-password"}})
                  .Has("已添加管理员"));
  Visitor li(host.port());
  ASSERT_EQ(li.LogOnAdmin("li", "li-password").status, 302);
  EXPECT_TRUE(
      admin.Post("/admin/admins.asp", {{"what", "disable"}, {"id", "1"}}).Has("不能停用自己"));
  EXPECT_TRUE(admin.Post("/admin/admins.asp", {{"what", "disable"}, {"id", "2"}}).Has("已停用"));
  EXPECT_EQ(li.Get("/admin/").location, "/admin/logon.asp");
  EXPECT_TRUE(li.LogOnAdmin("li", "li-password").Has("用户名或密码不对。"));
  EXPECT_TRUE(admin.Post("/admin/admins.asp", {{"what", "enable"}, {"id", "2"}}).Has("重新启用"));
  EXPECT_EQ(li.LogOnAdmin("li", "li-password").status, 302);
}

}  // namespace
}  // namespace mirelda::testing

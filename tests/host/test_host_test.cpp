// The in-memory page host: what pages rely on when they run in it.
#include "host/test_host/test_host.h"

#include <gtest/gtest.h>

#include "database/database.h"
#include "mirelda/path_map.h"
#include "support/error_matchers.h"
#include "support/temp_dir.h"

namespace mirelda::host {
namespace {

TEST(TestHost, CreatedComponentsAreStartedAndEndedWithThePage) {
  TestHost host;
  std::shared_ptr<database::Database> db;
  host.RunPage([&](TestContext& page) {
    db = std::dynamic_pointer_cast<database::Database>(
        page.Server()->CreateObject("Mirelda.Database"));
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->response(), page.response);
  });
  EXPECT_EQ(db->response(), nullptr);  // OnEndPage ran at the end of the page
  EXPECT_EQ(host.server().created, (std::vector<std::string>{"Mirelda.Database"}));
}

TEST(TestHost, EndStopsThePageAndCannotBeTrapped) {
  TestHost host;
  bool after_end = false;
  host.RunPage([&](TestContext& page) {
    page.Response()->Write("a");
    ResumeNext trap;
    trap.Step([&] { page.Response()->End(); });
    after_end = true;
  });
  EXPECT_FALSE(after_end);
  EXPECT_TRUE(host.response().ended);
  EXPECT_EQ(host.response().writes, (std::vector<std::string>{"a"}));
}

TEST(TestHost, RecordsWritesCookiesAndRedirects) {
  TestHost host;
  host.RunPage([](TestContext& page) {
    auto r = page.Response();
    r->Write("one");
    r->Write(Variant::Null());
    r->Write(Variant(int32_t{2}));
    auto c = r->Cookies("name");
    c->SetExpires(Date::Today().AddDays(30));
    c->Invoke("", MemberKind::kLet, {Variant("zhang")});
    r->Cookies("NAME")->SetKey("k", "v");
    r->Redirect("mainface/index.asp?trade=1");
    r->Write("after the redirect");  // a redirect alone does not stop the page
    r->End();
    r->Write("never");
  });
  EXPECT_EQ(host.response().writes,
            (std::vector<std::string>{"one", "", "2", "after the redirect"}));
  ASSERT_EQ(host.response().cookies.size(), 1u);
  EXPECT_EQ(host.response().Cookie("name")->WireValue(), "k=v");
  EXPECT_EQ(*host.response().Cookie("name")->expires(), Date::Today().AddDays(30));
  EXPECT_EQ(host.response().redirect, "mainface/index.asp?trade=1");
}

TEST(TestHost, RequestLookupOrderAndBodyReads) {
  TestHost host;
  TestRequest& req = host.request();
  req.form["checkbox"] = "form";
  req.cookies["checkbox"] = "cookie";
  req.cookies["only"] = "cookie";
  req.body = "abcdef";
  EXPECT_EQ(req.Item("CHECKBOX").ToString(), "form");
  req.query["checkbox"] = "query";
  EXPECT_EQ(req.Invoke("", MemberKind::kMethod, {Variant("checkbox")}).ToString(), "query");
  EXPECT_EQ(req.Item("only").ToString(), "cookie");
  EXPECT_EQ(req.Item("SCRIPT_NAME").ToString(), "/default.asp");
  EXPECT_TRUE(req.Item("absent").is_empty());
  EXPECT_EQ(req.TotalBytes(), 6);
  EXPECT_EQ(req.BinaryRead(4).AsBytes().view(), "abcd");
  EXPECT_EQ(req.BinaryRead(4).AsBytes().view(), "ef");
}

TEST(TestHost, SessionOutlivesThePageAndMapPathGivesDriveForm) {
  mirelda::testing::TempDir site;
  paths::MapDrive('S', site.path());
  TestHost host(site.path(), "/app/admin/add.asp");
  host.session().SetValue("personID", Variant(int32_t{7}));
  host.NewPage();
  EXPECT_EQ(host.session().Value("PERSONID").ToLong(), 7);
  EXPECT_EQ(host.server().MapPath("./"), "S:\\app\\admin");
  EXPECT_EQ(host.server().MapPath("/data/x.mdb"), "S:\\data\\x.mdb");
  EXPECT_EQ(host.request().ServerVariables("APPL_PHYSICAL_PATH").ToString(), "S:\\");
  paths::UnmapDrive('S');
}

}  // namespace
}  // namespace mirelda::host

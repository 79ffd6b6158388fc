// The demo site pointed at a server database (the test run's PostgreSQL) instead of its Jet
// file: the installation page creates the database and its tables there, and the logons and the
// generated forms work on it as on the file.
#include <gtest/gtest.h>
#include <unistd.h>

#include "site/server_rows.h"
#include "site/site_visitor.h"

namespace mirelda::testing {
namespace {

TEST(SiteOnServerDatabase, InstallsThereAndTheRoadRunsOnIt) {
  TempDir copy;
  std::filesystem::path site = copy.path() / "site";
  CopySite(site);
  const PostgresServer& server = Postgres();
  const std::string database = "mirelda_site_" + std::to_string(::getpid());
  UseServerDatabase(site, database);
  SiteHost host(site);
  Visitor admin(host.port());

  Page first = admin.Get("/install.asp");
  ASSERT_EQ(first.status, 200) << first.text << host.Log();
  ExpectHas(first, {"服务器数据库 mirelda_site_", "已建立数据库。", "数据表参考表建立成功！",
                    "管理菜单表建立成功！", "数据表 login（登录日志）：创建表成功", "安装完成。"});
  EXPECT_TRUE(first.Has("pwd=******")) << "the password is not shown";
  EXPECT_FALSE(first.Has(server.password));
  EXPECT_FALSE(std::filesystem::exists(host.database_file()));

  EXPECT_EQ(admin.Get("/install.asp").status, 403) << "installed, it answers administrators only";
  ASSERT_EQ(admin.LogOnAdmin().status, 302) << host.Log();
  ExpectHas(admin.Get("/install.asp"), {"对不起，数据库" + database + "已存在！", "没有任何改动"});
  EXPECT_EQ(ServerRows(database, "select count(*) from tablereference"), (Rows{{"9"}}));
  EXPECT_TRUE(admin.Get("/admin/add.asp?table=person").Has("<td nowrap>登录名"));
  ASSERT_TRUE(admin
                  .Post("/admin/table.asp?table=person&action=add",
                        {{"personAlias", "chen"}, {"personPwd", "it's 密码"}, {"personName", "陈"}})
                  .Has("已保存一条记录。"));
  EXPECT_TRUE(admin.Get("/admin/compact.asp").Has("不需要在这里压缩"));

  Visitor person(host.port());
  ASSERT_EQ(
      person.PostFrom("/logon.asp", {{"personName", "chen"}, {"personPwd", "it's 密码"}}).status,
      302)
      << host.Log();
  Page face = person.Get("/mainface/index.asp?trade=1");
  EXPECT_TRUE(face.Has("<td>中国</td><td>成功</td>")) << face.text;
  EXPECT_EQ(ServerRows(database,
                       "select loginname,loginok,loginpersonid,logintime is not null "
                       "from login"),
            (Rows{{"chen", "1", "1", "t"}}));
  EXPECT_EQ(ServerRows(database, "select personpwd,personcount from person"),
            (Rows{{"it's 密码", "1"}}));
}

}  // namespace
}  // namespace mirelda::testing

// The demo site pointed at a server database (the test run's PostgreSQL) instead of its Jet
// file: the installation page creates the database and its tables there, and the logons and the
// generated forms work on it as on the file.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <fstream>

#include "site/site_visitor.h"
#include "support/postgres.h"

namespace mirelda::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// The rows of a query on a database of the test server, as text.
Rows ServerRows(const std::string& database, const std::string& sql) {
  const PostgresServer& s = Postgres();
  std::string info = "host=" + s.host + " port=" + std::to_string(s.port) + " dbname=" + database +
                     " user=" + s.user + " password=" + s.password;
  PGconn* conn = PQconnectdb(info.c_str());
  Rows rows;
  if (PQstatus(conn) == CONNECTION_OK) {
    PGresult* result = PQexec(conn, sql.c_str());
    EXPECT_EQ(PQresultStatus(result), PGRES_TUPLES_OK) << sql << ": " << PQerrorMessage(conn);
    for (int r = 0; r < PQntuples(result); ++r) {
      rows.emplace_back();
      for (int c = 0; c < PQnfields(result); ++c) rows.back().push_back(PQgetvalue(result, r, c));
    }
    PQclear(result);
  } else {
    ADD_FAILURE() << PQerrorMessage(conn);
  }
  PQfinish(conn);
  return rows;
}

TEST(SiteOnServerDatabase, InstallsThereAndTheRoadRunsOnIt) {
  TempDir copy;
  std::filesystem::path site = copy.path() / "site";
  CopySite(site);
  const PostgresServer& server = Postgres();
  const std::string database = "mirelda_site_" + std::to_string(::getpid());
  {
    std::ofstream settings(site / "inc" / "server_database.inc", std::ios::trunc);
    settings << "<% var SERVER_DATABASE = {server: \"" << server.Server() << "\", database: \""
             << database << "\", uid: \"" << server.user << "\", pwd: \"" << server.password
             << "\"}; %>\n";
  }
  SiteHost host(site);
  Visitor admin(host.port());

  Page first = admin.Get("/install.asp");
  ASSERT_EQ(first.status, 200) << first.text << host.Log();
  for (const char* report :
       {"服务器数据库 mirelda_site_", "已建立数据库。", "数据表参考表建立成功！",
        "管理菜单表建立成功！", "数据表 login（登录日志）：创建表成功", "安装完成。"}) {
    EXPECT_TRUE(first.Has(report)) << report << "\n" << first.text;
  }
  EXPECT_TRUE(first.Has("pwd=******")) << "the password is not shown";
  EXPECT_FALSE(first.Has(server.password));
  EXPECT_FALSE(std::filesystem::exists(host.database_file()));

  EXPECT_EQ(admin.Get("/install.asp").status, 403) << "installed, it answers administrators only";
  admin.Get("/admin/logon.asp");
  ASSERT_EQ(
      admin.Post("/admin/logon.asp", {{"adminName", "admin"}, {"adminPwd", "Sun In May"}}).status,
      302)
      << host.Log();
  Page again = admin.Get("/install.asp");
  EXPECT_TRUE(again.Has("对不起，数据库" + database + "已存在！")) << again.text;
  EXPECT_TRUE(again.Has("没有任何改动")) << again.text;
  EXPECT_EQ(ServerRows(database, "select count(*) from tablereference"), (Rows{{"9"}}));
  EXPECT_TRUE(admin.Get("/admin/add.asp?table=person").Has("<td nowrap>登录名"));
  ASSERT_TRUE(admin
                  .Post("/admin/table.asp?table=person&action=add",
                        {{"personAlias", "chen"}, {"personPwd", "it's 密码"}, {"personName", "陈"}})
                  .Has("已保存一条记录。"));
  EXPECT_TRUE(admin.Get("/admin/compact.asp").Has("不需要在这里压缩"));

  Visitor person(host.port());
  person.Get("/logon.asp");
  ASSERT_EQ(person.Post("/logon.asp", {{"personName", "chen"}, {"personPwd", "it's 密码"}}).status,
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

// The demo site over HTTP on a fresh data folder, the way its users walk it: installation (and
// installing again), administrator logon with the fixed account and then a stored one, records
// added through the generated forms, person logon and its log, uploads and compaction. What the
// pages show is checked against what the Jet file really holds.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "site/jet_rows.h"
#include "site/site_visitor.h"

namespace mirelda::testing {
namespace {

using namespace std::string_literals;

constexpr size_t kUploadLimit = 1048576;  // the site's upload limit, from its settings

class SiteRoad : public ::testing::Test {
 protected:
  void Install() {
    Page page = admin_.Get("/install.asp");
    ASSERT_EQ(page.status, 200) << page.text << host_.Log();
    ASSERT_TRUE(page.Has("安装完成。")) << page.text;
  }

  // Logs an administrator on; true when the site took the logon.
  bool LogOnAdmin(const std::string& name, const std::string& password, bool remember = false) {
    Form form = {{"adminName", name}, {"adminPwd", password}};
    if (remember) form.emplace_back("checkbox", "checkbox");
    Page page = admin_.PostFrom("/admin/logon.asp", form);
    if (page.status == 302) {
      EXPECT_EQ(page.location, "index.asp");
      return true;
    }
    EXPECT_TRUE(page.Has("用户名或密码不对。")) << page.text;
    return false;
  }

  // Posts a record the way the generated add form of the table posts it.
  Page AddRecord(const std::string& table, const Form& form) {
    return admin_.Post("/admin/table.asp?table=" + table + "&action=add", form);
  }

  std::string UploadTarget() { return "/upload.asp?token=" + admin_.token(); }

  Rows Query(const std::string& sql) { return JetRows(host_.database_file(), sql); }

  SiteHost host_;
  Visitor admin_{host_.port()};
};

TEST_F(SiteRoad, InstallsOnAFreshDataFolderAndAgainChangesNothing) {
  Page home = admin_.Get("/");
  EXPECT_TRUE(home.Has("尚未安装")) << home.text;
  EXPECT_TRUE(admin_.Get("/admin/logon.asp").Has("站点尚未安装"));

  Page first = admin_.Get("/install.asp");
  ASSERT_EQ(first.status, 200) << first.text << host_.Log();
  ExpectHas(first,
            {"已建立数据库。", "数据表参考表建立成功！", "字段表建立成功！", "枚举表建立成功！",
             "索引表建立成功！", "管理员数据表建立成功！", "管理菜单表建立成功！",
             "数据表 person（人员）：创建表成功", "数据表 login（登录日志）：创建表成功",
             "数据表 news（新闻）：创建表成功", "安装完成。"});
  // The reports come in the order the dictionary needs its tables.
  EXPECT_LT(first.text.find("数据表参考表建立成功"), first.text.find("字段表建立成功"));
  EXPECT_LT(first.text.find("字段表建立成功"), first.text.find("管理菜单表建立成功"));
  ASSERT_TRUE(std::filesystem::is_regular_file(host_.database_file()));

  const std::string counts =
      "select (select count(*) from TableReference),(select count(*) from FieldReference),"
      "(select count(*) from EnumTable),(select count(*) from IndexTable),"
      "(select count(*) from administrator),(select count(*) from adminMenu)";
  // Nine tables described; the application's columns carry labels, codes and a lookup.
  EXPECT_EQ(Query(counts), (Rows{{"9", "56", "22", "1", "1", "6"}}));
  EXPECT_EQ(Query("select f.fieldName,f.addStyle from FieldReference f,TableReference t "
                  "where f.tabID=t.id and t.tableCode='person' and f.fieldCode='personPwd'"),
            (Rows{{"密码", "7"}}));
  EXPECT_EQ(Query("select e.code,e.codeValue from EnumTable e,FieldReference f "
                  "where e.mateID=f.id and f.fieldCode='newsKind' order by e.id"),
            (Rows{{"1", "通知"}, {"2", "新闻"}, {"3", "活动"}}));

  // Installed, the page answers only an administrator.
  Page locked = admin_.Get("/install.asp");
  EXPECT_EQ(locked.status, 403);
  EXPECT_TRUE(locked.Has("只有管理员可以再次运行安装页面")) << locked.text;
  EXPECT_EQ(Visitor(host_.port()).Get("/vbs/install.asp").status, 403);
  ASSERT_TRUE(LogOnAdmin("admin", "Sun In May"));
  Page again = admin_.Get("/install.asp");
  ASSERT_EQ(again.status, 200) << again.text;
  ExpectHas(again,
            {"对不起，该数据库已经存在!", "数据表参考表已存在，不需要初始化<",
             "字段表已存在，不需要初始化！", "枚举表已存在，不需要初始化！", "索引表已存在！",
             "管理员数据表已存在，不需要初始化！", "管理菜单表已存在，不需要初始化！",
             "数据表 news（新闻）已存在，不需要建立", "没有任何改动"});
  EXPECT_FALSE(again.Has("成功！")) << again.text;
  EXPECT_EQ(Query(counts), (Rows{{"9", "56", "22", "1", "1", "6"}}));
  EXPECT_TRUE(admin_.Get("/").Has("已安装"));
  EXPECT_FALSE(admin_.Get("/").Has("Sun In May")) << "the home page never shows a password";
}

// Both languages' installation pages share one lock: installed means the administrator table and
// the menu's last entry, the installation's last write, are there. Cut short before that entry,
// the installation stays open to anyone; finished, it answers only an administrator.
TEST_F(SiteRoad, BothInstallationPagesStayOpenUntilTheLastMenuEntryThenOnlyForTheAdministrator) {
  Install();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(host_.database_file().c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, "delete from adminMenu where adminMenuCode='Upload'", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  for (const char* page : {"/vbs/install.asp", "/install.asp"}) {
    EXPECT_EQ(Visitor(host_.port()).Get(page).status, 200) << page << " after a cut-short run";
  }
  EXPECT_EQ(Query("select count(*) from adminMenu where adminMenuCode='Upload'"), (Rows{{"1"}}));
  for (const char* page : {"/vbs/install.asp", "/install.asp"}) {
    Page locked = Visitor(host_.port()).Get(page);
    EXPECT_EQ(locked.status, 403) << page;
    EXPECT_TRUE(locked.Has("只有管理员可以再次运行安装页面")) << page << "\n" << locked.text;
  }
  ASSERT_TRUE(LogOnAdmin("admin", "Sun In May"));
  for (const char* page : {"/vbs/install.asp", "/install.asp"}) {
    EXPECT_EQ(admin_.Get(page).status, 200) << page;
  }
}

TEST_F(SiteRoad, AdministratorsLogOnWithTheFixedAccountThenWithAStoredOne) {
  Install();
  EXPECT_EQ(admin_.Get("/admin/").location, "/admin/logon.asp");
  EXPECT_FALSE(LogOnAdmin("admin", "sun in may"));
  EXPECT_FALSE(LogOnAdmin("Admin'--", "x' or '1'='1"));

  ASSERT_TRUE(LogOnAdmin("admin", "Sun In May"));
  EXPECT_EQ(admin_.Cookie("AdminName"), "admin");
  EXPECT_FALSE(admin_.HasCookie("AdminPwd"));  // not remembered: it expires at once
  Page menu = admin_.Get("/admin/");
  ASSERT_EQ(menu.status, 200);
  ExpectHas(menu, {">系统基本设置</a>", ">添加新闻</a>", ">添加人员</a>", ">压缩数据库</a>",
                   "设置系统的基本信息，一般不允许随便改动"});
  EXPECT_TRUE(admin_.Get("/admin/MenuManage.asp?id=1").Has("管理员最后登陆时间"));
  // The seeded account counted the logon.
  EXPECT_EQ(Query("select adminCount,adminLastIP from administrator where adminName='admin'"),
            (Rows{{"2", "127.0.0.1"}}));

  // A second administrator, added on the accounts page; the table page only lists them.
  EXPECT_TRUE(
      AddRecord("administrator", {{"adminName", "x"}, {"adminPwd", "y"}}).Has("管理员账号在"));
  Page saved = admin_.PostFrom("/admin/admins.asp", {{"what", "add"},
                                                     {"adminName", "编辑"},
                                                     {"adminPwd", "春天 spring"},
                                                     {"adminPwd2", "春天 spring"}});
  ExpectHas(saved, {"已添加管理员“编辑”。", "<td>编辑</td>"});
  EXPECT_FALSE(saved.Has("春天 spring")) << "passwords are not listed";

  admin_.PostFrom("/admin/logout.asp", {});
  EXPECT_EQ(admin_.Get("/admin/").location, "/admin/logon.asp");
  EXPECT_FALSE(LogOnAdmin("编辑", "春天"));
  ASSERT_TRUE(LogOnAdmin("编辑", "春天 spring", true));
  EXPECT_TRUE(admin_.Get("/admin/").Has("欢迎，编辑。"));
  EXPECT_EQ(admin_.Cookie("AdminPwd"), "春天 spring");
  EXPECT_EQ(admin_.Cookie("SaveAdminLogin"), "checked");
  EXPECT_TRUE(admin_.Get("/admin/logon.asp").Has("value=\"编辑\" required"));
  EXPECT_EQ(Query("select adminCount from administrator where adminName='编辑'"), (Rows{{"1"}}));
  // Logging off drops the remember-me cookies with the session.
  admin_.PostFrom("/admin/logout.asp", {});
  EXPECT_FALSE(admin_.HasCookie("AdminPwd"));
  EXPECT_FALSE(admin_.HasCookie("SaveAdminLogin"));
  EXPECT_FALSE(admin_.HasCookie("AdminName"));
}

TEST_F(SiteRoad, RecordsAddedThroughTheGeneratedFormAreListedAndValuesStayValues) {
  Install();
  ASSERT_TRUE(LogOnAdmin("admin", "Sun In May"));

  Page form = admin_.Get("/admin/add.asp?table=news");
  ASSERT_EQ(form.status, 200);
  ExpectHas(form,
            {R"(<form name="frmAdd" id="frmRecord" )"
             R"(action="table.asp?table=news&amp;action=add" method="post">)",
             R"(<td nowrap>标题 *</td><td nowrap><input type="text" name="newsTitle" value="">)",
             R"(<option value="2">新闻</option>)", R"(<textarea name="newsBody"></textarea>)"});
  EXPECT_FALSE(form.Has("name=\"newsID\"")) << "the automatic number gets no input";

  Page saved = AddRecord("news", {{"newsTitle", "O'Brien <b>说</b>"},
                                  {"newsKind", "2"},
                                  {"newsBody", "第一行\r\n第二行'); drop table news; --"},
                                  {"newsTime", "2026-01-02T03:04"},
                                  {"Submit", "添加"}});
  ASSERT_TRUE(saved.Has("已保存一条记录。")) << saved.text << host_.Log();
  // The kind shows its label, not its code.
  ExpectHas(saved, {">标题</a></th>", "<td>O&#39;Brien &lt;b&gt;说&lt;/b&gt;</td>",
                    "<td>2026-01-02 03:04:00</td>", "<td>新闻</td>"});

  // A number that is no number, a date that is no date and a required column left empty are
  // refused before any statement, each named at its field, with what was typed kept.
  struct Refusal {
    Form form;
    std::string field, reason, kept;
  };
  for (const Refusal& r : std::vector<Refusal>{
           {{{"newsTitle", "x"}, {"newsAuthor", "<作者>"}, {"newsKind", "1 or 1=1"}},
            "newsKind",
            "不是数字",
            "value=\"&lt;作者&gt;\""},
           {{{"newsTitle", "x"}, {"newsTime", "2026-02-30T01:02"}},
            "newsTime",
            "不是有效的日期",
            "value=\"2026-02-30T01:02\""},
           {{{"newsKind", "1"}, {"newsBody", "正文"}},
            "newsTitle",
            "必须填写。",
            ">正文</textarea>"},
       }) {
    ExpectHas(AddRecord("news", r.form),
              {"没有保存：", "data-field=\"" + r.field + "\">" + r.reason, r.kept});
  }

  EXPECT_EQ(Query("select newsTitle,newsKind,newsBody,newsTime from news"),
            (Rows{{"O'Brien <b>说</b>", "2", "第一行\r\n第二行'); drop table news; --",
                   "2026-01-02 03:04:00"}}));
  EXPECT_TRUE(admin_.Get("/").Has("O&#39;Brien &lt;b&gt;说&lt;/b&gt;"));

  // Only tables of the dictionary, by their plain names.
  for (const char* table : {"sqlite_master", "news%20where%201=1", "nosuch"}) {
    EXPECT_TRUE(admin_.Get(std::string("/admin/add.asp?table=") + table).Has("没有这个数据表"))
        << table;
    EXPECT_TRUE(AddRecord(table, {{"name", "x"}}).Has("没有这个数据表")) << table;
  }
}

TEST_F(SiteRoad, PersonsLogOnAreRememberedAndLogged) {
  Install();
  ASSERT_TRUE(LogOnAdmin("admin", "Sun In May"));
  Page form = admin_.Get("/admin/add.asp?table=login");
  EXPECT_TRUE(form.Has("<select name=\"loginPersonID\"><option value=\"\"></option></select>"))
      << form.text;
  ASSERT_TRUE(AddRecord("person",
                        {{"personAlias", "lisi"}, {"personPwd", "密码 1"}, {"personName", "李四"}})
                  .Has("已保存一条记录。"));
  // The lookup of the login log's person now offers the new person by name.
  EXPECT_TRUE(admin_.Get("/admin/add.asp?table=login").Has("<option value=\"1\">李四</option>"));

  Visitor person(host_.port(), "Mozilla/5.0 (MireldaSiteTest; zh-CN)");
  EXPECT_TRUE(person.Get("/mainface/index.asp").Has("请先<a href=\"/logon.asp\">登录</a>"));
  for (const char* name : {"lisi", "lisi' or '1'='1"}) {
    EXPECT_TRUE(person.PostFrom("/logon.asp", {{"personName", name}, {"personPwd", "密码 1 "}})
                    .Has("登录名或密码不对。"))
        << name;
  }
  EXPECT_EQ(Query("select count(*) from login"), (Rows{{"0"}}));

  Page logon = person.PostFrom(
      "/logon.asp", {{"personName", "lisi"}, {"personPwd", "密码 1"}, {"checkbox", "checkbox"}});
  ASSERT_EQ(logon.status, 302) << logon.text << host_.Log();
  EXPECT_EQ(logon.location, "mainface/index.asp?trade=1");
  EXPECT_EQ(person.Cookie("name"), "lisi");
  EXPECT_EQ(person.Cookie("checkbox"), "checked");

  ExpectHas(person.Get("/mainface/index.asp?trade=1"),
            {"当前登录：lisi（人员编号 1，", "<td id=\"count\">1</td>",
             "<td>127.0.0.1</td><td>中国</td><td>成功</td>"
             "<td>Mozilla/5.0 (MireldaSiteTest; zh-CN)</td>"});
  EXPECT_EQ(
      Query("select loginName,loginIP,loginAddr,loginApp,loginOk,loginPersonID,"
            "loginTime is not null from login"),
      (Rows{{"lisi", "127.0.0.1", "中国", "Mozilla/5.0 (MireldaSiteTest; zh-CN)", "1", "1", "1"}}));
  EXPECT_EQ(Query("select personCount,personLastIP from person"), (Rows{{"1", "127.0.0.1"}}));
  // The administrator sees the log, with the password hidden.
  Page log = admin_.Get("/admin/table.asp?table=login");
  EXPECT_TRUE(log.Has("<td>lisi</td><td>******</td>")) << log.text;

  // After a browser restart the session is gone and the remembered name is still there.
  person.Restart();
  EXPECT_TRUE(person.Get("/mainface/index.asp").Has("lisi，你好。"));
  ExpectHas(person.Get("/logon.asp"), {"欢迎回来，lisi。", "name=\"personName\" value=\"lisi\"",
                                       "value=\"checkbox\" checked>"});

  // Without the check box the password is not kept.
  Visitor other(host_.port());
  ASSERT_EQ(other.PostFrom("/logon.asp", {{"personName", "LISI"}, {"personPwd", "密码 1"}}).status,
            302);
  EXPECT_EQ(other.Cookie("name"), "LISI");
  EXPECT_FALSE(other.HasCookie("pwd"));
  EXPECT_FALSE(other.HasCookie("checkbox"));
  EXPECT_EQ(Query("select (select count(*) from login),(select personCount from person)"),
            (Rows{{"2", "2"}}));
}

TEST_F(SiteRoad, UploadsStoreFieldsAndFilesInTheDataDrive) {
  Install();
  Visitor stranger(host_.port());
  EXPECT_TRUE(
      stranger.PostMultipart("/upload.asp", {File("file1", "a.txt", "abc")}).Has("上传前请先"));
  ASSERT_TRUE(LogOnAdmin("admin", "Sun In May"));
  Page form = admin_.Get("/upload.asp");
  EXPECT_TRUE(form.Has("enctype=\"multipart/form-data\"")) << form.text;

  const std::string hello = "hello, \xE4\xB8\x96\xE7\x95\x8C\n\0\r\n--binary"s;
  Page page = admin_.PostMultipart(UploadTarget(),
                                   {Field("title", "季度报告"), Field("备注", "中文备注 & <more>"),
                                    File("file1", "C:\\Users\\me\\hello.txt", hello),
                                    File("file2", "big.bin", std::string(kUploadLimit + 1, 'x'))});
  ASSERT_EQ(page.status, 200) << page.text << host_.Log();
  EXPECT_TRUE(page.Has("上传结果：对不起，文件名为[big.bin] 的文件大小超出了范围。")) << page.text;
  EXPECT_TRUE(page.Has("<span id=\"part-count\">4</span>")) << page.text;
  // Each field and file by name, with its size in bytes as posted (GBK for the text).
  ExpectHas(page,
            {R"(<td>title</td><td>字段</td><td></td><td class="number">8 字节</td>)"
             "<td>季度报告</td>",
             R"(<td>备注</td><td>字段</td><td></td><td class="number">17 字节</td>)"
             "<td>中文备注 &amp; &lt;more&gt;</td>",
             R"(<td>file1</td><td>文件</td><td>hello.txt</td><td class="number" data-bytes=")" +
                 std::to_string(hello.size()) + "\">",
             R"(<td>file2</td><td>文件</td><td>big.bin</td><td class="number" data-bytes=")" +
                 std::to_string(kUploadLimit + 1) + "\">1 MB</td>"});

  std::filesystem::path uploads = host_.drive_c() / "mirelda" / "uploads";
  EXPECT_EQ(ReadFile(uploads / "hello.txt"), hello);
  EXPECT_FALSE(std::filesystem::exists(uploads / "big.bin"))
      << "an oversize file leaves no file under its name";

  // A file of a name already stored is refused and the stored one kept.
  Page again = admin_.PostMultipart(UploadTarget(), {File("file1", "hello.txt", "other")});
  EXPECT_TRUE(again.Has("对不起，目标文件[hello.txt]在上载的目录中已经存在,请改名后重新上传"))
      << again.text;
  EXPECT_EQ(ReadFile(uploads / "hello.txt"), hello);

  // A file exactly at the limit is stored whole.
  Page limit = admin_.PostMultipart(UploadTarget(),
                                    {File("file1", "limit.bin", std::string(kUploadLimit, 'y'))});
  EXPECT_TRUE(limit.Has("上传结果：OK")) << limit.text;
  EXPECT_EQ(std::filesystem::file_size(uploads / "limit.bin"), kUploadLimit);
}

TEST_F(SiteRoad, CompactionKeepsEverythingTheRoadStored) {
  Install();
  ASSERT_TRUE(LogOnAdmin("admin", "Sun In May"));
  ASSERT_TRUE(
      AddRecord("person", {{"personAlias", "wang"}, {"personPwd", "pw"}}).Has("已保存一条记录。"));
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(AddRecord("news", {{"newsTitle", "新闻 " + std::to_string(i)},
                                   {"newsBody", std::string(2000, 'n')}})
                    .Has("已保存一条记录。"));
  }
  Visitor person(host_.port());
  ASSERT_EQ(person.PostFrom("/logon.asp", {{"personName", "wang"}, {"personPwd", "pw"}}).status,
            302);

  EXPECT_TRUE(admin_.Get("/admin/compact.asp").Has("<button type=\"submit\">压缩数据库</button>"));
  Page page = admin_.Post("/admin/compact.asp", {});
  ASSERT_TRUE(page.Has("id=\"compacted\">数据库文件 C:\\mirelda\\mirelda.mdb 已压缩。"))
      << page.text;
  EXPECT_FALSE(std::filesystem::exists(host_.database_file().string() + ".bak.mdb"));

  // Everything is still there, and the site goes on working on the compacted file.
  EXPECT_EQ(Query("select count(*) from news"), (Rows{{"40"}}));
  EXPECT_EQ(Query("select count(*) from login"), (Rows{{"1"}}));
  EXPECT_EQ(Query("pragma integrity_check"), (Rows{{"ok"}}));
  EXPECT_TRUE(admin_.Get("/admin/table.asp?table=news").Has("共 40 条记录，第 1 / 2 页。"));
  Visitor later(host_.port());
  EXPECT_EQ(later.PostFrom("/logon.asp", {{"personName", "wang"}, {"personPwd", "pw"}}).status,
            302);
  EXPECT_TRUE(later.Get("/mainface/index.asp").Has("<td id=\"count\">2</td>"));
}

TEST_F(SiteRoad, AdministrationPagesNeedTheAdministratorAndSourcesStayHidden) {
  Install();
  Visitor stranger(host_.port());
  for (const char* page : {"/admin/", "/admin/add.asp?table=news", "/admin/table.asp?table=person",
                           "/admin/compact.asp", "/admin/MenuManage.asp?id=1"}) {
    Page p = stranger.Get(page);
    EXPECT_EQ(p.status, 302) << page;
    EXPECT_EQ(p.location, "/admin/logon.asp") << page;
  }
  EXPECT_EQ(stranger
                .Post("/admin/table.asp?table=person&action=add",
                      {{"personAlias", "intruder"}, {"personPwd", "x"}})
                .status,
            302);
  EXPECT_EQ(stranger.Post("/admin/compact.asp", {}).status, 302);
  EXPECT_EQ(Query("select count(*) from person"), (Rows{{"0"}}));

  // A person in the session is no administrator.
  ASSERT_TRUE(LogOnAdmin("admin", "Sun In May"));
  ASSERT_TRUE(AddRecord("person", {{"personAlias", "zhao"}, {"personPwd", "pw"}}).Has("已保存"));
  ASSERT_EQ(stranger.PostFrom("/logon.asp", {{"personName", "zhao"}, {"personPwd", "pw"}}).status,
            302);
  EXPECT_EQ(stranger.Get("/admin/").location, "/admin/logon.asp");

  for (const char* hidden : {"/inc/settings.inc", "/inc/server_database.inc", "/inc/common.inc"}) {
    EXPECT_EQ(stranger.Get(hidden).status, 404) << hidden;
  }
  Page css = stranger.Get("/site.css");
  EXPECT_EQ(css.status, 200);
  EXPECT_NE(css.reply.Header("Content-Type").find("text/css"), std::string::npos);
}

}  // namespace
}  // namespace mirelda::testing

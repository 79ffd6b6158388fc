<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
var conn = OpenSiteDatabase();
RequireAdmin(conn);
var pageTitle = "管理员账号";
var MIN_PASSWORD = 8;
var outcome = null;
var typedName = "";

// The table of disabled accounts is made the first time one is disabled.
function EnsureDisabledTable() {
  if (DisabledTableExists(conn)) return;
  var db = Server.CreateObject("Mirelda.Database");
  db.setConnection = conn;
  var made = Text(db.CreateTable(1, DISABLED_TABLE, ["adminID", "disabledTime", "disabledBy"],
                                 ["int", "datetime", "char"], ["", "", "(50)"],
                                 ["NOT NULL", "", ""], "adminID"));
  if (made !== "创建表成功") throw new Error("停用记录表没有建立：" + made);
}

if (conn && IsPost()) {
  CheckPost();
  var what = Text(Request.Form("what"));
  var self = Number(Text(Session("adminID")));
  if (what === "add") {
    typedName = Text(Request.Form("adminName")).trim();
    var password = Text(Request.Form("adminPwd"));
    if (!/^[A-Za-z0-9_.\u4e00-\u9fa5-]{2,30}$/.test(typedName)) {
      outcome = {ok: false, text: "管理员名称要有 2 到 30 个字母、数字、汉字或 _ . -。"};
    } else if (Number(ReadValue(conn, "select COUNT(*) from administrator where adminName=?", [typedName])) > 0) {
      outcome = {ok: false, text: "已经有叫“" + typedName + "”的管理员。"};
    } else if (password.length < MIN_PASSWORD || password !== password.trim() || HasNul(password)) {
      outcome = {ok: false, text: "密码至少要有 " + MIN_PASSWORD + " 个字符，不能以空格开始或结束。"};
    } else if (password !== Text(Request.Form("adminPwd2"))) {
      outcome = {ok: false, text: "两次输入的密码不一样。"};
    } else {
      var now = new Date();
      RunBound(conn, "insert into administrator (adminName,adminCreateTime,adminPwd,adminLastTime," +
                     "adminLastIP,adminCount) values (?,?,?,?,?,0)",
               [typedName, now, password, now, ClientAddress()]);
      outcome = {ok: true, text: "已添加管理员“" + typedName + "”。"};
      typedName = "";
    }
  } else if (what === "disable" || what === "enable") {
    var target = Number(Text(Request.Form("id")));
    var exists = isFinite(target) &&
                 Number(ReadValue(conn, "select COUNT(*) from administrator where adminID=?", [target])) > 0;
    if (!exists) {
      outcome = {ok: false, text: "没有这个管理员。"};
    } else if (what === "disable" && target === self) {
      outcome = {ok: false, text: "不能停用自己的账号。"};
    } else if (what === "disable") {
      EnsureDisabledTable();
      if (!AdminDisabled(conn, target)) {
        RunBound(conn, "insert into " + DISABLED_TABLE + " (adminID,disabledTime,disabledBy) values (?,?,?)",
                 [target, new Date(), Text(Session("adminName"))]);
      }
      outcome = {ok: true, text: "已停用这个管理员：他不能再登录，已登录的页面也会退出。"};
    } else {
      if (DisabledTableExists(conn)) RunBound(conn, "delete from " + DISABLED_TABLE + " where adminID=?", [target]);
      outcome = {ok: true, text: "已重新启用这个管理员。"};
    }
  }
}
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (!conn) {
  Response.Write(NotInstalledNote());
} else {
  if (outcome) {
    Response.Write("<p class=\"message " + (outcome.ok ? "ok" : "error") + "\" id=\"outcome\">" +
                   Html(outcome.text) + "</p>");
  }
  var admins = ReadRows(conn, "select adminID,adminName,adminCreateTime,adminLastTime,adminLastIP,adminCount " +
                              "from administrator order by adminID");
  var hasDisabled = DisabledTableExists(conn);
%>
<table class="grid" id="admins">
<tr><th>编号</th><th>管理员</th><th>创建时间</th><th>最后登录</th><th>登录次数</th><th>状态</th><th>操作</th></tr>
<%
  for (var i = 0; i < admins.rows.length; i++) {
    var a = admins.rows[i];
    var off = hasDisabled && AdminDisabled(conn, a[0]);
    var mine = Number(a[0]) === Number(Text(Session("adminID")));
    var button = mine ? "（当前账号）"
        : "<form class=\"inline\" method=\"post\" action=\"admins.asp\">" + TokenField() +
          "<input type=\"hidden\" name=\"what\" value=\"" + (off ? "enable" : "disable") + "\">" +
          "<input type=\"hidden\" name=\"id\" value=\"" + Html(a[0]) + "\">" +
          "<button type=\"submit\">" + (off ? "启用" : "停用") + "</button></form>";
    Response.Write("<tr><td class=\"number\">" + Html(a[0]) + "</td><td>" + Html(a[1]) + "</td><td>" +
                   Html(Show(a[2])) + "</td><td>" + Html(Show(a[3])) + " " + Html(a[4]) +
                   "</td><td class=\"number\">" + Html(a[5]) + "</td><td>" + (off ? "已停用" : "正常") +
                   "</td><td>" + button + "</td></tr>");
  }
%>
</table>
<h2>添加管理员</h2>
<form class="plain" method="post" action="admins.asp"><%= TokenField() %>
<input type="hidden" name="what" value="add">
<label for="newAdminName">管理员名称</label>
<input type="text" id="newAdminName" name="adminName" value="<%= Html(typedName) %>" required>
<label for="newAdminPwd">密码（至少 <%= MIN_PASSWORD %> 个字符）</label>
<input type="password" id="newAdminPwd" name="adminPwd" autocomplete="new-password" required>
<label for="newAdminPwd2">再输入一次密码</label>
<input type="password" id="newAdminPwd2" name="adminPwd2" autocomplete="new-password" required>
<div><button type="submit">添加</button></div>
</form>
<p><a href="password.asp">修改自己的密码</a> · <a href="index.asp">返回管理页面</a></p>
<%
  conn.Close();
}
%>
<!-- #include virtual="/inc/bottom.inc" -->

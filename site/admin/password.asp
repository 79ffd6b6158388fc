<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
var conn = OpenSiteDatabase();
RequireAdmin(conn);
var pageTitle = "修改密码";
var MIN_PASSWORD = 8;
var outcome = null;
if (conn && IsPost()) {
  CheckPost();
  var id = Number(Text(Session("adminID")));
  var old = Text(Request.Form("oldPwd"));
  var fresh = Text(Request.Form("newPwd"));
  var again = Text(Request.Form("newPwd2"));
  var stored = ReadValue(conn, "select adminPwd from administrator where adminID=?", [id]);
  // The logon compares the stored password without its surrounding blanks; so does this.
  if (stored === null || Text(stored).trim() !== old) {
    outcome = {ok: false, field: "oldPwd", text: "原密码不对。"};
  } else if (fresh.length < MIN_PASSWORD) {
    outcome = {ok: false, field: "newPwd", text: "新密码至少要有 " + MIN_PASSWORD + " 个字符。"};
  } else if (fresh !== fresh.trim() || HasNul(fresh)) {
    outcome = {ok: false, field: "newPwd", text: "新密码不能以空格开始或结束。"};
  } else if (fresh !== again) {
    outcome = {ok: false, field: "newPwd2", text: "两次输入的新密码不一样。"};
  } else if (fresh === old) {
    outcome = {ok: false, field: "newPwd", text: "新密码和原密码一样。"};
  } else {
    RunBound(conn, "update administrator set adminPwd=? where adminID=?", [fresh, id]);
    // A remembered password would now be the old one.
    DropCookies(["AdminPwd"]);
    outcome = {ok: true, text: "密码已修改。下次登录请用新密码。"};
  }
}
function Problem(field) {
  return outcome && !outcome.ok && outcome.field === field
             ? " <span class=\"field-error\" data-field=\"" + field + "\">" + Html(outcome.text) + "</span>"
             : "";
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
%>
<form class="plain" method="post" action="password.asp"><%= TokenField() %>
<label for="oldPwd">原密码</label>
<input type="password" id="oldPwd" name="oldPwd" autocomplete="current-password" required><%= Problem("oldPwd") %>
<label for="newPwd">新密码（至少 <%= MIN_PASSWORD %> 个字符）</label>
<input type="password" id="newPwd" name="newPwd" autocomplete="new-password" required><%= Problem("newPwd") %>
<label for="newPwd2">再输入一次新密码</label>
<input type="password" id="newPwd2" name="newPwd2" autocomplete="new-password" required><%= Problem("newPwd2") %>
<div><button type="submit">修改密码</button></div>
</form>
<p><a href="index.asp">返回管理页面</a></p>
<%
  conn.Close();
}
%>
<!-- #include virtual="/inc/bottom.inc" -->

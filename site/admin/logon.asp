<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
NoStore();
var pageTitle = "管理员登录";
var conn = OpenSiteDatabase(true);
var refused = false;
if (conn && IsPost()) {
  CheckPost();
  var name = Text(Request.Form("adminName"));
  var password = Text(Request.Form("adminPwd"));
  // A new attempt starts logged off, so that only a logon that succeeds now counts.
  Session.Remove("adminID");
  Session.Remove("adminName");
  var id = HasNul(name) || HasNul(password)
               ? null
               : ReadValue(conn, "select MIN(adminID) from administrator where adminName=?", [name]);
  if (!HasNul(name) && !HasNul(password) && !(id !== null && AdminDisabled(conn, id))) {
    var wp = Server.CreateObject("Mirelda.WebPage");
    wp.setConnection = conn;
    wp.AdminLogon(name, password, ClientAddress(), "index.asp", "/install.asp");
    if (IsAdmin()) {
      // The identifier known before the logon is worth nothing after it.
      Session.Renew();
      Response.End();
    }
  }
  refused = true;
}
var remembered = Text(Request.Cookies("SaveAdminLogin")) === "checked";
// The fixed account is shown only while it still has the password every installation starts
// with.
var defaultAccount = conn && DefaultPasswordInUse(conn);
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (!conn) {
  Response.Write(NotInstalledNote());
} else {
  if (refused) Response.Write("<p class=\"message error\">用户名或密码不对。</p>");
  if (defaultAccount) {
    Response.Write("<p class=\"message note\" id=\"default-account\">新安装的站点有一个管理员账号 <code>admin</code>，" +
                   "密码 <code>Sun In May</code>。登录后请马上<a href=\"/admin/password.asp\">修改密码</a>。</p>");
  }
%>
<form class="plain" method="post" action="logon.asp"><%= TokenField() %>
<label for="adminName">管理员</label>
<input type="text" id="adminName" name="adminName" value="<%= Html(Request.Cookies("AdminName")) %>" required>
<label for="adminPwd">密码</label>
<input type="password" id="adminPwd" name="adminPwd" required>
<label class="check"><input type="checkbox" name="checkbox" value="checkbox"<%= remembered ? " checked" : "" %>> 记住我（30 天）</label>
<div><button type="submit">登录</button></div>
</form>
<%
  conn.Close();
}
%>
<!-- #include virtual="/inc/bottom.inc" -->

<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
var pageTitle = "管理员登录";
var conn = OpenSiteDatabase(true);
var refused = false;
if (conn && IsPost()) {
  // A new attempt starts logged off, so that only a logon that succeeds now counts.
  Session.Remove("adminID");
  Session.Remove("adminName");
  var wp = Server.CreateObject("Mirelda.WebPage");
  wp.setConnection = conn;
  wp.AdminLogon(Text(Request.Form("adminName")), Text(Request.Form("adminPwd")),
                ClientAddress(), "index.asp", "/install.asp");
  if (IsAdmin()) Response.End();
  refused = true;
}
var remembered = Text(Request.Cookies("SaveAdminLogin")) === "checked";
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (!conn) {
  Response.Write(NotInstalledNote());
} else {
  if (refused) Response.Write("<p class=\"message error\">用户名或密码不对。</p>");
%>
<form class="plain" method="post" action="logon.asp">
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

<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
NoStore();
var pageTitle = "用户登录";
var conn = OpenSiteDatabase();
var refused = false;
if (conn && IsPost()) {
  CheckPost();
}
var personName = Text(Request.Form("personName")), personPwd = Text(Request.Form("personPwd"));
if (conn && IsPost() && (HasNul(personName) || HasNul(personPwd))) {
  refused = true;
} else if (conn && IsPost()) {
  // On success the component records the logon, sends the browser to mainface/index.asp and
  // ends this page; coming back here means the name or the password did not match.
  var wp = Server.CreateObject("Mirelda.WebPage");
  wp.setConnection = conn;
  wp.Logon(personName, personPwd, ClientAddress(), "mainface/index.asp");
  refused = true;
}
var rememberedName = Text(Request.Cookies("name"));
var remembered = Text(Request.Cookies("checkbox")) === "checked";
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (!conn) {
  Response.Write(NotInstalledNote());
} else {
  if (refused) Response.Write("<p class=\"message error\">登录名或密码不对。</p>");
  if (rememberedName && !refused) {
    Response.Write("<p class=\"message note\" id=\"welcome\">欢迎回来，" + Html(rememberedName) + "。</p>");
  }
%>
<form class="plain" method="post" action="logon.asp"><%= TokenField() %>
<label for="personName">登录名</label>
<input type="text" id="personName" name="personName" value="<%= Html(rememberedName) %>" required>
<label for="personPwd">密码</label>
<input type="password" id="personPwd" name="personPwd" required>
<label class="check"><input type="checkbox" id="checkbox" name="checkbox" value="checkbox"<%= remembered ? " checked" : "" %>> 记住我（30 天）</label>
<div><button type="submit">登录</button></div>
</form>
<p class="muted">人员由管理员在<a href="/admin/add.asp?table=person">管理页面</a>添加。</p>
<%
  conn.Close();
}
%>
<!-- #include virtual="/inc/bottom.inc" -->

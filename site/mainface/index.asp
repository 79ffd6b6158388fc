<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
var pageTitle = "我的主页";
var conn = IsPerson() ? OpenSiteDatabase() : null;
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (!IsPerson()) {
  var rememberedName = Text(Request.Cookies("name"));
  Response.Write("<p class=\"message note\">" +
                 (rememberedName ? Html(rememberedName) + "，你好。" : "") +
                 "请先<a href=\"/logon.asp\">登录</a>。</p>");
} else if (!conn) {
  Response.Write(NotInstalledNote());
} else {
  var id = SqlNumber(Session("personID"));
  var person = ReadRows(conn, "select personAlias,personName,personCount,personLastIP,personLastTime " +
                              "from person where personID=" + id);
  var p = person.rows.length > 0 ? person.rows[0] : ["", "", "", "", ""];
%>
<p class="message ok" id="person">当前登录：<%= Html(Session("personName")) %>（人员编号 <%= Html(Session("personID")) %>，
来自 <%= Html(Session("IP")) %>）</p>
<table class="grid">
<tr><th>登录名</th><td><%= Html(p[0]) %></td></tr>
<tr><th>姓名</th><td><%= Html(p[1]) %></td></tr>
<tr><th>登录次数</th><td id="count"><%= Html(p[2]) %></td></tr>
<tr><th>最后登录</th><td><%= Html(Show(p[4])) %> <%= Html(p[3]) %></td></tr>
</table>
<h2>登录日志</h2>
<table class="grid" id="log">
<tr><th>编号</th><th>时间</th><th>地址</th><th>地区</th><th>结果</th><th>浏览器</th></tr>
<%
  var log = ReadRows(conn, "select top 20 loginID,loginTime,loginIP,loginAddr,loginOk,loginApp " +
                           "from login where loginPersonID=" + id + " order by loginID desc");
  for (var i = 0; i < log.rows.length; i++) {
    var l = log.rows[i];
    Response.Write("<tr><td>" + Html(l[0]) + "</td><td>" + Html(Show(l[1])) + "</td><td>" +
                   Html(l[2]) + "</td><td>" + Html(l[3]) + "</td><td>" +
                   (Number(l[4]) === 1 ? "成功" : "失败") + "</td><td>" + Html(l[5]) + "</td></tr>");
  }
%>
</table>
<p><a href="/logout.asp">退出登录</a></p>
<%
  conn.Close();
}
%>
<!-- #include virtual="/inc/bottom.inc" -->

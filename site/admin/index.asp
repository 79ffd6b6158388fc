<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
var pageTitle = "管理";
var conn = OpenSiteDatabase();
RequireAdmin(conn);

// The page a menu entry opens: a link of the site, or the page that the dictionary's own entry
// opens in a dialog. Anything else (another site, other script) is shown but not linked.
function MenuHref(link) {
  var dialog = /^javascript:window\.showModalDialog\("([^"]*)"/.exec(link);
  if (dialog) link = dialog[1];
  return /^[A-Za-z0-9_.\/?=&-]+$/.test(link) && !/^\/\//.test(link) ? link : "";
}
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (!conn) {
  Response.Write(NotInstalledNote());
} else {
%>
<p>欢迎，<%= Html(Session("adminName")) %>。<a href="password.asp">修改密码</a> · <a href="admins.asp">管理员账号</a></p>
<h2>管理菜单</h2>
<table class="grid" id="menu">
<tr><th>菜单</th><th>说明</th></tr>
<%
  var menu = ReadRows(conn, "select adminMenuName,adminMenuLink,adminMenuRemark from adminMenu " +
                            "order by parentMenuID,menuOrder,adminMenuID");
  for (var i = 0; i < menu.rows.length; i++) {
    var m = menu.rows[i];
    var href = MenuHref(Text(m[1]));
    var name = href ? "<a href=\"" + Html(href) + "\">" + Html(m[0]) + "</a>" : Html(m[0]);
    Response.Write("<tr><td>" + name + "</td><td>" + Html(m[2]) + "</td></tr>");
  }
%>
</table>
<h2>数据表</h2>
<table class="grid" id="tables">
<tr><th>数据表</th><th>名称</th><th>类型</th><th>操作</th></tr>
<%
  var tables = ReadRows(conn, "select tableCode,tableName,tableType from TableReference order by id");
  var seen = {};
  for (var t = 0; t < tables.rows.length; t++) {
    var code = Text(tables.rows[t][0]);
    if (seen[code.toLowerCase()] || !IsName(code)) continue;
    seen[code.toLowerCase()] = true;
    var kind = Number(tables.rows[t][2]) === 2 ? "用户表" : "系统表";
    Response.Write("<tr><td>" + Html(code) + "</td><td>" + Html(tables.rows[t][1]) + "</td><td>" +
                   kind + "</td><td><a href=\"add.asp?table=" + Html(code) + "\">添加</a> " +
                   "<a href=\"table.asp?table=" + Html(code) + "\">浏览</a></td></tr>");
  }
%>
</table>
<%
  conn.Close();
}
%>
<!-- #include virtual="/inc/bottom.inc" -->

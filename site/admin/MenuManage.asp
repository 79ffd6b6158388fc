<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
var pageTitle = "系统基本设置";
var conn = OpenSiteDatabase();
RequireAdmin(conn);
%>
<!-- #include virtual="/inc/top.inc" -->
<h2>站点设置</h2>
<table class="grid">
<tr><th>数据库</th><td><%= Html(DatabaseDescription()) %></td></tr>
<tr><th>数据文件夹</th><td><%= Html(DATA_FOLDER) %></td></tr>
<tr><th>上传文件夹</th><td><%= Html(UPLOAD_FOLDER) %></td></tr>
<tr><th>上传文件大小上限</th><td><%= Html(UPLOAD_LIMIT_BYTES) %> 字节</td></tr>
<tr><th>代码页</th><td><%= Html(Session.CodePage) %>（<%= Html(Response.Charset) %>）</td></tr>
</table>
<p class="muted">这些设置在站点的 <code>inc/settings.inc</code> 和 <code>inc/server_database.inc</code> 里修改。</p>
<%
if (!conn) {
  Response.Write(NotInstalledNote());
} else {
%>
<h2>数据字典</h2>
<table class="grid" id="dictionary">
<tr><th>数据表</th><th>字段</th><th>标签</th><th>字段类型</th><th>添加样式</th></tr>
<%
  var fields = ReadRows(conn,
      "select t.tableCode,f.fieldCode,f.fieldName,f.fieldType,f.addStyle from FieldReference f, " +
      "TableReference t where f.tabID=t.id order by t.id,f.id");
  for (var i = 0; i < fields.rows.length; i++) {
    var f = fields.rows[i];
    Response.Write("<tr><td>" + Html(f[0]) + "</td><td>" + Html(f[1]) + "</td><td>" + Html(f[2]) +
                   "</td><td>" + Html(f[3]) + "</td><td>" + Html(f[4]) + "</td></tr>");
  }
%>
</table>
<%
  conn.Close();
}
%>
<p><a href="index.asp">返回管理页面</a></p>
<!-- #include virtual="/inc/bottom.inc" -->

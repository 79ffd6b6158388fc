<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
// The check holds its connection only for itself: compaction needs the file to itself.
var checkConn = OpenSiteDatabase();
RequireAdmin(checkConn);
if (checkConn) checkConn.Close();
CheckPost();
var pageTitle = "压缩数据库";
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (UsesServerDatabase()) {
  Response.Write("<p class=\"message note\">站点使用服务器数据库，由数据库服务器自己整理空间，不需要在这里压缩。</p>");
} else if (IsPost()) {
  // The compacted copy replaces the file. This page holds no connection to it meanwhile.
  Response.Write("<div class=\"component-output\">");
  var db = Server.CreateObject("Mirelda.Database");
  var done = db.CompressAccessDb(DATABASE_FILE, 1, DATA_FOLDER);
  Response.Write("</div>");
  if (done === true && db.AccessDbExists(DATA_FOLDER + DATABASE_FILE) === true) {
    Response.Write("<p class=\"message ok\" id=\"compacted\">数据库文件 " + Html(DATA_FOLDER + DATABASE_FILE) +
                   " 已压缩。</p>");
  } else {
    Response.Write("<p class=\"message error\" id=\"compacted\">数据库没有压缩，请查看上面的信息。</p>");
  }
} else {
%>
<p>压缩把数据库文件 <code><%= Html(DATA_FOLDER + DATABASE_FILE) %></code> 整理成一个紧凑的副本，再用副本替换原来的文件，
回收删除记录留下的空间。</p>
<form class="plain" method="post" action="compact.asp"><%= TokenField() %>
<button type="submit">压缩数据库</button>
</form>
<% } %>
<p><a href="index.asp">返回管理页面</a></p>
<!-- #include virtual="/inc/bottom.inc" -->

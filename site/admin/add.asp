<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
var conn = OpenSiteDatabase();
RequireAdmin(conn);
var table = conn ? RegisteredTable(conn, Text(Request.QueryString("table"))) : "";
var pageTitle = table ? "添加记录：" + table : "添加记录";
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (!conn) {
  Response.Write(NotInstalledNote());
} else if (!table) {
  Response.Write("<p class=\"message error\">没有这个数据表。请从<a href=\"index.asp\">管理页面</a>选择。</p>");
} else {
  // The form's labels and inputs come from the data dictionary; it posts to table.asp, which
  // saves the record and lists the table.
  var wp = Server.CreateObject("Mirelda.WebPage");
  wp.setConnection = conn;
  wp.AddPage(table, "table.asp", "", "add-title", "add-fields");
  // The component's form ends itself; the session's token joins it by the form's name.
  Response.Write(TokenField().replace("<input ", "<input form=\"frmAdd\" "));
  Response.Write("<p><a href=\"table.asp?table=" + Html(table) + "\">浏览 " + Html(table) + " 的全部记录</a></p>");
}
if (conn) conn.Close();
%>
<!-- #include virtual="/inc/bottom.inc" -->

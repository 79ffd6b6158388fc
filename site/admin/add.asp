<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<!-- #include virtual="/inc/record_form.inc" -->
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
  // The form's labels and inputs come from the data dictionary, as the component's add form
  // takes them; it posts to table.asp, which saves the record, lists the table and, when the
  // save is refused, shows this form again with what was typed.
  if (table.toLowerCase() === "administrator") {
    Response.Write("<p class=\"message note\">管理员账号在<a href=\"admins.asp\">管理员账号</a>页面添加。</p>");
  } else {
    Response.Write("<div align=\"center\" class=\"add-title\">添加数据</div>");
    WriteRecordForm(table, EditColumns(conn, table), {}, {}, "table.asp?table=" + table + "&action=add", "添加");
  }
  Response.Write("<p><a href=\"table.asp?table=" + Html(table) + "\">浏览 " + Html(table) + " 的全部记录</a></p>");
}
if (conn) conn.Close();
%>
<!-- #include virtual="/inc/bottom.inc" -->

<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<!-- #include virtual="/inc/record_form.inc" -->
<%
var conn = OpenSiteDatabase();
RequireAdmin(conn);
var table = conn ? RegisteredTable(conn, Text(Request.QueryString("table"))) : "";
if (table.toLowerCase() === "administrator") table = "";
var columns = table ? EditColumns(conn, table) : [];
var key = KeyColumn(columns);
var id = key ? ParseTyped(key, Text(Request.QueryString("id"))) : {error: "no key"};
var pageTitle = table ? "修改记录：" + table : "修改记录";
var saved = null, values = {}, errors = {}, found = false;
if (table && !id.error) {
  var stored = ReadRows(conn, "select * from " + table + " where " + key.name + "=?", [id.value]);
  found = stored.rows.length > 0;
  if (found && IsPost()) {
    CheckPost();
    saved = SaveRecord(conn, table, columns, id.value);
    if (saved.ok) {
      Response.Redirect("table.asp?table=" + Server.URLEncode(table));
      Response.End();
    }
    values = saved.values;
    errors = saved.errors;
  } else if (found) {
    for (var i = 0; i < stored.names.length; i++) {
      for (var c = 0; c < columns.length; c++) {
        if (columns[c].name.toLowerCase() === stored.names[i].toLowerCase() && columns[c].style !== "7") {
          values[columns[c].name] = FormValue(columns[c], stored.rows[0][i]);
        }
      }
    }
  }
}
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (!conn) {
  Response.Write(NotInstalledNote());
} else if (!table || !key) {
  Response.Write("<p class=\"message error\">这个数据表的记录不能在这里修改。请从<a href=\"index.asp\">管理页面</a>选择。</p>");
} else if (!found) {
  Response.Write("<p class=\"message error\">没有这条记录。<a href=\"table.asp?table=" + Html(table) + "\">返回列表</a></p>");
} else {
  if (saved) Response.Write("<p class=\"message error\" id=\"saved\">" + Html(saved.text) + "</p>");
  Response.Write("<p class=\"muted\">密码字段留空表示不修改。</p>");
  WriteRecordForm(table, columns, values, errors,
                  "edit.asp?table=" + table + "&id=" + Text(id.value), "保存");
  Response.Write("<p><a href=\"table.asp?table=" + Html(table) + "\">返回列表</a></p>");
}
if (conn) conn.Close();
%>
<!-- #include virtual="/inc/bottom.inc" -->

<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<!-- #include virtual="/inc/record_form.inc" -->
<%
var conn = OpenSiteDatabase();
RequireAdmin(conn);
var table = conn ? RegisteredTable(conn, Text(Request.QueryString("table"))) : "";
var pageTitle = table ? "数据表：" + table : "数据表";
var PAGE_ROWS = 20;
// Accounts are kept on their own page, which never lets the last one go.
var readOnly = table.toLowerCase() === "administrator";
var columns = table ? EditColumns(conn, table) : [];
var key = KeyColumn(columns);
var action = Text(Request.QueryString("action"));
var saved = null;
var form = null;  // the record form shown again with what was typed

if (table && IsPost()) {
  CheckPost();
  if (readOnly) {
    saved = {ok: false, text: "管理员账号在“管理员账号”页面修改。"};
  } else if (action === "add") {
    saved = SaveRecord(conn, table, columns, null);
    if (!saved.ok) form = {title: "添加记录", values: saved.values, errors: saved.errors, action: "add"};
  } else if (action === "delete" && key) {
    var doomed = ParseTyped(key, Text(Request.Form("id")));
    if (doomed.error) {
      saved = {ok: false, text: "没有删除：记录编号不对。"};
    } else {
      RunBound(conn, "delete from " + table + " where " + key.name + "=?", [doomed.value]);
      saved = {ok: true, text: "已删除一条记录。"};
    }
  }
}

// The query's own text for links: the search, sort and page that this listing shows.
var search = Text(Request.QueryString("q"));
var sort = Text(Request.QueryString("sort"));
var descending = Text(Request.QueryString("dir")) === "desc";
var known = {};
for (var kc = 0; kc < columns.length; kc++) known[columns[kc].name.toLowerCase()] = columns[kc].name;
// A sort column must be one of the table's own; any other text sorts by the key.
sort = known[sort.toLowerCase()] || (key ? key.name : "");

function ListLink(page, sortBy, desc) {
  return "table.asp?table=" + Server.URLEncode(table) + (search ? "&q=" + Server.URLEncode(search) : "") +
         (sortBy ? "&sort=" + Server.URLEncode(sortBy) + (desc ? "&dir=desc" : "") : "") +
         (page > 1 ? "&page=" + page : "");
}
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (!conn) {
  Response.Write(NotInstalledNote());
} else if (!table) {
  Response.Write("<p class=\"message error\">没有这个数据表。请从<a href=\"index.asp\">管理页面</a>选择。</p>");
} else {
  if (saved) {
    Response.Write("<p class=\"message " + (saved.ok ? "ok" : "error") + "\" id=\"saved\">" +
                   Html(saved.text) + "</p>");
  }
  if (form) {
    Response.Write("<h2>" + Html(form.title) + "</h2>");
    WriteRecordForm(table, columns, form.values, form.errors,
                    "table.asp?table=" + table + "&action=" + form.action, "添加");
  }
  if (readOnly) {
    Response.Write("<p class=\"message note\">管理员账号在<a href=\"admins.asp\">管理员账号</a>页面添加和停用，" +
                   "密码在<a href=\"password.asp\">修改密码</a>页面修改。</p>");
  }
  // The search looks at every text column; the typed text is a bound value.
  var where = "", params = [];
  if (search !== "") {
    var likes = [];
    for (var s = 0; s < columns.length; s++) {
      if (NUMBER_TYPES[columns[s].type] || columns[s].type === DATE_TYPE || columns[s].style === "7") continue;
      likes.push(columns[s].name + " like ?");
      params.push("%" + search + "%");
    }
    where = likes.length > 0 ? " where " + likes.join(" or ") : " where 1=0";
  }
  var total = Number(ReadValue(conn, "select COUNT(*) from " + table + where, params));
  var pages = Math.max(1, Math.ceil(total / PAGE_ROWS));
  var page = Math.floor(Number(Text(Request.QueryString("page")))) || 1;
  page = Math.min(Math.max(page, 1), pages);
  var data = ReadRows(conn, "select * from " + table + where +
                            (sort ? " order by " + sort + (descending ? " desc" : "") : "") +
                            " LIMIT " + PAGE_ROWS + " OFFSET " + (page - 1) * PAGE_ROWS, params);
  var byName = {};
  for (var cn = 0; cn < columns.length; cn++) byName[columns[cn].name.toLowerCase()] = columns[cn];
%>
<form class="search" method="get" action="table.asp">
<input type="hidden" name="table" value="<%= Html(table) %>">
<input type="search" name="q" id="search" value="<%= Html(search) %>" placeholder="在文字字段中查找">
<button type="submit">查找</button>
<% if (search) Response.Write(" <a href=\"" + Html(ListLink(1, "", false)) + "\">全部记录</a>"); %>
</form>
<%
  Response.Write("<p id=\"total\">共 " + total + " 条记录" + (search ? "符合“" + Html(search) + "”" : "") +
                 "，第 " + page + " / " + pages + " 页。" +
                 (readOnly ? "" : "<a href=\"add.asp?table=" + Html(table) + "\">添加一条</a>") + "</p>");
  Response.Write("<table class=\"grid\" id=\"rows\"><tr>");
  for (var c = 0; c < data.names.length; c++) {
    var column = byName[data.names[c].toLowerCase()];
    var label = column ? column.label : data.names[c];
    var again = column && sort === column.name && !descending;
    var mark = column && sort === column.name ? (descending ? " ▼" : " ▲") : "";
    Response.Write("<th>" + (column ? "<a href=\"" + Html(ListLink(1, column.name, again)) + "\">" +
                                          Html(label) + "</a>" + mark
                                    : Html(label)) + "</th>");
  }
  if (key && !readOnly) Response.Write("<th>操作</th>");
  Response.Write("</tr>");
  for (var r = 0; r < data.rows.length; r++) {
    Response.Write("<tr>");
    var id = null;
    for (var k = 0; k < data.names.length; k++) {
      var value = data.rows[r][k];
      var col = byName[data.names[k].toLowerCase()];
      if (col && key && col.name === key.name) id = value;
      var shown = Show(value);
      if (col && col.style === "7" && shown !== "") shown = "******";
      if (col && col.options) {
        for (var o = 0; o < col.options.length; o++) {
          if (Text(col.options[o][0]) === shown) shown = Text(col.options[o][1]);
        }
      }
      var cls = typeof value === "number" && shown === Show(value) ? " class=\"number\"" : "";
      Response.Write("<td" + cls + ">" + Html(shown) + "</td>");
    }
    if (key && !readOnly) {
      // Deleting asks first, then posts with the session's token.
      Response.Write("<td><a href=\"edit.asp?table=" + Html(table) + "&id=" + Html(id) + "\">修改</a> " +
                     "<form class=\"inline delete\" method=\"post\" action=\"table.asp?table=" + Html(table) +
                     "&action=delete\" onsubmit=\"return confirm('确定删除这条记录吗？');\">" +
                     TokenField() + "<input type=\"hidden\" name=\"id\" value=\"" + Html(id) + "\">" +
                     "<button type=\"submit\">删除</button></form></td>");
    }
    Response.Write("</tr>");
  }
  Response.Write("</table>");
  if (pages > 1) {
    Response.Write("<p class=\"pager\" id=\"pager\">");
    for (var p = 1; p <= pages; p++) {
      Response.Write(p === page ? "<strong>" + p + "</strong>"
                                : "<a href=\"" + Html(ListLink(p, sort, descending)) + "\">" + p + "</a>");
    }
    Response.Write("</p>");
  }
}
if (conn) conn.Close();
%>
<!-- #include virtual="/inc/bottom.inc" -->
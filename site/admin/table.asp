<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
RequireAdmin();
var conn = OpenSiteDatabase();
var table = conn ? RegisteredTable(conn, Text(Request.QueryString("table"))) : "";
var pageTitle = table ? "数据表：" + table : "数据表";

// Field types of the record set that take numbers and dates.
var NUMBER_TYPES = {2: 1, 3: 1, 4: 1, 5: 1, 6: 1, 11: 1, 17: 1, 20: 1, 131: 1};
var DATE_TYPE = 7;

// Saves the posted record: every column the form filled in, as a literal of the column's kind.
// Columns left empty get their default. Returns the message to show.
function SaveRecord() {
  var rs = Server.CreateObject("ADODB.RecordSet");
  rs.Open("select * from " + table + " where 1=0", conn);
  var columns = [], values = [];
  try {
    for (var i = 0; i < rs.Fields.Count; i++) {
      var field = rs.Fields(i);
      if (field.Properties("ISAUTOINCREMENT").Value === true || !IsName(field.Name)) continue;
      var posted = Text(Request.Form(field.Name));
      if (posted === "") continue;
      columns.push(field.Name);
      if (NUMBER_TYPES[field.Type]) values.push(SqlNumber(posted));
      else if (field.Type === DATE_TYPE) values.push(SqlDate(posted));
      else values.push(SqlText(posted));
    }
  } catch (e) {
    return {ok: false, text: "没有保存：" + (e.description || e.message)};
  } finally {
    rs.Close();
  }
  if (columns.length === 0) return {ok: false, text: "没有保存：表单是空的。"};
  try {
    conn.Execute("insert into " + table + " (" + columns.join(",") + ") values (" +
                 values.join(",") + ")");
  } catch (e) {
    return {ok: false, text: "没有保存：" + (e.description || e.message)};
  }
  return {ok: true, text: "已保存一条记录。"};
}

var saved = null;
if (table && IsPost() && Text(Request.QueryString("action")) === "add") saved = SaveRecord();
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
  // Columns whose input is a password are not shown; enumerated ones show their codes' labels.
  var hidden = {}, labels = {};
  var styles = ReadRows(conn, "select fieldCode,addStyle,id from FieldReference where tabID in " +
                              "(select id from TableReference where tableCode=" + SqlText(table) + ")");
  for (var s = 0; s < styles.rows.length; s++) {
    var column = Text(styles.rows[s][0]).toLowerCase();
    var style = Text(styles.rows[s][1]);
    if (style === "7") hidden[column] = true;
    if (style !== "3") continue;
    var codes = ReadRows(conn, "select code,codeValue from EnumTable where mateID=" +
                               SqlNumber(styles.rows[s][2]));
    labels[column] = {};
    for (var e = 0; e < codes.rows.length; e++) {
      labels[column][Text(codes.rows[e][0])] = Text(codes.rows[e][1]);
    }
  }
  var data = ReadRows(conn, "select * from " + table);
  var wp = Server.CreateObject("Mirelda.WebPage");
  wp.setConnection = conn;
  Response.Write("<p>共 " + data.rows.length + " 条记录。<a href=\"add.asp?table=" + Html(table) +
                 "\">添加一条</a></p>");
  Response.Write("<table class=\"grid\" id=\"rows\"><tr>");
  for (var c = 0; c < data.names.length; c++) {
    Response.Write("<th>" + Html(wp.CodeToName(table, data.names[c])) + "</th>");
  }
  Response.Write("</tr>");
  for (var r = 0; r < data.rows.length; r++) {
    Response.Write("<tr>");
    for (var k = 0; k < data.names.length; k++) {
      var value = data.rows[r][k];
      var key = data.names[k].toLowerCase();
      var shown = Show(value);
      if (hidden[key] && shown !== "") shown = "******";
      if (labels[key] && labels[key].hasOwnProperty(shown)) shown = labels[key][shown];
      var cls = typeof value === "number" && shown === Show(value) ? " class=\"number\"" : "";
      Response.Write("<td" + cls + ">" + Html(shown) + "</td>");
    }
    Response.Write("</tr>");
  }
  Response.Write("</table>");
}
if (conn) conn.Close();
%>
<!-- #include virtual="/inc/bottom.inc" -->

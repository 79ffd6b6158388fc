<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<!-- #include virtual="/inc/app_tables.inc" -->
<%
// Installation runs once for anyone; afterwards only an administrator may run it again (it then
// changes nothing that is in place).
NoStore();
if (SiteInstalled()) {
  var lockConn = OpenSiteDatabase(true);
  RequireAdminOrRefuse(lockConn);
  lockConn.Close();
}
var pageTitle = "安装";
// Set when any step writes something: a run that finds everything in place says so.
var changed = false;
var failed = false;

function Line(text, kind) {
  Response.Write("<li class=\"" + kind + "\">" + text + "</li>");
}

// How a dictionary report reads: "same" when the table was there with its rows already.
function ReportKind(report) {
  if (/不需要初始化！?$/.test(report) || report === "索引表已存在！") return "same";
  if (/失败|^请先/.test(report)) return "error";
  return "done";
}

// The id of a table's registration in the dictionary, or null when it has none.
function RegistrationId(conn, code) {
  return ReadValue(conn, "select MIN(id) from TableReference where tableCode=" + SqlText(code));
}

function FieldId(conn, tableId, column) {
  return ReadValue(conn, "select MIN(id) from FieldReference where tabID=" + SqlNumber(tableId) +
                         " and fieldCode=" + SqlText(column));
}

// One step of the site's own installation as one transaction: a crash or a failure leaves it
// wholly done or not at all, and the next run finds it missing and does it again. work returns
// the step's report lines, or a text when the step failed (the step is then undone); the lines
// are shown only once the step is lasting. An engine error undoes the step too, its words going
// to the host's log.
function Step(conn, work) {
  var lines;
  conn.BeginTrans();
  try {
    lines = work();
  } catch (e) {
    conn.RollbackTrans();
    LogLine("install: " + Text(e.message));
    return "数据库拒绝了这一步，没有留下任何改动";
  }
  if (typeof lines === "string") {
    conn.RollbackTrans();
    return lines;
  }
  conn.CommitTrans();
  return lines;
}

// PostgreSQL draws identity values outside transactions: restarting a table's identity inside
// the step at the value it would give next makes the ids the step draws part of it, so a run
// after a crash gets the ids a run without the crash gets. SQLite keeps its counters in a table
// that the transaction covers.
function HoldIds(conn, table, column) {
  if (!UsesServerDatabase()) return;
  var name = table.toLowerCase(), id = column.toLowerCase();
  var rs = conn.Execute("select coalesce(pg_sequence_last_value(s.seqrelid) + s.seqincrement, " +
                        "s.seqstart) as nextID from pg_sequence s where s.seqrelid = " +
                        "to_regclass(pg_get_serial_sequence(" + SqlText(name) + "," +
                        SqlText(id) + "))");
  var next = rs.EOF ? null : rs.Fields(0).Value;
  rs.Close();
  if (next !== null) {
    conn.Execute("ALTER TABLE " + name + " ALTER COLUMN " + id + " RESTART WITH " +
                 SqlNumber(next));
  }
}

// Registers an application table and its columns' labels, codes and lookups in the dictionary.
function Register(conn, table) {
  // Only tables that the step writes to: a restart not followed by a row leaves PostgreSQL's
  // count unread, and the next hold would start it over.
  HoldIds(conn, "TableReference", "id");
  HoldIds(conn, "FieldReference", "id");
  if (table.codes) HoldIds(conn, "EnumTable", "id");
  if (table.index) HoldIds(conn, "IndexTable", "id");
  conn.Execute("insert into TableReference (tableCode,tableName,tableType) values (" +
               SqlText(table.code) + "," + SqlText(table.name) + ",2)");
  var tableId = ReadValue(conn, "select MAX(id) as maxID from TableReference");
  for (var i = 0; i < table.columns.length; i++) {
    var c = table.columns[i];
    conn.Execute("insert into FieldReference (tabID,fieldCode,fieldName,fieldType,addStyle) " +
                 "values (" + SqlNumber(tableId) + "," + SqlText(c[0]) + "," + SqlText(c[4]) +
                 "," + SqlNumber(c[5]) + "," + SqlText(c[6]) + ")");
  }
  var column;
  for (column in table.codes || {}) {
    var fieldId = FieldId(conn, tableId, column);
    var codes = table.codes[column];
    for (var k = 0; k < codes.length; k++) {
      conn.Execute("insert into EnumTable (mateID,code,codeValue) values (" + SqlNumber(fieldId) +
                   "," + SqlText(codes[k][0]) + "," + SqlText(codes[k][1]) + ")");
    }
  }
  for (column in table.index || {}) {
    var lookup = table.index[column];
    var targetId = RegistrationId(conn, lookup.table);
    conn.Execute("insert into IndexTable (mateID,objTable,objCode,objName) values (" +
                 SqlNumber(FieldId(conn, tableId, column)) + "," + SqlNumber(targetId) + "," +
                 SqlNumber(FieldId(conn, targetId, lookup.code)) + "," +
                 SqlNumber(FieldId(conn, targetId, lookup.name)) + ")");
  }
  return table.columns.length;
}
%>
<!-- #include virtual="/inc/top.inc" -->
<p>安装页面建立站点的数据库、数据字典和应用数据表。安装以后只有管理员能再次运行它：已经存在的内容保持不变。</p>
<p>数据库：<%= Html(DatabaseDescription()) %></p>

<h2>1. 数据库</h2>
<ul class="plain report">
<%
var db = Server.CreateObject("Mirelda.Database");
var made;
Response.Write("<li>");
if (UsesServerDatabase()) {
  var s = SERVER_DATABASE;
  made = db.CreateSqlServerDB(s.server, s.uid, s.pwd, s.database);
} else {
  var fso = Server.CreateObject("Scripting.FileSystemObject");
  if (!fso.FolderExists(DATA_FOLDER)) fso.CreateFolder(DATA_FOLDER);
  made = db.CreateAccessDbFile(DATABASE_FILE, 1, DATA_FOLDER);
}
if (made === true && DatabaseExists(db)) {
  changed = true;
  Response.Write("已建立数据库。");
} else if (made === false) {
  Response.Write("（保持不变）");
} else {
  failed = true;
  Response.Write("<br>数据库未能建立。");
}
Response.Write("</li>");
%>
</ul>
<%
var conn = null;
if (!failed) {
  conn = Server.CreateObject("ADODB.Connection");
  var connection = ConnectionString(db);
  conn.Open(connection);
  db.setConnection = conn;
%>
<p class="muted">连接字符串：<code><%= Html(connection.replace(/pwd=[^;]*/i, "pwd=******")) %></code></p>

<h2>2. 数据字典</h2>
<ol class="steps report">
<%
  var reports = [db.CreateTableReference(1), db.CreateFieldReference(1), db.CreateEnumTable(1),
                 db.CreateIndexTable(1), db.CreateAdministrator(1), db.CreateAdminMenu(1)];
  for (var r = 0; r < reports.length; r++) {
    var kind = ReportKind(Text(reports[r]));
    if (kind === "done") changed = true;
    if (kind === "error") failed = true;
    Line(Html(reports[r]), kind);
  }
%>
</ol>

<h2>3. 应用数据表</h2>
<ul class="plain report">
<%
  // Each table's creation and its registration in the dictionary are one step.
  var tables = AppTables(UsesServerDatabase() ? "DEFAULT (getdate())" : "DEFAULT (Now())");
  for (var t = 0; t < tables.length && !failed; t++) {
    var table = tables[t];
    var label = "数据表 " + table.code + "（" + table.name + "）";
    var exists = db.TableExists(table.code) === true;
    var registered = RegistrationId(conn, table.code) !== null;
    var lines = [[label + "已存在，不需要建立", "same"], [label + "已登记在数据字典中", "same"]];
    if (!exists || !registered) {
      lines = Step(conn, function () {
        var made = [[label + "已存在，不需要建立", "same"]];
        if (!exists) {
          var names = [], types = [], sizes = [], flags = [];
          for (var i = 0; i < table.columns.length; i++) {
            names.push(table.columns[i][0]);
            types.push(table.columns[i][1]);
            sizes.push(table.columns[i][2]);
            flags.push(table.columns[i][3]);
          }
          var result = Text(db.CreateTable(1, table.code, names, types, sizes, flags, table.key));
          if (result !== "创建表成功") return result;
          made[0] = [label + "：" + result, "done"];
        }
        if (registered) {
          made.push([label + "已登记在数据字典中", "same"]);
        } else {
          var count = Register(conn, table);
          made.push([label + "已登记到数据字典，" + count + " 个字段带有标签", "done"]);
        }
        return made;
      });
      if (typeof lines === "string") {
        failed = true;
        Line(Html(label + "：" + lines), "error");
        break;
      }
      changed = true;
    }
    for (var l = 0; l < lines.length; l++) Line(Html(lines[l][0]), lines[l][1]);
  }
%>
</ul>

<h2>4. 管理菜单</h2>
<ul class="plain report">
<%
  // Each entry is a step of its own; the last one written marks the installation as finished.
  for (var m = 0; m < APP_MENU.length && !failed; m++) {
    var entry = APP_MENU[m];
    var present = ReadValue(conn, "select COUNT(*) from adminMenu where adminMenuCode=" +
                                  SqlText(entry[0]));
    if (Number(present) > 0) {
      Line(Html("菜单“" + entry[1] + "”已存在"), "same");
      continue;
    }
    var added = Step(conn, function () {
      HoldIds(conn, "adminMenu", "adminMenuID");
      conn.Execute("insert into adminMenu (adminMenuCode,adminMenuName,adminMenuLink," +
                   "adminMenuTarget,adminMenuRemark,parentMenuID,menuOrder) values (" +
                   SqlText(entry[0]) + "," + SqlText(entry[1]) + "," + SqlText(entry[2]) +
                   ",'_self'," + SqlText(entry[3]) + ",0," + SqlNumber(entry[4]) + ")");
      return [];
    });
    if (typeof added === "string") {
      failed = true;
      Line(Html("菜单“" + entry[1] + "”：" + added), "error");
    } else {
      changed = true;
      Line(Html("已添加菜单“" + entry[1] + "”"), "done");
    }
  }
%>
</ul>
<%
  conn.Close();
}

if (failed) {
  Response.Write("<p class=\"message error\">安装没有完成，请查看上面的错误信息。</p>");
} else if (!changed) {
  Response.Write("<p class=\"message ok\" id=\"result\">没有任何改动：数据库、数据字典、数据表和菜单都已就绪。</p>");
} else {
  Response.Write("<p class=\"message ok\" id=\"result\">安装完成。</p>");
}
if (!failed) {
%>
<p>下一步：<a href="/admin/logon.asp">管理员登录</a>。登录页面上写着新站点的管理员账号和初始密码，
直到密码被修改。</p>
<% } %>
<!-- #include virtual="/inc/bottom.inc" -->

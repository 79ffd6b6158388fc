<%@ LANGUAGE="VBScript" %>
<!-- #include virtual="/vbs/inc/common.inc" -->
<%
' Installation runs once for anyone; afterwards only an administrator may run it again (the same
' lock as the JavaScript installation page's).
Response.CacheControl = "no-store"
If SiteInstalled() Then RequireAdminOrRefuse
Dim pageTitle
pageTitle = "安装报告（VBScript 页面）"

' How a dictionary report reads: "same" when the table was there with its rows already.
Function ReportKind(report)
  Dim s
  s = Text(report)
  If InStr(s, "不需要初始化") > 0 Or s = "索引表已存在！" Then
    ReportKind = "same"
  ElseIf InStr(s, "失败") > 0 Or InStr(s, "请先") = 1 Then
    ReportKind = "error"
  Else
    ReportKind = "done"
  End If
End Function

Sub Line(text, kind)
  Response.Write "<li class=""" & kind & """>" & Html(text) & "</li>" & vbCrLf
End Sub
%>
<!-- #include virtual="/vbs/inc/top.inc" -->
<p>这一页用 VBScript 建立站点的数据库和数据字典，并报告每一步的结果。可以随时再次运行：
已经存在的内容保持不变。应用数据表和管理菜单由<a href="/install.asp">安装页面</a>建立。</p>
<p>数据库：<%= Html(DatabaseDescription()) %></p>
<h2>1. 数据库</h2>
<ul class="plain report">
<%
Dim db, fso, made, failed
failed = False
Set db = Server.CreateObject("Mirelda.Database")
If UsesServerDatabase() Then
  made = db.CreateSqlServerDB(SERVER_DB_SERVER, SERVER_DB_UID, SERVER_DB_PWD, SERVER_DB_NAME)
Else
  Set fso = Server.CreateObject("Scripting.FileSystemObject")
  If Not fso.FolderExists(DATA_FOLDER) Then fso.CreateFolder DATA_FOLDER
  made = db.CreateAccessDbFile(DATABASE_FILE, 1, DATA_FOLDER)
End If
Select Case TypeName(made)
  Case "Boolean"
    If made Then
      Line "已建立数据库。", "done"
    Else
      Line "数据库已经存在（保持不变）。", "same"
    End If
  Case Else
    failed = True
    Line "数据库未能建立。", "error"
End Select
%>
</ul>
<%
If Not failed Then
  Dim conn, reports, report, kind, name, i
  Set conn = OpenSiteDatabase(db)
%>
<h2>2. 数据字典</h2>
<ol class="steps report" id="dictionary">
<%
  reports = Array(db.CreateTableReference(1), db.CreateFieldReference(1), db.CreateEnumTable(1), _
                  db.CreateIndexTable(1), db.CreateAdministrator(1), db.CreateAdminMenu(1))
  For Each report In reports
    kind = ReportKind(report)
    If kind = "error" Then failed = True
    Line report, kind
  Next
%>
</ol>
<h2>3. 应用数据表</h2>
<ul class="plain report" id="tables">
<%
  For Each name In Array("person", "login", "news")
    If db.TableExists(name) Then
      Line "数据表 " & name & " 已存在", "same"
    Else
      Line "数据表 " & name & " 尚未建立：请运行安装页面", "error"
    End If
  Next
%>
</ul>
<%
  conn.Close
End If
If failed Then
  Response.Write "<p class=""message error"">安装报告发现了问题，请查看上面的信息。</p>"
Else
  Response.Write "<p class=""message ok"" id=""result"">数据库和数据字典已就绪。</p>"
End If
%>
<!-- #include virtual="/inc/bottom.inc" -->

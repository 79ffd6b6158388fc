<%@ LANGUAGE="VBScript" %>
<!-- #include virtual="/vbs/inc/common.inc" -->
<!-- #include virtual="/vbs/inc/html_table.inc" -->
<%
Dim pageTitle, db, conn
pageTitle = "数据字典（VBScript 页面）"
Set db = Server.CreateObject("Mirelda.Database")
Set conn = OpenSiteDatabase(db)

' The number of columns the dictionary describes for the table registered under id.
Function FieldCount(id)
  FieldCount = ReadValue(conn, "select COUNT(*) from FieldReference where tabID=" & CLng(id))
End Function
%>
<!-- #include virtual="/vbs/inc/top.inc" -->
<p>这一页和<a href="/vbs/install.asp">安装报告</a>是用 VBScript 写成的页面，
和站点的 JavaScript 页面使用同样的组件、同样的数据库。</p>
<p>数据库：<%= Html(DatabaseDescription()) %>，<% If conn Is Nothing Then %>尚未安装。<% Else %>已安装。<% End If %></p>
<%
If conn Is Nothing Then
%>
<p class="message note">站点尚未安装：请先打开<a href="/install.asp">安装页面</a>，建立数据库和数据表。</p>
<%
ElseIf Not db.TableExists("TableReference") Then
%>
<p class="message note">数据库里还没有数据字典：请打开<a href="/vbs/install.asp">安装报告</a>建立它。</p>
<%
Else
  Dim rs, tables, row
  Set tables = New HtmlTable
  tables.Id = "tables"
  tables.Heads = Array("编号", "代码", "名称", "类型", "字段标签")
  Set rs = Server.CreateObject("ADODB.RecordSet")
  rs.Open "select id,tableCode,tableName,tableType from TableReference order by id", conn, 3
  Do Until rs.EOF
    row = Array(rs("id"), rs("tableCode"), rs("tableName"), rs("tableType"), FieldCount(rs("id")))
    tables.AddRow row
    rs.MoveNext
  Loop
  rs.Close
%>
<h2>数据字典登记的数据表（<%= tables.Count %> 个）</h2>
<%= tables.Render() %>
<%
  If db.TableExists("news") Then
    Dim news, field, heads
    Set news = New HtmlTable
    news.Id = "news"
    Set rs = Server.CreateObject("ADODB.RecordSet")
    rs.Open "select top 5 newsTitle,newsAuthor,newsTime from news order by newsID desc", conn, 3
    heads = ""
    For Each field In rs.Fields
      If heads <> "" Then heads = heads & vbTab
      heads = heads & field.Name
    Next
    news.Heads = Split(heads, vbTab)
    While Not rs.EOF
      news.AddRow Array(rs("newsTitle"), rs("newsAuthor"), rs("newsTime"))
      rs.MoveNext
    Wend
    rs.Close
%>
<h2>最新新闻</h2>
<% If news.Count = 0 Then %>
<p class="muted">还没有新闻。</p>
<% Else %>
<%= news.Render() %>
<% End If %>
<%
  End If
End If
If Not conn Is Nothing Then conn.Close
%>
<!-- #include virtual="/inc/bottom.inc" -->

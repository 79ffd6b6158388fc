<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
var pageTitle = "上传文件";
// The form's fields and files, by the names the form gives them.
var FIELDS = [["title", "标题"], ["备注", "备注"]];
var FILES = [["file1", "文件一"], ["file2", "文件二"]];
var allowed = IsAdmin() || IsPerson();
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (!allowed) {
  Response.Write("<p class=\"message note\">上传前请先<a href=\"/logon.asp\">登录</a>" +
                 "（或<a href=\"/admin/logon.asp\">以管理员登录</a>）。</p>");
} else if (IsPost()) {
  // The upload component reads the whole body itself: nothing here reads Request.Form first.
  var fso = Server.CreateObject("Scripting.FileSystemObject");
  if (!fso.FolderExists(DATA_FOLDER)) fso.CreateFolder(DATA_FOLDER);
  if (!fso.FolderExists(UPLOAD_FOLDER)) fso.CreateFolder(UPLOAD_FOLDER);
  var upload = Server.CreateObject("Mirelda.FileSystem");
  var message = Text(upload.Upload(UPLOAD_LIMIT_BYTES, UPLOAD_FOLDER, 1));
  var ok = message === "OK";
%>
<p class="message <%= ok ? "ok" : "error" %>" id="upload-message">上传结果：<%= Html(message) %></p>
<p>表单共有 <span id="part-count"><%= Html(upload.count) %></span> 个部分。</p>
<table class="grid" id="parts">
<tr><th>名称</th><th>类型</th><th>文件名</th><th>大小（字节）</th><th>内容</th></tr>
<%
  for (var i = 0; i < FIELDS.length; i++) {
    Response.Write("<tr><td>" + Html(FIELDS[i][0]) + "</td><td>字段</td><td></td><td class=\"number\">" +
                   Html(upload.Size(FIELDS[i][0])) + "</td><td>" + Html(upload.Form(FIELDS[i][0])) +
                   "</td></tr>");
  }
  for (var j = 0; j < FILES.length; j++) {
    var name = FILES[j][0];
    var fileName = Text(upload.FileName(name));
    var size = Number(upload.Size(name));
    var note = !fileName ? "（没有选择文件）"
             : size > UPLOAD_LIMIT_BYTES ? "超出 " + UPLOAD_LIMIT_BYTES + " 字节的上限，没有保存"
             : "保存在 " + UPLOAD_FOLDER;
    Response.Write("<tr><td>" + Html(name) + "</td><td>文件</td><td>" + Html(fileName) +
                   "</td><td class=\"number\">" + Html(size) + "</td><td>" + Html(note) + "</td></tr>");
  }
%>
</table>
<p><a href="upload.asp">再上传一次</a></p>
<%
} else {
%>
<p>表单字段和文件一起以 multipart/form-data 上传。文件保存到数据盘的 <code><%= Html(UPLOAD_FOLDER) %></code>，
每个文件最多 <%= Html(UPLOAD_LIMIT_BYTES) %> 字节；同名的文件不会被覆盖。</p>
<form class="plain" method="post" action="upload.asp" enctype="multipart/form-data">
<%
  for (var f = 0; f < FIELDS.length; f++) {
    Response.Write("<label for=\"field" + f + "\">" + Html(FIELDS[f][1]) + "</label>" +
                   "<input type=\"text\" id=\"field" + f + "\" name=\"" + Html(FIELDS[f][0]) + "\">");
  }
  for (var g = 0; g < FILES.length; g++) {
    Response.Write("<label for=\"" + Html(FILES[g][0]) + "\">" + Html(FILES[g][1]) + "</label>" +
                   "<input type=\"file\" id=\"" + Html(FILES[g][0]) + "\" name=\"" + Html(FILES[g][0]) + "\">");
  }
%>
<div><button type="submit">上传</button></div>
</form>
<% } %>
<!-- #include virtual="/inc/bottom.inc" -->

<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
var pageTitle = "上传文件";
// The form's fields, by the names the form gives them. Files are posted as file1, file2, ...
// (the component finds only the first part of a name, so each file has a name of its own).
var FIELDS = [["title", "标题"], ["备注", "备注"]];
var FILE_INPUTS = 3;
var allowed = IsAdmin() || IsPerson();

// A size in words: bytes up to 1 KB, then KB, then MB.
function SizeText(bytes) {
  if (bytes < 1024) return bytes + " 字节";
  if (bytes < 1048576) return (Math.round(bytes / 102.4) / 10) + " KB";
  return (Math.round(bytes / 104857.6) / 10) + " MB";
}
// The upload component reads the whole body itself, so the token comes in the address.
if (allowed) CheckPost(Request.QueryString("token"));
%>
<!-- #include virtual="/inc/top.inc" -->
<%
if (!allowed) {
  Response.Write("<p class=\"message note\">上传前请先<a href=\"/logon.asp\">登录</a>" +
                 "（或<a href=\"/admin/logon.asp\">以管理员登录</a>）。</p>");
} else if (IsPost()) {
  var fso = Server.CreateObject("Scripting.FileSystemObject");
  if (!fso.FolderExists(DATA_FOLDER)) fso.CreateFolder(DATA_FOLDER);
  if (!fso.FolderExists(UPLOAD_FOLDER)) fso.CreateFolder(UPLOAD_FOLDER);
  var upload = Server.CreateObject("Mirelda.FileSystem");
  // The page's script sends its form as FormData, which is always UTF-8; a form posted without
  // it comes in the page's own code page.
  var pageCodePage = Session.CodePage;
  if (Text(Request.QueryString("utf8")) === "1") Session.CodePage = 65001;
  var message;
  try {
    message = Text(upload.Upload(UPLOAD_LIMIT_BYTES, UPLOAD_FOLDER, 1));
  } finally {
    Session.CodePage = pageCodePage;
  }
  var ok = message === "OK";
  var parts = Number(upload.count);
%>
<div id="upload-result">
<p class="message <%= ok ? "ok" : "error" %>" id="upload-message">上传结果：<%= Html(message) %></p>
<p>表单共有 <span id="part-count"><%= Html(parts) %></span> 个部分。</p>
<table class="grid" id="parts">
<tr><th>名称</th><th>类型</th><th>文件名</th><th>大小</th><th>内容</th></tr>
<%
  for (var i = 0; i < FIELDS.length; i++) {
    Response.Write("<tr><td>" + Html(FIELDS[i][0]) + "</td><td>字段</td><td></td><td class=\"number\">" +
                   Html(upload.Size(FIELDS[i][0])) + " 字节</td><td>" + Html(upload.Form(FIELDS[i][0])) +
                   "</td></tr>");
  }
  // Every part is at most one file, so file1 ... fileN with N the part count reach them all.
  for (var j = 1; j <= parts; j++) {
    var name = "file" + j;
    var fileName = Text(upload.FileName(name));
    if (!fileName) continue;
    var size = Number(upload.Size(name));
    var note = size > UPLOAD_LIMIT_BYTES ? "超出 " + SizeText(UPLOAD_LIMIT_BYTES) + " 的上限，没有保存"
             : ok ? "保存在 " + UPLOAD_FOLDER : "没有保存";
    Response.Write("<tr class=\"file\"><td>" + Html(name) + "</td><td>文件</td><td>" + Html(fileName) +
                   "</td><td class=\"number\" data-bytes=\"" + size + "\">" + Html(SizeText(size)) +
                   "</td><td>" + Html(note) + "</td></tr>");
  }
%>
</table>
<p><a href="upload.asp">再上传一次</a></p>
</div>
<%
} else {
%>
<p>表单字段和文件一起以 multipart/form-data 上传。文件保存到数据盘的 <code><%= Html(UPLOAD_FOLDER) %></code>，
每个文件最多 <strong id="limit"><%= Html(SizeText(UPLOAD_LIMIT_BYTES)) %></strong>；同名的文件不会被覆盖。
一次可以选择多个文件。</p>
<form class="plain" id="upload-form" method="post" action="upload.asp?token=<%= Server.URLEncode(SessionToken()) %>" enctype="multipart/form-data">
<%
  for (var f = 0; f < FIELDS.length; f++) {
    Response.Write("<label for=\"field" + f + "\">" + Html(FIELDS[f][1]) + "</label>" +
                   "<input type=\"text\" id=\"field" + f + "\" name=\"" + Html(FIELDS[f][0]) + "\">");
  }
  for (var g = 1; g <= FILE_INPUTS; g++) {
    Response.Write("<label for=\"file" + g + "\">文件" + (g === 1 ? "（可多选）" : g) + "</label>" +
                   "<input type=\"file\" id=\"file" + g + "\" name=\"file" + g + "\"" + (g === 1 ? " multiple" : "") + ">");
  }
%>
<div><button type="submit">上传</button></div>
<progress id="progress" max="100" value="0" hidden></progress>
<p id="progress-text" class="muted" hidden></p>
</form>
<div id="upload-answer"></div>
<script>
// With a script the form is sent by XMLHttpRequest, so that a bar shows how much has gone; each
// chosen file gets a name of its own (file1, file2, ...), and the answer's result table takes
// the form's place. Without one the form posts as it stands.
(function () {
  var form = document.getElementById("upload-form");
  form.addEventListener("submit", function (event) {
    event.preventDefault();
    var data = new FormData();
    var fields = form.querySelectorAll("input[type=text]");
    for (var i = 0; i < fields.length; i++) data.append(fields[i].name, fields[i].value);
    var n = 0;
    var inputs = form.querySelectorAll("input[type=file]");
    for (var k = 0; k < inputs.length; k++) {
      for (var m = 0; m < inputs[k].files.length; m++) data.append("file" + (++n), inputs[k].files[m]);
    }
    var bar = document.getElementById("progress");
    var words = document.getElementById("progress-text");
    bar.hidden = false;
    words.hidden = false;
    var request = new XMLHttpRequest();
    request.upload.addEventListener("progress", function (e) {
      if (!e.lengthComputable) return;
      bar.value = Math.floor(e.loaded * 100 / e.total);
      words.textContent = "已发送 " + Math.floor(e.loaded / 1024) + " KB / " + Math.floor(e.total / 1024) + " KB";
    });
    request.addEventListener("load", function () {
      var answer = new DOMParser().parseFromString(request.responseText, "text/html");
      var result = answer.getElementById("upload-result") || answer.getElementById("refused");
      form.hidden = true;
      document.getElementById("upload-answer").replaceChildren(
          result ? document.importNode(result, true) : document.createTextNode("上传失败（" + request.status + "）"));
    });
    request.addEventListener("error", function () {
      words.textContent = "上传没有完成：连接中断。";
    });
    request.open("POST", form.action + "&utf8=1");
    request.send(data);
  });
})();
</script>
<% } %>
<!-- #include virtual="/inc/bottom.inc" -->

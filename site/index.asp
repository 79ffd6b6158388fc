<%@ LANGUAGE="JavaScript" %>
<!DOCTYPE html>
<html>
<head><title>Mirelda</title></head>
<body>
<h1>Mirelda page host</h1>
<p>The components, created by ProgID through Server.CreateObject:</p>
<table border="1" cellpadding="4">
<tr><th>ProgID</th><th>Object</th></tr>
<%
var progIds = ["Mirelda.Database", "Mirelda.FileSystem", "Mirelda.WebPage"];
for (var i = 0; i < progIds.length; i++) {
  var shown;
  try {
    shown = String(Server.CreateObject(progIds[i]));
  } catch (e) {
    shown = "error " + e.number + ": " + e.description;
  }
%>
<tr><td><%= progIds[i] %></td><td><%= Server.HTMLEncode(shown) %></td></tr>
<% } %>
</table>
<%
Session.Contents["visits"] = (Session("visits") || 0) + 1;
%>
<p>Visits to this page in this session: <%= Session("visits") %></p>
<p>Page: <%= Request.ServerVariables("SCRIPT_NAME") %>, site folder: <%= Server.MapPath("/") %>,
code page <%= Session.CodePage %> (中文 text is sent in it).</p>
</body>
</html>

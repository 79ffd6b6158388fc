<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
// Logging off is a POST of the header's button; a plain visit only offers the button, so a
// link on another site cannot log anyone off.
NoStore();
if (IsPost()) {
  CheckPost();
  LogOffAdmin();
  Response.Redirect("/");
  Response.End();
}
var pageTitle = "退出管理";
%>
<!-- #include virtual="/inc/top.inc" -->
<form class="plain" method="post" action="/admin/logout.asp"><%= TokenField() %>
<button type="submit">退出管理</button></form>
<!-- #include virtual="/inc/bottom.inc" -->

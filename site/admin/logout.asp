<%@ LANGUAGE="JavaScript" %>
<%
Session.Remove("adminID");
Session.Remove("adminName");
Response.Redirect("/");
%>

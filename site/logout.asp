<%@ LANGUAGE="JavaScript" %>
<%
Session.Remove("personID");
Session.Remove("personName");
Response.Redirect("/");
%>

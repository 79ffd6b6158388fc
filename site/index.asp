<%@ LANGUAGE="JavaScript" %>
<!-- #include virtual="/inc/common.inc" -->
<%
var pageTitle = "首页";
var conn = OpenSiteDatabase();
%>
<!-- #include virtual="/inc/top.inc" -->
<p>这个站点演示 Mirelda 的三个服务器组件：<code>Mirelda.Database</code> 建立数据库、数据字典和数据表，
<code>Mirelda.WebPage</code> 生成添加表单并处理登录，<code>Mirelda.FileSystem</code> 接收上传的表单和文件。</p>
<p>数据库：<%= Html(DatabaseDescription()) %>，<%= conn ? "已安装" : "尚未安装" %>。</p>
<% if (!conn) Response.Write(NotInstalledNote()); %>
<h2>一次完整的使用过程</h2>
<ol class="steps">
<li><a href="/install.asp">安装</a>：建立数据库文件、数据字典、管理员账号、管理菜单和应用数据表。</li>
<li><a href="/admin/logon.asp">管理员登录</a>：新站点的管理员账号和初始密码写在登录页面上，直到密码被修改。</li>
<li><a href="/admin/">管理页面</a>：管理菜单、按数据字典生成的添加表单、数据库压缩。</li>
<li><a href="/logon.asp">用户登录</a>：用管理员添加的人员登录，登录会记入登录日志。</li>
<li><a href="/mainface/index.asp">我的主页</a>：当前登录的人员和他的登录日志。</li>
<li><a href="/upload.asp">上传文件</a>：表单字段和文件一起上传到数据盘。</li>
</ol>
<p>同样的组件也能在 VBScript 页面里使用：<a href="/vbs/">数据字典列表</a>和<a href="/vbs/install.asp">安装报告</a>是用 VBScript 写成的。</p>
<%
if (conn) {
  var news = ReadRows(conn, "select top 5 newsTitle,newsAuthor,newsTime from news order by newsID desc");
  if (news.rows.length > 0) {
%>
<h2>最新新闻</h2>
<ul class="plain">
<%
    for (var i = 0; i < news.rows.length; i++) {
      var n = news.rows[i];
      Response.Write("<li>" + Html(n[0]) + " <span class=\"muted\">" + Html(n[1]) + " " +
                     Html(Show(n[2])) + "</span></li>");
    }
%>
</ul>
<%
  }
  conn.Close();
}
%>
<!-- #include virtual="/inc/bottom.inc" -->

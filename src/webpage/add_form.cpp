// AddPage: an add form for any table, one Response.Write per fragment. Text from the caller and
// the database is escaped for where it stands; ordinary names come out unchanged.
#include "mirelda/data.h"
#include "mirelda/text.h"
#include "webpage/markup.h"
#include "webpage/web_page.h"

namespace mirelda::webpage {

void WebPage::AddPage(const std::string& table, const std::string& SubmitFile,
                      const std::string& FormEnctype, const std::string& titleCssName,
                      const std::string& tableCssName, const std::string& /*remarkCssName*/) {
  if (titleCssName.empty()) {
    Write("<div align=\"center\">添加数据</div>");
  } else {
    Write("<div align=\"center\" class=\"" + text::EscapeHtml(titleCssName) + "\">添加数据</div>");
  }
  std::string target = SubmitFile.empty() ? AppName().ToText() : SubmitFile;
  Write("<form name=\"frmAdd\" action=\"" + text::EscapeHtml(target) +
        "?table=" + text::EscapeHtml(EscapeQueryValue(table)) + "&action=add\" method=\"post\"");
  if (FormEnctype.empty()) {
    Write(">");
  } else {
    Write(" enctype=\"" + text::EscapeHtml(FormEnctype) + "\">");
  }

  auto rs = std::dynamic_pointer_cast<RecordSet>(Create("ADODB.RecordSet"));
  if (!rs) throw Error(errc::kTypeMismatch, "ADODB.RecordSet is no record set");
  rs->Open(Variant("select * from " + table), Variant(objConn), -1, -1, -1);

  if (tableCssName.empty()) {
    Write("<table width=\"100%\">");
  } else {
    Write("<table class=\"" + text::EscapeHtml(tableCssName) + "\">");
  }
  std::shared_ptr<Fields> fields = rs->GetFields();
  const int32_t count = fields->Count();
  for (int32_t i = 0; i < count; ++i) {
    std::shared_ptr<Field> field = fields->Item(Variant(i));
    Variant automatic = field->GetProperties()->Item(Variant("ISAUTOINCREMENT"))->Value();
    if (!Equals(automatic, Variant(false))) continue;
    const std::string column = field->Name();
    Write("<tr>");
    Write("<td nowrap>" + text::EscapeHtml(CodeToName(Variant(table), Variant(column)).ToText()) +
          "</td>");
    Write("<td nowrap>");
    Write(InputFor(table, column));
    Write("</td>");
    Write("</tr>");
  }
  rs->Close();

  Write("</table>");
  Write("<div align=\"center\">");
  Write(
      "<input name=\"Submit\" type=\"submit\" value=\"添加\">&nbsp;<input name=\"Reset\" "
      "type=\"reset\" value=\"重添\">");
  Write("</div>");
  Write("</form>");
}

}  // namespace mirelda::webpage

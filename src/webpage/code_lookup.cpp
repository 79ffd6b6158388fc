// CodeToName and AppName: a column's display label from the dictionary, and the running script's
// file name.
#include "mirelda/data.h"
#include "mirelda/text.h"
#include "webpage/markup.h"
#include "webpage/web_page.h"

namespace mirelda::webpage {

Variant WebPage::CodeToName(Variant table, Variant code) {
  auto rs = std::dynamic_pointer_cast<RecordSet>(Create("ADODB.RecordSet"));
  if (!rs) throw Error(errc::kTypeMismatch, "ADODB.RecordSet is no record set");
  // From here on a failing step is skipped; the caller sees only the result.
  ResumeNext trap;
  if (table.is_empty()) return code;
  Variant result = code;
  bool opened = trap.Step([&] {
    rs->Open(Variant("select FieldName from " + FieldsTable() + " where tabID in (select id from " +
                     TablesTable() + " where tableCode='" + QuotedText(table) +
                     "') and FieldCode='" + QuotedText(code) + "'"),
             Variant(objConn), -1, -1, -1);
  });
  if (opened) {
    trap.Step([&] {
      if (!rs->IsEOF()) {
        Variant label = rs->FieldValue(Variant("FieldName"));
        result = label.is_null() ? label : Variant(text::Trim(label.ToText()));
      }
    });
  }
  trap.Step([&] { rs->Close(); });
  return result;
}

Variant WebPage::AppName() {
  std::string script = RequireRequest().ServerVariables("SCRIPT_NAME").ToText();
  size_t slash = script.rfind('/');
  return Variant(slash == std::string::npos ? script : script.substr(slash + 1));
}

}  // namespace mirelda::webpage

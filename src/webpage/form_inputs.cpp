// The input element of each add-form row, chosen by the input style that the dictionary records
// for the column. Any failure to read the dictionary gives a plain text input: the form is still
// usable.
#include <optional>
#include <vector>

#include "mirelda/data.h"
#include "mirelda/text.h"
#include "webpage/markup.h"
#include "webpage/web_page.h"

namespace mirelda::webpage {
namespace {

using Rows = std::vector<std::vector<Variant>>;

// A name read from the dictionary that will stand bare in a statement.
bool IsIdentifier(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::string Option(const Variant& value, const Variant& label) {
  return "<option value=\"" + text::EscapeHtml(value.ToText()) + "\">" +
         text::EscapeHtml(label.ToText()) + "</option>";
}

std::string Select(const std::string& name, const std::string& options) {
  return "<select name=\"" + name + "\">" + options + "</select>";
}

}  // namespace

std::string WebPage::InputFor(const std::string& table, const std::string& column) {
  const std::string name = text::EscapeHtml(column);
  auto rows = [&](const std::string& query) {
    Rows out;
    ResumeNext trap;
    auto rs = std::dynamic_pointer_cast<RecordSet>(Create("ADODB.RecordSet"));
    if (!rs) return out;
    bool ok = trap.Step([&] {
      rs->Open(Variant(query), Variant(objConn), -1, -1, -1);
      std::shared_ptr<Fields> fields = rs->GetFields();
      const int32_t count = fields->Count();
      for (; !rs->IsEOF(); rs->MoveNext()) {
        std::vector<Variant> row;
        for (int32_t i = 0; i < count; ++i) row.push_back(fields->Item(Variant(i))->Value());
        out.push_back(std::move(row));
      }
    });
    trap.Step([&] { rs->Close(); });
    if (!ok) out.clear();
    return out;
  };
  auto first = [&](const std::string& query) -> std::optional<Variant> {
    Rows r = rows(query);
    if (r.empty() || r[0].empty() || r[0][0].is_null()) return std::nullopt;
    return r[0][0];
  };

  Rows described =
      rows("select id,addStyle from " + FieldsTable() + " where tabID in (select id from " +
           TablesTable() + " where tableCode='" + QuotedText(Variant(table)) +
           "') and fieldCode='" + QuotedText(Variant(column)) + "'");
  std::string style = described.empty() ? "" : described[0][1].ToText();
  std::string id;
  if (!described.empty()) {
    try {
      id = BareNumber(described[0][0]);
    } catch (const Error&) {
      style.clear();  // a dictionary row without a usable id describes nothing
    }
  }

  if (style == "11") return "<textarea name=\"" + name + "\"></textarea>";
  if (style == "7") return "<input type=\"password\" name=\"" + name + "\">";
  if (style == "4") return "<input type=\"datetime-local\" name=\"" + name + "\">";
  if (style == "5") return "<input type=\"checkbox\" name=\"" + name + "\" value=\"1\">";
  if (style == "6") return "<input type=\"file\" name=\"" + name + "\">";
  if (style == "03") {
    std::string options;
    for (const char* target : {"_self", "_blank", "_parent", "_top"}) {
      options += Option(Variant(target), Variant(target));
    }
    return Select(name, options);
  }
  if (style == "3") {
    std::string options;
    for (const auto& row : rows("select code,codeValue from " + EnumerationTable() +
                                " where mateID=" + id + " order by id")) {
      options += Option(row[0], row[1]);
    }
    return Select(name, options);
  }
  if (style == "2") {
    Rows index = rows("select objTable,objCode,objName from " + IndexesTable() +
                      " where mateID=" + id + " order by id");
    std::optional<Variant> target, code, label;
    if (!index.empty()) {
      try {
        target = first("select tableCode from " + TablesTable() +
                       " where id=" + BareNumber(index[0][0]));
        code = first("select fieldCode from " + FieldsTable() +
                     " where id=" + BareNumber(index[0][1]));
        label = first("select fieldCode from " + FieldsTable() +
                      " where id=" + BareNumber(index[0][2]));
      } catch (const Error&) {
        target.reset();
      }
    }
    if (target && code && label && IsIdentifier(target->ToText()) && IsIdentifier(code->ToText()) &&
        IsIdentifier(label->ToText())) {
      std::string options;
      for (const auto& row :
           rows("select " + code->ToText() + "," + label->ToText() + " from " + target->ToText())) {
        options += Option(row[0], row[1]);
      }
      return Select(name, options);
    }
    return "<input type=\"number\" name=\"" + name + "\">";
  }
  return "<input type=\"text\" name=\"" + name + "\">";
}

}  // namespace mirelda::webpage

#include "data/jet_dialect.h"

#include <cstdio>
#include <optional>

#include "data/dialect_rewrites.h"
#include "data/sql_edits.h"
#include "data/sql_statement.h"
#include "data/table_definition.h"
#include "mirelda/text.h"
#include "mirelda/variant.h"

namespace mirelda::data {
namespace {

bool IsAutoNumber(const std::optional<TypeName>& type) {
  return type &&
         (type->name == "autoincrement" || type->name == "counter" || type->name == "identity");
}

struct SqliteType {
  std::string text;
  bool is_text = false;
};

// The SQLite declaration of a Jet type; nothing for types SQLite takes as they are. The declared
// names are the ones the record set reads the field types back from.
std::optional<SqliteType> MapType(const TypeName& type) {
  const std::string& n = type.name;
  auto sized = [&](const char* base, int fallback) {
    return std::string(base) + "(" + (type.size.empty() ? std::to_string(fallback) : type.size[0]) +
           ")";
  };
  if (n == "text" || n == "char" || n == "character" || n == "varchar" || n == "string" ||
      n == "alphanumeric" || n == "nchar" || n == "nvarchar" || n.starts_with("national ") ||
      n == "char varying" || n == "character varying") {
    return SqliteType{sized("VARCHAR", 255), true};
  }
  if (n == "memo" || n == "longtext" || n == "longchar" || n == "note" || n == "ntext" ||
      n == "long text" || n == "long varchar" || n == "hyperlink") {
    return SqliteType{"TEXT", true};
  }
  if (n == "datetime" || n == "date" || n == "time" || n == "timestamp" || n == "smalldatetime") {
    return SqliteType{"DATETIME"};
  }
  // "INT", not "INTEGER": an INTEGER primary key would be SQLite's rowid, which numbers itself
  // when a row leaves it out instead of refusing the row as Jet does.
  if (n == "int" || n == "integer" || n == "long" || n == "integer4" || n == "int4") {
    return SqliteType{"INT"};
  }
  if (n == "smallint" || n == "short" || n == "integer2" || n == "int2")
    return SqliteType{"SMALLINT"};
  if (n == "byte" || n == "tinyint" || n == "integer1") return SqliteType{"TINYINT"};
  if (n == "single" || n == "real" || n == "float4" || n == "ieeesingle") return SqliteType{"REAL"};
  if (n == "double" || n == "float" || n == "float8" || n == "number" || n == "ieeedouble" ||
      n == "double precision") {
    return SqliteType{"DOUBLE"};
  }
  if (n == "currency" || n == "money") return SqliteType{"CURRENCY"};
  if (n == "bit" || n == "yesno" || n == "logical" || n == "logical1" || n == "boolean") {
    return SqliteType{"BOOLEAN"};
  }
  if (n == "binary" || n == "varbinary" || n == "image" || n == "longbinary" ||
      n == "long binary" || n == "long varbinary" || n == "general" || n == "oleobject") {
    return SqliteType{"BLOB"};
  }
  return std::nullopt;
}

void TranslateColumn(const Statement& st, const ColumnDefinition& column, bool auto_key,
                     SqlEdits& edits) {
  const std::vector<Token>& t = st.tokens;
  if (!column.type) return;
  const TypeName& type = *column.type;
  size_t type_begin = t[type.first].begin;
  size_t type_end = t[type.last - 1].end;
  if (IsAutoNumber(column.type)) {
    edits.Replace(type_begin, type_end, auto_key ? "INTEGER PRIMARY KEY AUTOINCREMENT" : "INT");
  } else if (std::optional<SqliteType> mapped = MapType(type)) {
    std::string replacement = mapped->text;
    if (mapped->is_text && !column.has_collate) replacement += " COLLATE NOCASE";
    edits.Replace(type_begin, type_end, replacement);
  }
}

void TranslateCreateTable(const Statement& st, const CreateTable& table, SqlEdits& edits) {
  const std::vector<Token>& t = st.tokens;
  // The first auto-number column becomes the table's rowid key; any other primary key then
  // survives as a unique constraint, since a table has one primary key.
  const TableItem* auto_item = nullptr;
  for (const TableItem& item : table.items) {
    if (item.kind == TableItem::Kind::kColumn && IsAutoNumber(item.column.type)) {
      auto_item = &item;
      break;
    }
  }
  for (const TableItem& item : table.items) {
    if (item.kind == TableItem::Kind::kColumn) {
      TranslateColumn(st, item.column, &item == auto_item, edits);
      size_t pk = item.column.primary_key;
      if (auto_item && pk != kNone) {
        edits.Replace(t[pk].begin, t[pk + 1].end, &item == auto_item ? "" : "UNIQUE");
      }
    } else if (item.kind == TableItem::Kind::kPrimaryKey && auto_item) {
      const std::string auto_name = t[auto_item->column.name].Name();
      if (item.columns.size() == 1 && text::EqualsIgnoreCase(item.columns[0], auto_name)) {
        RemoveItem(st, item, edits);
      } else {
        edits.Replace(t[item.keyword].begin, t[item.keyword + 1].end, "UNIQUE");
      }
    }
  }
  AddForeignKeyKeywords(st, table, edits);
}

int TwoDigitYear(int y) { return y < 30 ? 2000 + y : 1900 + y; }

// Jet reads #m/d/yyyy [h:mm[:ss] [AM|PM]]# (or year first) as a date.
std::optional<std::string> DateLiteral(std::string_view inner) {
  std::string s = text::Trim(inner);
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  size_t i = 0;
  int count = 0;
  for (; count < 3; ++count) {
    if (count > 0) {
      if (i >= s.size() || (s[i] != '/' && s[i] != '-')) break;
      ++i;
    }
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && digits[count] < 4) {
      parts[count] = parts[count] * 10 + (s[i++] - '0');
      ++digits[count];
    }
    if (digits[count] == 0) break;
  }
  if (count != 3) return std::nullopt;
  int y, m, d;
  if (digits[0] == 4) {
    y = parts[0], m = parts[1], d = parts[2];
  } else {
    m = parts[0], d = parts[1], y = digits[2] <= 2 ? TwoDigitYear(parts[2]) : parts[2];
  }
  std::string time = text::Trim(std::string_view(s).substr(i));
  int h = 0, mi = 0, sec = 0;
  bool has_time = !time.empty();
  if (has_time) {
    std::string upper = text::ToUpperAscii(time);
    int shift = -1;
    if (upper.ends_with("AM") || upper.ends_with("PM")) {
      shift = upper.ends_with("PM") ? 12 : 0;
      time = text::Trim(std::string_view(time).substr(0, time.size() - 2));
    }
    Date clock;
    if (!ParseDate(time, &clock) || clock.serial >= 1 || clock.serial < 0) return std::nullopt;
    int seconds = static_cast<int>(clock.serial * 86400 + 0.5);
    h = seconds / 3600, mi = seconds / 60 % 60, sec = seconds % 60;
    if (shift >= 0) {
      if (h < 1 || h > 12) return std::nullopt;
      h = h % 12 + shift;
    }
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, h, mi, sec);
  std::string iso = has_time ? buffer : std::string(buffer, 10);
  Date check;
  if (!ParseDate(iso, &check)) return std::nullopt;
  return iso;
}

}  // namespace

std::string TranslateJet(std::string_view text) {
  Statement st = ParseStatement(text, Dialect::kJet);
  const std::vector<Token>& t = st.tokens;
  SqlEdits edits(text);
  for (size_t i = 0; i < t.size(); ++i) {
    const Token& tok = t[i];
    if (tok.kind == TokenKind::kString && tok.text[0] == '"') {
      edits.Replace(tok.begin, tok.end, QuoteString(tok.StringValue()));
    } else if (tok.kind == TokenKind::kHashLiteral) {
      if (auto iso = DateLiteral(tok.text.substr(1, tok.text.size() - 2))) {
        edits.Replace(tok.begin, tok.end, QuoteString(*iso));
      }
    } else if (tok.IsSymbol("&")) {
      edits.Replace(tok.begin, tok.end, "||");
    } else if (tok.Is("NOW") && i + 2 < t.size() && t[i + 1].IsSymbol("(") &&
               t[i + 2].IsSymbol(")") && (i == 0 || !t[i - 1].IsSymbol("."))) {
      edits.Replace(tok.begin, t[i + 2].end, "datetime('now','localtime')");
    }
  }
  if (auto table = ParseCreateTable(t)) {
    TranslateCreateTable(st, *table, edits);
  } else if (auto add = ParseAddColumn(t)) {
    TranslateColumn(st, add->column, false, edits);
  }
  RewriteTop(st, edits);
  return edits.empty() ? std::string(text) : edits.Apply();
}

}  // namespace mirelda::data

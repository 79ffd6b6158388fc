#include "data/server_dialect.h"

#include <optional>

#include "data/dialect_rewrites.h"
#include "data/sql_edits.h"
#include "data/sql_statement.h"
#include "data/table_definition.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

constexpr std::string_view kSysDatabases =
    "(SELECT datname::text AS name, oid::integer AS dbid FROM pg_database WHERE datallowconn)";

// PostgreSQL folds unquoted names to lower case; quoted names are folded here the same way, as
// the replaced server does not tell them apart by case.
std::string PgIdentifier(const Token& token) {
  if (token.kind != TokenKind::kQuoted) return std::string(token.text);
  std::string out = "\"";
  for (char c : text::ToLowerAscii(token.Name())) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

bool IsDbo(const std::vector<Token>& t, size_t i) {
  return i + 1 < t.size() && t[i].IsIdentifier() && text::EqualsIgnoreCase(t[i].Name(), "dbo") &&
         t[i + 1].IsSymbol(".");
}

// The end of a dotted name starting at i ("master..sysdatabases" included).
size_t ChainEnd(const std::vector<Token>& t, size_t i) {
  size_t end = i + 1;
  while (end + 1 < t.size() && t[end].IsSymbol(".")) {
    size_t next = end + 1;
    if (t[next].IsSymbol(".") && next + 1 < t.size()) ++next;
    if (!t[next].IsIdentifier()) break;
    end = next + 1;
  }
  return end;
}

// The table name as PostgreSQL resolves it, for statements that refer to it again.
std::string PgTableName(const std::vector<Token>& t, size_t first, size_t last) {
  std::string out;
  if (IsDbo(t, first)) first += 2;
  for (size_t i = first; i < last; ++i)
    out += t[i].IsIdentifier() ? PgIdentifier(t[i]) : std::string(t[i].text);
  return out;
}

bool IsAutoNumber(const std::optional<TypeName>& type) {
  return type &&
         (type->name == "autoincrement" || type->name == "counter" || type->name == "identity");
}

std::string Identity(const std::vector<std::string>& seed_and_step) {
  std::string out = "GENERATED ALWAYS AS IDENTITY";
  if (seed_and_step.size() == 2) {
    out += " (START WITH " + seed_and_step[0] + " INCREMENT BY " + seed_and_step[1] + ")";
  }
  return out;
}

struct PgType {
  std::string text;
  bool is_text = false;
};

std::optional<PgType> MapType(const TypeName& type) {
  const std::string& n = type.name;
  const std::string size = type.size.empty() ? "" : type.size[0];
  const bool max = text::EqualsIgnoreCase(size, "max");
  // Fixed-width text is stored without padding, as Jet stores it: a value reads back as written.
  if (n == "char" || n == "character" || n == "nchar" || n == "varchar" || n == "nvarchar" ||
      n == "char varying" || n == "character varying" || n == "string" || n == "alphanumeric" ||
      n.starts_with("national ") || (n == "text" && !size.empty() && !max)) {
    return PgType{max ? "text" : "varchar(" + (size.empty() ? "255" : size) + ")", true};
  }
  if (n == "text" || n == "ntext" || n == "memo" || n == "longtext" || n == "longchar" ||
      n == "note" || n == "long text" || n == "long varchar") {
    return PgType{"text", true};
  }
  if (n == "datetime" || n == "smalldatetime" || n == "datetime2" || n == "timestamp") {
    return PgType{"timestamp(0)"};
  }
  if (n == "int" || n == "integer" || n == "long" || n == "int4" || n == "integer4") {
    return PgType{"integer"};
  }
  if (n == "smallint" || n == "short" || n == "tinyint" || n == "byte" || n == "int2" ||
      n == "integer2" || n == "bit" || n == "yesno" || n == "logical" || n == "boolean") {
    return PgType{"smallint"};
  }
  if (n == "float" || n == "double" || n == "number" || n == "float8" || n == "ieeedouble") {
    return PgType{"double precision"};
  }
  if (n == "single" || n == "float4" || n == "ieeesingle") return PgType{"real"};
  if (n == "money" || n == "smallmoney" || n == "currency") return PgType{"numeric(19,4)"};
  if (n == "image" || n == "binary" || n == "varbinary" || n == "longbinary" ||
      n == "long binary" || n == "long varbinary" || n == "oleobject" || n == "general") {
    return PgType{"bytea"};
  }
  if (n == "uniqueidentifier" || n == "guid") return PgType{"uuid"};
  return std::nullopt;
}

struct ColumnResult {
  bool needs_collation = false;
};

ColumnResult TranslateColumn(const Statement& st, const ColumnDefinition& column, SqlEdits& edits) {
  const std::vector<Token>& t = st.tokens;
  ColumnResult result;
  if (!column.type) return result;
  const TypeName& type = *column.type;
  size_t begin = t[type.first].begin;
  size_t end = t[type.last - 1].end;
  if (IsAutoNumber(column.type)) {
    edits.Replace(begin, end, "integer " + Identity(type.size));
    return result;
  }
  if (std::optional<PgType> mapped = MapType(type)) {
    std::string replacement = mapped->text;
    if (mapped->is_text && !column.has_collate) {
      replacement += " COLLATE " + std::string(kCaseInsensitiveCollation);
      result.needs_collation = true;
    }
    edits.Replace(begin, end, replacement);
  }
  // "int IDENTITY(1,1)", the server's own way of writing an autoincrement column.
  for (size_t i = type.last; i < column.last; ++i) {
    if (!t[i].Is("IDENTITY")) continue;
    std::vector<std::string> seed_and_step;
    size_t last = i;
    if (i + 1 < column.last && t[i + 1].IsSymbol("(")) {
      size_t close = MatchingClose(t, i + 1);
      if (close != kNone && close < column.last) {
        for (Range part : SplitAtCommas(t, i + 2, close)) {
          std::string value;
          for (size_t k = part.begin; k < part.end; ++k) value += t[k].text;
          seed_and_step.push_back(value);
        }
        last = close;
      }
    }
    edits.Replace(t[i].begin, t[last].end, Identity(seed_and_step));
  }
  return result;
}

// COMMENT ON COLUMN statements that record the names that PostgreSQL folds.
std::string RecordNames(const Statement& st, const std::string& table,
                        const std::vector<const ColumnDefinition*>& columns) {
  std::string out;
  for (const ColumnDefinition* column : columns) {
    const Token& name = st.tokens[column->name];
    std::string written = name.Name();
    if (written == text::ToLowerAscii(written)) continue;
    out +=
        ";\nCOMMENT ON COLUMN " + table + "." + PgIdentifier(name) + " IS " + QuoteString(written);
  }
  return out;
}

std::string CollationFirst(bool needed) {
  if (!needed) return {};
  return "CREATE COLLATION IF NOT EXISTS " + std::string(kCaseInsensitiveCollation) +
         " (provider = icu, locale = 'und-u-ks-level2', deterministic = false);\n";
}

// Aliases of the first select list: "expr AS name" and "expr name"; a bare column is no alias.
std::vector<std::string> SelectAliases(const std::vector<Token>& t) {
  std::vector<std::string> aliases;
  size_t i = 0;
  while (i < t.size() && !t[i].Is("SELECT")) ++i;
  if (i == t.size()) return aliases;
  ++i;
  if (i < t.size() && (t[i].Is("DISTINCT") || t[i].Is("ALL"))) ++i;
  if (i + 1 < t.size() && t[i].Is("TOP")) i += t[i + 1].IsSymbol("(") ? 4 : 2;
  size_t end = i;
  int depth = 0;
  for (; end < t.size(); ++end) {
    if (t[end].IsSymbol("(")) ++depth;
    if (t[end].IsSymbol(")")) --depth;
    if (depth == 0 && (t[end].Is("FROM") || t[end].Is("INTO") || t[end].Is("WHERE") ||
                       t[end].Is("UNION") || t[end].Is("ORDER") || t[end].Is("GROUP"))) {
      break;
    }
  }
  if (i >= end) return aliases;
  for (Range item : SplitAtCommas(t, i, end)) {
    if (item.end < item.begin + 2 || !t[item.end - 1].IsIdentifier()) continue;
    bool bare_column = ChainEnd(t, item.begin) == item.end && t[item.begin].IsIdentifier();
    if (!bare_column && !t[item.end - 2].IsSymbol(".")) aliases.push_back(t[item.end - 1].Name());
  }
  return aliases;
}

// LIKE compares without regard to case, as the server's text does. Pattern matching refuses a
// case-insensitive collation, so the pattern names a deterministic one for the comparison.
void RewriteLike(const std::vector<Token>& t, size_t like, SqlEdits& edits) {
  size_t j = like + 1;
  if (j >= t.size()) return;
  size_t last;
  if (t[j].IsSymbol("(")) {
    last = MatchingClose(t, j);
  } else if (t[j].kind == TokenKind::kWord && j + 1 < t.size() && t[j + 1].IsSymbol("(")) {
    last = MatchingClose(t, j + 1);
  } else if (t[j].IsIdentifier()) {
    last = ChainEnd(t, j) - 1;
  } else if (t[j].kind == TokenKind::kString || t[j].kind == TokenKind::kNumber) {
    last = j;
  } else {
    return;
  }
  if (last == kNone) return;
  edits.Replace(t[like].begin, t[like].end, "ILIKE");
  edits.Insert(t[last].end, " COLLATE \"default\"");
}

}  // namespace

ServerStatement TranslateServer(std::string_view text) {
  Statement st = ParseStatement(text, Dialect::kServer);
  const std::vector<Token>& t = st.tokens;
  ServerStatement out;
  SqlEdits edits(text);
  for (size_t i = 0; i < t.size(); ++i) {
    const Token& tok = t[i];
    if (tok.IsIdentifier() && (i == 0 || !t[i - 1].IsSymbol("."))) {
      size_t end = ChainEnd(t, i);
      if (text::EqualsIgnoreCase(t[end - 1].Name(), "sysdatabases")) {
        std::string replacement(kSysDatabases);
        bool alias_follows = end < t.size() && t[end].IsIdentifier();
        if (alias_follows && t[end].kind == TokenKind::kWord) {
          for (const char* keyword :
               {"where", "order", "group", "having", "union", "join", "inner", "left", "right",
                "full", "cross", "on", "limit", "except", "intersect"}) {
            if (t[end].Is(keyword)) alias_follows = false;
          }
        }
        if (!alias_follows) replacement += " AS sysdatabases";
        edits.Replace(tok.begin, t[end - 1].end, replacement);
        i = end - 1;
        continue;
      }
      if (IsDbo(t, i)) {
        edits.Replace(tok.begin, t[i + 1].end, "");
        ++i;
        continue;
      }
    }
    if (tok.IsSymbol("?")) {
      edits.Replace(tok.begin, tok.end, "$" + std::to_string(++out.placeholders));
    } else if (tok.kind == TokenKind::kQuoted) {
      edits.Replace(tok.begin, tok.end, PgIdentifier(tok));
    } else if (tok.Is("LIKE")) {
      RewriteLike(t, i, edits);
    } else if (tok.Is("GETDATE") && i + 2 < t.size() && t[i + 1].IsSymbol("(") &&
               t[i + 2].IsSymbol(")")) {
      edits.Replace(tok.begin, t[i + 2].end, "LOCALTIMESTAMP(0)");
    }
  }

  std::string prefix, suffix;
  if (auto table = ParseCreateTable(t)) {
    bool collation = false;
    std::vector<const ColumnDefinition*> columns;
    for (const TableItem& item : table->items) {
      if (item.kind != TableItem::Kind::kColumn) continue;
      collation |= TranslateColumn(st, item.column, edits).needs_collation;
      columns.push_back(&item.column);
    }
    AddForeignKeyKeywords(st, *table, edits);
    prefix = CollationFirst(collation);
    suffix = RecordNames(st, PgTableName(t, table->name_first, table->name_last), columns);
  } else if (auto add = ParseAddColumn(t)) {
    prefix = CollationFirst(TranslateColumn(st, add->column, edits).needs_collation);
    suffix = RecordNames(st, PgTableName(t, add->name_first, add->name_last), {&add->column});
  }
  RewriteTop(st, edits);

  out.changes_schema = t[0].Is("CREATE") || t[0].Is("ALTER") || t[0].Is("DROP");
  out.aliases = SelectAliases(t);
  std::string sql = edits.empty() ? std::string(text) : edits.Apply();
  if (!prefix.empty() || !suffix.empty()) {
    // The statement's own closing ";" is dropped so that the additions follow it.
    out.sql = prefix +
              std::string(std::string_view(sql).substr(0, sql.size() - (text.size() - st.end))) +
              suffix;
    out.composite = true;
    if (out.placeholders > 0) {
      throw Error(errc::kSyntaxError, "A statement that defines a table cannot take parameters.");
    }
  } else {
    out.sql = std::move(sql);
  }
  return out;
}

}  // namespace mirelda::data

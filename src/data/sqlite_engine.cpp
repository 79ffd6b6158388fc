#include "data/sqlite_engine.h"

#include <cstring>

#include "data/jet_dialect.h"
#include "data/jet_file.h"
#include "data/sql_lexer.h"
#include "data/sql_trace.h"
#include "mirelda/path_map.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

constexpr std::string_view kEngineName = "sqlite";

// How a column's values are read, from the type its table declares.
enum class ValueKind { kPlain, kDate, kBoolean };

struct DeclaredType {
  int32_t type;
  ValueKind kind;
};

std::optional<DeclaredType> FromDeclaration(const char* declared) {
  if (!declared || !*declared) return std::nullopt;
  std::string d = text::ToUpperAscii(declared);
  auto has = [&](const char* part) { return d.find(part) != std::string::npos; };
  if (has("BOOL") || d == "BIT") return DeclaredType{field_type::kBoolean, ValueKind::kBoolean};
  if (has("DATE") || has("TIME")) return DeclaredType{field_type::kDate, ValueKind::kDate};
  if (has("INT")) {
    int32_t type = d.starts_with("SMALLINT")  ? field_type::kSmallInt
                   : d.starts_with("TINYINT") ? field_type::kUnsignedTinyInt
                   : d.starts_with("BIGINT")  ? field_type::kBigInt
                                              : field_type::kInteger;
    return DeclaredType{type, ValueKind::kPlain};
  }
  if (has("CHAR")) return DeclaredType{field_type::kVarWChar, ValueKind::kPlain};
  if (has("TEXT") || has("CLOB")) return DeclaredType{field_type::kLongVarWChar, ValueKind::kPlain};
  if (has("BLOB")) return DeclaredType{field_type::kLongVarBinary, ValueKind::kPlain};
  if (d == "REAL") return DeclaredType{field_type::kSingle, ValueKind::kPlain};
  if (has("DOUB") || has("FLOA") || has("REAL")) {
    return DeclaredType{field_type::kDouble, ValueKind::kPlain};
  }
  if (has("CURRENCY") || has("MONEY"))
    return DeclaredType{field_type::kCurrency, ValueKind::kPlain};
  if (has("DEC") || has("NUMERIC")) return DeclaredType{field_type::kNumeric, ValueKind::kPlain};
  if (has("GUID") || has("UNIQUEIDENTIFIER")) {
    return DeclaredType{field_type::kGuid, ValueKind::kPlain};
  }
  return std::nullopt;
}

int32_t TypeOfValue(int storage_class) {
  switch (storage_class) {
    case SQLITE_INTEGER:
      return field_type::kInteger;
    case SQLITE_FLOAT:
      return field_type::kDouble;
    case SQLITE_BLOB:
      return field_type::kLongVarBinary;
    default:
      return field_type::kVarWChar;
  }
}

void ReadValue(sqlite3_stmt* st, int column, ValueKind kind, CellTable& table) {
  switch (sqlite3_column_type(st, column)) {
    case SQLITE_INTEGER: {
      sqlite3_int64 v = sqlite3_column_int64(st, column);
      if (kind == ValueKind::kBoolean) {
        table.AddBoolean(v != 0);
      } else {
        table.AddInteger(v);
      }
      return;
    }
    case SQLITE_FLOAT:
      table.AddReal(sqlite3_column_double(st, column));
      return;
    case SQLITE_TEXT: {
      const char* data = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
      table.AddText(std::string_view(data, static_cast<size_t>(sqlite3_column_bytes(st, column))),
                    kind == ValueKind::kDate);
      return;
    }
    case SQLITE_BLOB: {
      const void* data = sqlite3_column_blob(st, column);
      size_t size = static_cast<size_t>(sqlite3_column_bytes(st, column));
      table.AddBytes(std::string_view(static_cast<const char*>(data), size));
      return;
    }
    default:
      table.AddNull();
  }
}

bool IsAutoIncrement(sqlite3* db, sqlite3_stmt* st, int column) {
  const char* table = sqlite3_column_table_name(st, column);
  const char* origin = sqlite3_column_origin_name(st, column);
  if (!table || !origin) return false;
  int autoinc = 0;
  if (sqlite3_table_column_metadata(db, sqlite3_column_database_name(st, column), table, origin,
                                    nullptr, nullptr, nullptr, nullptr, &autoinc) != SQLITE_OK) {
    return false;
  }
  return autoinc != 0;
}

}  // namespace

SqliteEngine::SqliteEngine(const std::string& page_path) {
  std::filesystem::path file = paths::Resolve(page_path);
  InspectJetFile(file, page_path);
  db_ = OpenSqlite(file, SQLITE_OPEN_READWRITE, page_path);
  // A file that passed the header test but is damaged fails here rather than on first use.
  SqliteExec(db_.get(), "PRAGMA schema_version");
}

std::shared_ptr<const ResultTable> SqliteEngine::Run(std::string_view statement) {
  TraceStatement(TraceDirection::kReceived, kEngineName, statement);
  std::string sql = TranslateJet(statement);
  TraceStatement(TraceDirection::kSent, kEngineName, sql);

  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()), &raw, &tail) !=
      SQLITE_OK) {
    throw SqliteError(db_.get());
  }
  SqliteStatement st(raw);
  // The translation refused a second statement already; SQLite's own reading must agree.
  size_t rest = static_cast<size_t>(tail - sql.data());
  for (const Token& token : Tokenize(std::string_view(sql).substr(rest), Dialect::kJet)) {
    if (!token.IsSymbol(";")) {
      throw Error(errc::kSyntaxError, "Characters found after end of SQL statement.");
    }
  }
  if (!st) {
    throw Error(errc::kSyntaxError, "The statement is empty.");
  }

  const int count = sqlite3_column_count(st.get());
  if (count == 0) {
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) throw SqliteError(db_.get());
    return nullptr;
  }

  std::vector<ColumnInfo> columns(static_cast<size_t>(count));
  std::vector<ValueKind> kinds(columns.size(), ValueKind::kPlain);
  std::vector<bool> typed(columns.size(), false);
  for (int c = 0; c < count; ++c) {
    ColumnInfo& info = columns[static_cast<size_t>(c)];
    info.name = sqlite3_column_name(st.get(), c);
    info.auto_increment = IsAutoIncrement(db_.get(), st.get(), c);
    if (auto declared = FromDeclaration(sqlite3_column_decltype(st.get(), c))) {
      info.type = declared->type;
      kinds[static_cast<size_t>(c)] = declared->kind;
      typed[static_cast<size_t>(c)] = true;
    }
  }
  auto table = std::make_shared<CellTable>(std::move(columns));
  int rc;
  bool first = true;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    for (int c = 0; c < count; ++c) {
      // Expressions declare no type: the first row's value stands for the column.
      if (first && !typed[static_cast<size_t>(c)]) {
        table->mutable_columns()[static_cast<size_t>(c)].type =
            TypeOfValue(sqlite3_column_type(st.get(), c));
      }
      ReadValue(st.get(), c, kinds[static_cast<size_t>(c)], *table);
    }
    table->EndRow();
    first = false;
  }
  if (rc != SQLITE_DONE) throw SqliteError(db_.get());
  return table;
}

}  // namespace mirelda::data

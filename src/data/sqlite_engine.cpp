#include "data/sqlite_engine.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

#include "data/bound_values.h"
#include "data/data_errors.h"
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

// What the table that a column comes from says of it: its place in the primary key and whether
// the engine numbers it.
void ReadColumnMetadata(sqlite3* db, sqlite3_stmt* st, int column, ColumnInfo& info) {
  const char* table = sqlite3_column_table_name(st, column);
  const char* origin = sqlite3_column_origin_name(st, column);
  if (!table || !origin) return;
  int key = 0, autoinc = 0;
  if (sqlite3_table_column_metadata(db, sqlite3_column_database_name(st, column), table, origin,
                                    nullptr, nullptr, nullptr, &key, &autoinc) != SQLITE_OK) {
    return;
  }
  info.key = key != 0;
  info.auto_increment = autoinc != 0;
}

// The n of "char(n)"; 0 when the declaration gives no size.
int32_t DeclaredSize(const char* declared) {
  const char* open = declared ? std::strchr(declared, '(') : nullptr;
  if (!open) return 0;
  int32_t size = 0;
  for (const char* p = open + 1; *p >= '0' && *p <= '9' && size < 100000000; ++p) {
    size = size * 10 + (*p - '0');
  }
  return size;
}

// Binds the values to the statement's placeholders, after checking that each has one.
void Bind(sqlite3_stmt* st, std::span<const Variant> parameters) {
  CheckParameterCount(static_cast<size_t>(sqlite3_bind_parameter_count(st)), parameters.size());
  for (size_t i = 0; i < parameters.size(); ++i) {
    BoundValue value;
    ToBoundValue(parameters[i], i + 1, value);
    int at = static_cast<int>(i + 1);
    int rc = SQLITE_OK;
    switch (value.kind) {
      case BoundValue::Kind::kNull:
        rc = sqlite3_bind_null(st, at);
        break;
      case BoundValue::Kind::kInteger:
        rc = sqlite3_bind_int64(st, at, value.integer);
        break;
      case BoundValue::Kind::kReal:
      case BoundValue::Kind::kDecimal:
        // SQLite keeps no exact decimals; a money column stores the amount as a REAL anyway.
        rc = sqlite3_bind_double(st, at, value.real);
        break;
      case BoundValue::Kind::kText:
        rc = sqlite3_bind_text64(st, at, value.bytes.data(), value.bytes.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
        break;
      case BoundValue::Kind::kBytes:
        rc = sqlite3_bind_blob64(st, at, value.bytes.data(), value.bytes.size(), SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK) throw SqliteError(sqlite3_db_handle(st));
  }
}

// INSERT, UPDATE, DELETE and REPLACE report the rows they wrote; SQLite's count is stale after
// any other statement. The first word is read past blanks and comments.
bool WritesRows(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size()) {
    if (sql.substr(i, 2) == "--") {
      size_t eol = sql.find('\n', i);
      i = eol == std::string_view::npos ? sql.size() : eol + 1;
    } else if (sql.substr(i, 2) == "/*") {
      size_t close = sql.find("*/", i + 2);
      i = close == std::string_view::npos ? sql.size() : close + 2;
    } else if (std::isspace(static_cast<unsigned char>(sql[i]))) {
      ++i;
    } else {
      break;
    }
  }
  size_t end = i;
  while (end < sql.size() && std::isalpha(static_cast<unsigned char>(sql[end]))) ++end;
  std::string_view word = sql.substr(i, end - i);
  for (std::string_view verb : {"INSERT", "UPDATE", "DELETE", "REPLACE"}) {
    if (text::EqualsIgnoreCase(word, verb)) return true;
  }
  return false;
}

// A statement's time limit: SQLite calls the progress handler every few thousand instructions,
// and the handler's refusal interrupts the statement.
class Deadline {
 public:
  Deadline(sqlite3* db, int32_t seconds) : db_(db), seconds_(seconds) {
    if (seconds <= 0) return;
    end_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    sqlite3_progress_handler(db, 1000, &Deadline::Check, this);
  }
  ~Deadline() {
    if (seconds_ > 0) sqlite3_progress_handler(db_, 0, nullptr, nullptr);
  }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  // Raises the Error of a statement that failed while this deadline watched it.
  [[noreturn]] void Fail() const {
    if (expired_) {
      throw ProviderError(data_errc::kCommandTimeout,
                          "Query timeout expired: the statement ran longer than " +
                              std::to_string(seconds_) + " seconds.",
                          "SQLite", "HYT00", SQLITE_INTERRUPT);
    }
    throw SqliteError(db_);
  }

 private:
  static int Check(void* self) {
    auto* d = static_cast<Deadline*>(self);
    if (std::chrono::steady_clock::now() >= d->end_) d->expired_ = true;
    return d->expired_ ? 1 : 0;
  }

  sqlite3* db_;
  int32_t seconds_;
  std::chrono::steady_clock::time_point end_;
  bool expired_ = false;
};

}  // namespace

std::optional<int32_t> SqliteEngine::DeclaredFieldType(const char* declared) {
  if (auto type = FromDeclaration(declared)) return type->type;
  return std::nullopt;
}

SqliteEngine::SqliteEngine(const JetTarget& target) {
  const std::string& page_path = target.path;
  std::filesystem::path file = paths::Resolve(page_path);
  if (target.plain_sqlite) {
    // Without the Jet mark to test, a missing file must not be created by opening it.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
      throw Error(errc::kUnspecified,
                  "Cannot open the database file '" + page_path + "': it does not exist.");
    }
  } else {
    InspectJetFile(file, page_path);
  }
  db_ = OpenSqlite(file, SQLITE_OPEN_READWRITE, page_path);
  // A file that passed the header test but is damaged fails here rather than on first use.
  SqliteExec(db_.get(), "PRAGMA schema_version");
}

RunResult SqliteEngine::Execute(std::string_view statement, std::span<const Variant> parameters,
                                int32_t timeout_seconds) {
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
  Bind(st.get(), parameters);
  Deadline deadline(db_.get(), timeout_seconds);

  RunResult result;
  const int count = sqlite3_column_count(st.get());
  if (count == 0) {
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) deadline.Fail();
    if (WritesRows(sql)) result.rows_affected = sqlite3_changes64(db_.get());
    return result;
  }

  std::vector<ColumnInfo> columns(static_cast<size_t>(count));
  std::vector<ValueKind> kinds(columns.size(), ValueKind::kPlain);
  std::vector<bool> typed(columns.size(), false);
  for (int c = 0; c < count; ++c) {
    ColumnInfo& info = columns[static_cast<size_t>(c)];
    info.name = sqlite3_column_name(st.get(), c);
    ReadColumnMetadata(db_.get(), st.get(), c, info);
    const char* declaration = sqlite3_column_decltype(st.get(), c);
    if (auto declared = FromDeclaration(declaration)) {
      info.type = declared->type;
      if (info.type == field_type::kVarWChar) info.defined_size = DeclaredSize(declaration);
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
  if (rc != SQLITE_DONE) deadline.Fail();
  result.rows = std::move(table);
  return result;
}

}  // namespace mirelda::data

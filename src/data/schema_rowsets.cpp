#include "data/schema_rowsets.h"

#include <string>
#include <vector>

#include "data/data_errors.h"
#include "data/sqlite_engine.h"
#include "mirelda/data.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

// One schema row as values in the order of its columns.
using Row = std::vector<Variant>;

constexpr const char* kTableColumns[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME",
                                         "TABLE_TYPE", "DESCRIPTION"};
constexpr const char* kColumnColumns[] = {
    "TABLE_CATALOG",     "TABLE_SCHEMA",   "TABLE_NAME",  "COLUMN_NAME", "ORDINAL_POSITION",
    "COLUMN_HASDEFAULT", "COLUMN_DEFAULT", "IS_NULLABLE", "DATA_TYPE",   "CHARACTER_MAXIMUM_LENGTH",
    "NUMERIC_PRECISION", "NUMERIC_SCALE"};

[[noreturn]] void BadArgument(const std::string& what) {
  throw Error(data_errc::kBadArguments,
              "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
              "with one another (" +
                  what + ").");
}

std::vector<Variant> Restrictions(const Variant& criteria) {
  if (criteria.is_missing() || criteria.is_empty() || criteria.is_null()) return {};
  if (!criteria.is_array()) BadArgument("the restrictions of OpenSchema must be an array");
  return criteria.AsArray().items();
}

bool Matches(const Row& row, const std::vector<Variant>& restrictions) {
  for (size_t i = 0; i < restrictions.size() && i < row.size(); ++i) {
    const Variant& wanted = restrictions[i];
    if (wanted.is_empty() || wanted.is_null() || wanted.is_missing()) continue;
    if (row[i].is_null() || !text::EqualsIgnoreCase(row[i].ToText(), wanted.ToText())) {
      return false;
    }
  }
  return true;
}

template <size_t N>
std::shared_ptr<const ResultTable> Table(const char* const (&names)[N],
                                         const std::vector<Row>& rows,
                                         const std::vector<Variant>& restrictions) {
  std::vector<ColumnInfo> columns;
  for (const char* name : names) columns.push_back(ColumnInfo{name, field_type::kVarWChar, false});
  auto table = std::make_shared<CellTable>(std::move(columns));
  for (const Row& row : rows) {
    if (!Matches(row, restrictions)) continue;
    for (const Variant& v : row) {
      switch (v.type()) {
        case VarType::kNull:
          table->AddNull();
          break;
        case VarType::kBoolean:
          table->AddBoolean(v.ToBool());
          break;
        case VarType::kLong:
        case VarType::kInteger:
          table->AddInteger(v.ToLong());
          break;
        default:
          table->AddText(v.ToText(), false);
      }
    }
    table->EndRow();
  }
  return table;
}

std::vector<Row> Query(Engine& engine, const char* sql) {
  std::vector<Row> rows;
  std::shared_ptr<const ResultTable> result = engine.Run(sql);
  if (!result) return rows;
  for (size_t r = 0; r < result->RowCount(); ++r) {
    Row row;
    for (size_t c = 0; c < result->columns().size(); ++c) row.push_back(result->Value(r, c));
    rows.push_back(std::move(row));
  }
  return rows;
}

Variant NumberOrNull(const Variant& v) { return v.is_null() ? v : Variant(v.ToLong()); }

// The size in "varchar(40)", or Null.
Variant DeclaredLength(const std::string& declared) {
  size_t open = declared.find('(');
  if (open == std::string::npos) return Variant::Null();
  int32_t length = 0;
  for (size_t i = open + 1; i < declared.size() && declared[i] >= '0' && declared[i] <= '9'; ++i) {
    if (length > 100000000) break;
    length = length * 10 + (declared[i] - '0');
  }
  return length > 0 ? Variant(length) : Variant::Null();
}

// The file database: the SQLite catalog, its own tables left out.
std::vector<Row> SqliteTables(Engine& engine) {
  std::vector<Row> rows;
  for (Row& r : Query(engine,
                      "SELECT name, type FROM sqlite_master WHERE type IN ('table', 'view') "
                      "AND substr(name, 1, 7) <> 'sqlite_' ORDER BY name")) {
    rows.push_back({Variant::Null(), Variant::Null(), r[0],
                    Variant(r[1].ToText() == "view" ? "VIEW" : "TABLE"), Variant::Null()});
  }
  return rows;
}

std::vector<Row> SqliteColumns(Engine& engine) {
  std::vector<Row> rows;
  for (Row& r : Query(engine,
                      "SELECT m.name, p.cid, p.name, p.type, p.[notnull], p.dflt_value "
                      "FROM sqlite_master m JOIN pragma_table_info(m.name) p "
                      "WHERE m.type IN ('table', 'view') AND substr(m.name, 1, 7) <> 'sqlite_' "
                      "ORDER BY m.name, p.cid")) {
    std::string declared = r[3].ToText();
    int32_t type =
        SqliteEngine::DeclaredFieldType(declared.c_str()).value_or(field_type::kVarWChar);
    bool text_type = type == field_type::kVarWChar || type == field_type::kLongVarWChar;
    rows.push_back({Variant::Null(), Variant::Null(), r[0], r[2], Variant(r[1].ToLong() + 1),
                    Variant(!r[5].is_null()), r[5].is_null() ? r[5] : Variant(r[5].ToText()),
                    Variant(r[4].ToLong() == 0), Variant(type),
                    text_type ? DeclaredLength(declared) : Variant::Null(), Variant::Null(),
                    Variant::Null()});
  }
  return rows;
}

// The server database: its information schema, the system schemas left out.
std::vector<Row> ServerTables(Engine& engine) {
  std::vector<Row> rows;
  for (Row& r : Query(engine,
                      "SELECT table_catalog::text, table_schema::text, table_name::text, "
                      "table_type::text FROM information_schema.tables "
                      "WHERE table_schema NOT IN ('pg_catalog', 'information_schema') "
                      "ORDER BY table_schema, table_name")) {
    rows.push_back(
        {r[0], r[1], r[2], Variant(r[3].ToText() == "VIEW" ? "VIEW" : "TABLE"), Variant::Null()});
  }
  return rows;
}

int32_t ServerFieldType(const std::string& type, const Variant& precision, const Variant& scale) {
  struct Name {
    const char* name;
    int32_t type;
  };
  static constexpr Name kNames[] = {
      {"integer", field_type::kInteger},
      {"smallint", field_type::kSmallInt},
      {"bigint", field_type::kBigInt},
      {"real", field_type::kSingle},
      {"double precision", field_type::kDouble},
      {"character varying", field_type::kVarWChar},
      {"character", 130},
      {"text", field_type::kLongVarWChar},
      {"timestamp without time zone", 135},
      {"timestamp with time zone", 135},
      {"date", 133},
      {"time without time zone", 134},
      {"boolean", field_type::kBoolean},
      {"bytea", field_type::kLongVarBinary},
      {"uuid", field_type::kGuid},
  };
  for (const Name& n : kNames) {
    if (type == n.name) return n.type;
  }
  // Money columns are numeric(19,4) on the server.
  if (type == "numeric") {
    bool money =
        !precision.is_null() && precision.ToLong() == 19 && !scale.is_null() && scale.ToLong() == 4;
    return money ? field_type::kCurrency : field_type::kNumeric;
  }
  return field_type::kVarWChar;
}

std::vector<Row> ServerColumns(Engine& engine) {
  std::vector<Row> rows;
  // A column's comment holds its name as written when it differs from the folded name only in
  // case, as the server dialect records it.
  for (Row& r : Query(engine,
                      "SELECT c.table_catalog::text, c.table_schema::text, c.table_name::text, "
                      "c.column_name::text, c.ordinal_position::integer, c.column_default::text, "
                      "c.is_nullable::text, c.data_type::text, "
                      "c.character_maximum_length::integer, c.numeric_precision::integer, "
                      "c.numeric_scale::integer, col_description(format('%I.%I', c.table_schema, "
                      "c.table_name)::regclass, c.ordinal_position::integer) "
                      "FROM information_schema.columns c "
                      "WHERE c.table_schema NOT IN ('pg_catalog', 'information_schema') "
                      "ORDER BY c.table_schema, c.table_name, c.ordinal_position")) {
    Variant name = r[3];
    if (!r[11].is_null() && text::ToLowerAscii(r[11].ToText()) == name.ToText()) name = r[11];
    std::string type = r[7].ToText();
    rows.push_back({r[0], r[1], r[2], name, NumberOrNull(r[4]), Variant(!r[5].is_null()), r[5],
                    Variant(r[6].ToText() == "YES"), Variant(ServerFieldType(type, r[9], r[10])),
                    NumberOrNull(r[8]), NumberOrNull(r[9]), NumberOrNull(r[10])});
  }
  return rows;
}

}  // namespace

std::shared_ptr<const ResultTable> SchemaRows(Engine& engine, int32_t schema,
                                              const Variant& criteria) {
  std::vector<Variant> restrictions = Restrictions(criteria);
  const bool jet = engine.dialect() == Dialect::kJet;
  if (schema == schema::kTables) {
    return Table(kTableColumns, jet ? SqliteTables(engine) : ServerTables(engine), restrictions);
  }
  if (schema == schema::kColumns) {
    return Table(kColumnColumns, jet ? SqliteColumns(engine) : ServerColumns(engine), restrictions);
  }
  BadArgument("schema " + std::to_string(schema) +
              " is not served; adSchemaTables (20) and "
              "adSchemaColumns (4) are");
}

}  // namespace mirelda::data

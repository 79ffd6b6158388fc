// The structure of CREATE TABLE and ALTER TABLE ... ADD statements, as token positions, for the
// dialect translators: each column's name and type, and the table-level key clauses.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "data/sql_statement.h"

namespace mirelda::data {

struct TypeName {
  size_t first = 0;  // token range [first, last) of the type and its size
  size_t last = 0;
  std::string name;               // lower case, words joined by one blank: "double precision"
  std::vector<std::string> size;  // the parts in the parentheses: {"50"}, {"1", "1"}
};

struct ColumnDefinition {
  size_t first = 0;  // token range of the whole definition
  size_t last = 0;
  size_t name = 0;  // token index of the column name
  std::optional<TypeName> type;
  // Index of a PRIMARY KEY written with the column, or kNone.
  size_t primary_key = kNone;
  bool has_collate = false;
};

struct TableItem {
  enum class Kind {
    kColumn,
    kPrimaryKey,      // [CONSTRAINT name] PRIMARY KEY (cols)
    kBareReferences,  // (cols) REFERENCES t(cols), a foreign key without its keyword
    kOther,           // UNIQUE, CHECK, FOREIGN KEY ...
  };
  Kind kind = Kind::kOther;
  size_t first = 0;
  size_t last = 0;
  size_t comma_before = kNone;  // the comma that separates it from the item before
  size_t comma_after = kNone;
  ColumnDefinition column;           // kColumn
  size_t keyword = kNone;            // kPrimaryKey: index of PRIMARY
  std::vector<std::string> columns;  // kPrimaryKey: the key's column names
};

struct CreateTable {
  size_t name_first = 0;  // token range of the table name, qualified or not
  size_t name_last = 0;
  size_t open = 0;  // the parentheses around the items
  size_t close = 0;
  std::vector<TableItem> items;
};

struct AddColumn {
  size_t name_first = 0;  // token range of the table name
  size_t name_last = 0;
  ColumnDefinition column;
};

// CREATE [TEMP|TEMPORARY] TABLE [IF NOT EXISTS] name (items) ..., or nothing for any other
// statement.
std::optional<CreateTable> ParseCreateTable(const std::vector<Token>& tokens);
// ALTER TABLE name ADD [COLUMN] definition, or nothing.
std::optional<AddColumn> ParseAddColumn(const std::vector<Token>& tokens);

}  // namespace mirelda::data

// The statements that write a record set's changes to its table: INSERT, UPDATE and DELETE by
// the primary key, with names in brackets and every value a bound parameter, each returning the
// row as the table now holds it.
#pragma once

#include <string>
#include <vector>

#include "data/engine.h"
#include "data/result_table.h"

namespace mirelda::data {

class RowWriter {
 public:
  // columns: the record set's; their names are the table's column names.
  RowWriter(Engine& engine, std::string table, const std::vector<ColumnInfo>& columns)
      : engine_(engine), table_(std::move(table)), columns_(columns) {}

  // Inserts a row with the given columns' values; the row as inserted, one value per column.
  std::vector<Variant> Insert(const std::vector<size_t>& given, const std::vector<Variant>& values);
  // Writes values into the given columns of the row whose key columns hold what original does;
  // the row as written. kRowNotFound when no row has that key any more.
  std::vector<Variant> Change(const std::vector<size_t>& given, const std::vector<Variant>& values,
                              const std::vector<Variant>& original);
  // Deletes the row whose key columns hold what original does; kRowNotFound when none does.
  void Remove(const std::vector<Variant>& original);

 private:
  // "WHERE [k] = ? AND ..." over the key columns; their values are appended to parameters.
  // kNotSupported without a key column or with a Null key.
  std::string KeyCondition(const std::vector<Variant>& original, std::vector<Variant>& parameters);
  std::string Returning() const;
  // The one row a statement returned, as values of the record set's columns.
  std::vector<Variant> OneRow(const std::string& sql, const std::vector<Variant>& parameters);

  Engine& engine_;
  std::string table_;
  const std::vector<ColumnInfo>& columns_;
};

// A name between brackets, as both dialects read it.
std::string BracketName(const std::string& name);

}  // namespace mirelda::data

#include "data/record_set_writes.h"

#include "data/data_errors.h"
#include "mirelda/error.h"

namespace mirelda::data {
namespace {

constexpr int32_t kRowNotFound = -2147217864;  // 0x80040E38

[[noreturn]] void RowGone() {
  throw Error(kRowNotFound,
              "Row cannot be located for updating. Some values may have been changed since it "
              "was last read.");
}

}  // namespace

std::string BracketName(const std::string& name) {
  if (name.find_first_of("[]") != std::string::npos) {
    throw Error(data_errc::kNotSupported,
                "Object or provider is not capable of performing requested operation: the name "
                "\"" +
                    name + "\" cannot be written to.");
  }
  return "[" + name + "]";
}

std::string RowWriter::KeyCondition(const std::vector<Variant>& original,
                                    std::vector<Variant>& parameters) {
  std::string where;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (!columns_[i].key) continue;
    if (original[i].is_null()) RowGone();
    where += (where.empty() ? " WHERE " : " AND ") + BracketName(columns_[i].name) + " = ?";
    parameters.push_back(original[i]);
  }
  if (where.empty()) {
    // Without a key a row could be told from its twins only by all its values, which would
    // change every copy of it; the record set refuses instead.
    throw Error(data_errc::kNotSupported,
                "Object or provider is not capable of performing requested operation: the "
                "record set holds no primary key column of table \"" +
                    table_ + "\" to find its rows by.");
  }
  return where;
}

std::string RowWriter::Returning() const {
  std::string out = " RETURNING ";
  for (size_t i = 0; i < columns_.size(); ++i) {
    out += (i ? ", " : "") + BracketName(columns_[i].name);
  }
  return out;
}

std::vector<Variant> RowWriter::OneRow(const std::string& sql,
                                       const std::vector<Variant>& parameters) {
  std::shared_ptr<const ResultTable> rows = engine_.Execute(sql, parameters, 0).rows;
  if (!rows || rows->RowCount() == 0) RowGone();
  std::vector<Variant> values;
  values.reserve(columns_.size());
  for (size_t c = 0; c < columns_.size() && c < rows->columns().size(); ++c) {
    values.push_back(rows->Value(0, c));
  }
  return values;
}

std::vector<Variant> RowWriter::Insert(const std::vector<size_t>& given,
                                       const std::vector<Variant>& values) {
  std::string sql = "INSERT INTO " + BracketName(table_);
  if (given.empty()) {
    sql += " DEFAULT VALUES";
  } else {
    std::string names, marks;
    for (size_t i = 0; i < given.size(); ++i) {
      names += (i ? ", " : "") + BracketName(columns_[given[i]].name);
      marks += i ? ", ?" : "?";
    }
    sql += " (" + names + ") VALUES (" + marks + ")";
  }
  return OneRow(sql + Returning(), values);
}

std::vector<Variant> RowWriter::Change(const std::vector<size_t>& given,
                                       const std::vector<Variant>& values,
                                       const std::vector<Variant>& original) {
  std::vector<Variant> parameters = values;
  std::string sets;
  for (size_t i = 0; i < given.size(); ++i) {
    sets += (i ? ", " : "") + BracketName(columns_[given[i]].name) + " = ?";
  }
  std::string where = KeyCondition(original, parameters);
  return OneRow("UPDATE " + BracketName(table_) + " SET " + sets + where + Returning(), parameters);
}

void RowWriter::Remove(const std::vector<Variant>& original) {
  std::vector<Variant> parameters;
  std::string where = KeyCondition(original, parameters);
  std::string key;
  for (const ColumnInfo& column : columns_) {
    if (column.key) {
      key = BracketName(column.name);
      break;
    }
  }
  OneRow("DELETE FROM " + BracketName(table_) + where + " RETURNING " + key, parameters);
}

}  // namespace mirelda::data

// What an Access (.mdb) file holds, as the importer sees it: plain values with no tie to the
// library that read them, so that the Jet-file writer can be driven from any source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirelda::import {

// The column types an Access file stores, by their Access names.
enum class AccessType {
  kBoolean,
  kByte,
  kInteger,  // 16-bit
  kLong,     // 32-bit
  kCurrency,
  kSingle,
  kDouble,
  kDateTime,
  kBinary,  // fixed-size binary, up to 255 bytes
  kText,
  kOle,  // OLE object: long binary
  kMemo,
  kGuid,  // replication id
  kDecimal,
  kComplex,  // attachments and multi-valued fields of later Access versions
  kUnknown,
};

struct AccessColumn {
  std::string name;
  AccessType type = AccessType::kUnknown;
  int type_code = 0;   // the file's own code, for reports of unknown types
  int size_chars = 0;  // text only: the declared length in characters
  int precision = 0;   // decimal only
  int scale = 0;       // decimal only
  bool auto_number = false;
  bool required = false;
  // A default that is a plain number ("0", "-1.5"), Yes/No as 1/0; empty when there is none or
  // it is an expression of Access's own (then it is among lost_properties).
  std::string default_number;
  // Properties that the Jet file has no place for, each as "Name: value".
  std::vector<std::string> lost_properties;
};

struct IndexKey {
  std::string column;
  bool descending = false;
};

struct AccessIndex {
  std::string name;
  std::vector<IndexKey> keys;
  bool primary = false;
  bool unique = false;
  // The index Access keeps for the foreign-key side of a relationship.
  bool relationship = false;
  // A key column that the file names but the table does not have: the index cannot be rebuilt.
  bool damaged = false;
};

struct AccessTable {
  std::string name;
  std::vector<AccessColumn> columns;
  std::vector<AccessIndex> indexes;
  std::vector<std::string> lost_properties;
};

// One value of a row. Booleans and whole numbers are kInteger; dates are kReal in the OLE date
// form (days since 1899-12-30) and marked; currency is kReal; decimals are exact kText.
struct Cell {
  enum class Kind { kNull, kInteger, kReal, kDate, kText, kBytes, kUnreadable };
  Kind kind = Kind::kNull;
  int64_t integer = 0;
  double real = 0;
  std::string text;  // kText and kBytes; for kUnreadable, why
};

// A saved query, form, report, macro, module or linked table: kept by Access beside the tables,
// with no counterpart in a Jet file.
struct OtherObject {
  std::string kind;
  std::string name;
};

struct Relationship {
  std::string name;
  std::string table;
  std::string column;
  std::string referenced_table;
  std::string referenced_column;
};

}  // namespace mirelda::import

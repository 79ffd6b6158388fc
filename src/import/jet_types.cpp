#include "import/jet_types.h"

namespace mirelda::import {

std::optional<std::string> JetDeclaration(const AccessColumn& column) {
  switch (column.type) {
    case AccessType::kBoolean:
      return "yesno";
    case AccessType::kByte:
      return "byte";
    // Jet's "integer" is 32 bits wide; Access's Integer is its "short".
    case AccessType::kInteger:
      return "short";
    case AccessType::kLong:
      return column.auto_number ? "counter" : "long";
    case AccessType::kCurrency:
      return "currency";
    case AccessType::kSingle:
      return "single";
    case AccessType::kDouble:
      return "double";
    case AccessType::kDateTime:
      return "datetime";
    case AccessType::kBinary:
      return "binary";
    case AccessType::kOle:
      return "longbinary";
    case AccessType::kText:
      return "text(" + std::to_string(column.size_chars > 0 ? column.size_chars : 255) + ")";
    case AccessType::kMemo:
      return "memo";
    // The braced text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
    case AccessType::kGuid:
      return "text(38)";
    case AccessType::kDecimal:
      return "decimal(" + std::to_string(column.precision) + "," + std::to_string(column.scale) +
             ")";
    case AccessType::kComplex:
    case AccessType::kUnknown:
      return std::nullopt;
  }
  return std::nullopt;
}

std::string AccessTypeName(const AccessColumn& column) {
  switch (column.type) {
    case AccessType::kBoolean:
      return "Yes/No";
    case AccessType::kByte:
      return "Byte";
    case AccessType::kInteger:
      return "Integer";
    case AccessType::kLong:
      return column.auto_number ? "AutoNumber" : "Long Integer";
    case AccessType::kCurrency:
      return "Currency";
    case AccessType::kSingle:
      return "Single";
    case AccessType::kDouble:
      return "Double";
    case AccessType::kDateTime:
      return "Date/Time";
    case AccessType::kBinary:
      return "Binary";
    case AccessType::kOle:
      return "OLE Object";
    case AccessType::kText:
      return "Text";
    case AccessType::kMemo:
      return "Memo";
    case AccessType::kGuid:
      return "Replication ID";
    case AccessType::kDecimal:
      return "Decimal";
    case AccessType::kComplex:
      return "Attachment or multi-valued field";
    case AccessType::kUnknown:
      break;
  }
  return "type code " + std::to_string(column.type_code);
}

}  // namespace mirelda::import

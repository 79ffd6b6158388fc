#include "mirelda/error.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace mirelda {

namespace {

// The page language's own descriptions, sorted by number for a binary search.
struct Described {
  int32_t number;
  const char* text;
};
constexpr Described kLanguageDescriptions[] = {
    {5, "Invalid procedure call or argument"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript out of range"},
    {10, "This array is fixed or temporarily locked"},
    {11, "Division by zero"},
    {13, "Type mismatch"},
    {28, "Out of stack space"},
    {35, "Sub or Function not defined"},
    {51, "Internal error"},
    {53, "File not found"},
    {58, "File already exists"},
    {70, "Permission denied"},
    {76, "Path not found"},
    {91, "Object variable not set"},
    {92, "For loop not initialized"},
    {94, "Invalid use of Null"},
    {424, "Object required"},
    {429, "ActiveX component can't create object"},
    {438, "Object doesn't support this property or method"},
    {440, "Automation error"},
    {449, "Argument not optional"},
    {450, "Wrong number of arguments or invalid property assignment"},
    {451, "Object not a collection"},
    {457, "This key is already associated with an element of this collection"},
    {500, "Variable is undefined"},
    {501, "Illegal assignment"},
    {502, "Object not safe for scripting"},
    {506, "Class not defined"},
    {1001, "Out of memory"},
    {1002, "Syntax error"},
    {1003, "Expected ':'"},
    {1005, "Expected '('"},
    {1006, "Expected ')'"},
    {1010, "Expected identifier"},
    {1011, "Expected '='"},
    {1012, "Expected 'If'"},
    {1013, "Expected 'To'"},
    {1014, "Expected 'End'"},
    {1015, "Expected 'Function'"},
    {1016, "Expected 'Sub'"},
    {1017, "Expected 'Then'"},
    {1018, "Expected 'Wend'"},
    {1019, "Expected 'Loop'"},
    {1020, "Expected 'Next'"},
    {1021, "Expected 'Case'"},
    {1022, "Expected 'Select'"},
    {1023, "Expected expression"},
    {1024, "Expected statement"},
    {1025, "Expected end of statement"},
    {1026, "Expected integer constant"},
    {1027, "Expected 'While' or 'Until'"},
    {1028, "Expected 'While', 'Until' or end of statement"},
    {1029, "Expected 'With'"},
    {1030, "Identifier too long"},
    {1031, "Invalid number"},
    {1032, "Invalid character"},
    {1033, "Unterminated string constant"},
    {1034, "Unterminated comment"},
    {1037, "Invalid use of 'Me' keyword"},
    {1038, "'loop' without 'do'"},
    {1039, "Invalid 'exit' statement"},
    {1040, "Invalid 'for' loop control variable"},
    {1041, "Name redefined"},
    {1042, "Must be first statement on the line"},
    {1044, "Cannot use parentheses when calling a Sub"},
    {1045, "Expected literal constant"},
    {1046, "Expected 'In'"},
    {1047, "Expected 'Class'"},
    {1048, "Must be defined inside a Class"},
    {1049, "Expected Let or Set or Get in property declaration"},
    {1050, "Expected 'Property'"},
    {1051, "Number of arguments must be consistent across properties specification"},
    {1052, "Cannot have multiple default property/method in a Class"},
    {1053, "Class initialize or terminate do not have arguments"},
    {1054, "Property set or let must have at least one argument"},
    {1055, "Unexpected 'Next'"},
    {1056, "'Default' can be specified only on 'Property' or 'Function' or 'Sub'"},
    {1057, "'Default' specification must also specify 'Public'"},
    {1058, "'Default' specification can only be on Property Get"},
    {5008, "Illegal assignment"},
    {5017, "Syntax error in regular expression"},
    {5020, "Expected ')' in regular expression"},
    {32811, "Element not found"},
};

}  // namespace

std::string StandardDescription(int32_t number) {
  auto found = std::lower_bound(std::begin(kLanguageDescriptions), std::end(kLanguageDescriptions),
                                number,
                                [](const Described& d, int32_t n) { return d.number < n; });
  if (found != std::end(kLanguageDescriptions) && found->number == number) return found->text;
  switch (number) {
    case errc::kInvalidClassString:
      return "Invalid class string";
    case errc::kClassNotAvailable:
      return "Class not available";
    case errc::kUnspecified:
      return "Unspecified error";
    case errc::kObjectClosed:
      return "Operation is not allowed when the object is closed.";
    case errc::kNoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested "
             "operation requires a current record.";
    case errc::kItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or "
             "ordinal.";
    case errc::kObjectOpen:
      return "Operation is not allowed when the object is open.";
    case errc::kConnectionInvalid:
      return "The connection cannot be used to perform this operation. It is either closed or "
             "invalid in this context.";
    case errc::kProviderNotFound:
      return "Provider cannot be found. It may not be properly installed.";
    case errc::kWrongArguments:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
             "with one another.";
    case errc::kFetchBackward:
      return "Rowset does not support fetching backward.";
    case errc::kDatabaseExists:
      return "Database already exists.";
    case errc::kInitStringFormat:
      return "Format of the initialization string does not conform to the OLE DB specification.";
    default:
      return {};
  }
}

namespace {
std::string DescriptionOrStandard(int32_t number, std::string description) {
  if (!description.empty()) return description;
  std::string standard = StandardDescription(number);
  return standard.empty() ? "Error " + std::to_string(number) : standard;
}
}  // namespace

Error::Error(int32_t number, std::string description, std::string source)
    : std::runtime_error(DescriptionOrStandard(number, description)),
      number_(number),
      description_(DescriptionOrStandard(number, std::move(description))),
      source_(std::move(source)) {}

ErrorInfo& PendingError() {
  thread_local ErrorInfo pending;
  return pending;
}

void ClearPendingError() { PendingError() = ErrorInfo{}; }

ResumeNext::ResumeNext() : saved_(std::exchange(PendingError(), ErrorInfo{})) {}

ResumeNext::~ResumeNext() { PendingError() = std::move(saved_); }

void ResumeNext::Record(const Error& e) {
  PendingError() = ErrorInfo{e.number(), e.description(), e.source()};
}

}  // namespace mirelda

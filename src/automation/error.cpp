#include "mirelda/error.h"

#include <utility>

namespace mirelda {

std::string StandardDescription(int32_t number) {
  switch (number) {
    case errc::kInvalidProcedureCall:
      return "Invalid procedure call or argument";
    case errc::kOverflow:
      return "Overflow";
    case errc::kSubscriptOutOfRange:
      return "Subscript out of range";
    case errc::kTypeMismatch:
      return "Type mismatch";
    case errc::kFileNotFound:
      return "File not found";
    case errc::kFileAlreadyExists:
      return "File already exists";
    case errc::kPermissionDenied:
      return "Permission denied";
    case errc::kPathNotFound:
      return "Path not found";
    case errc::kObjectVariableNotSet:
      return "Object variable not set";
    case errc::kInvalidUseOfNull:
      return "Invalid use of Null";
    case errc::kObjectRequired:
      return "Object required";
    case errc::kMemberNotFound:
      return "Object doesn't support this property or method";
    case errc::kArgumentNotOptional:
      return "Argument not optional";
    case errc::kWrongArgumentCount:
      return "Wrong number of arguments or invalid property assignment";
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

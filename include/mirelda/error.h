// The one exception type that crosses module boundaries, the error numbers the platform uses, and
// the per-thread pending error that trapped methods leave behind for later steps.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "mirelda/export.h"

namespace mirelda {

// Error numbers. Page-language run-time errors are small positive numbers; data access and
// object-creation errors are negative 32-bit HRESULTs, printed as signed decimal.
namespace errc {
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kArrayFixed = 10;
inline constexpr int32_t kDivisionByZero = 11;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kOutOfStack = 28;
inline constexpr int32_t kProcedureNotDefined = 35;
inline constexpr int32_t kInternalError = 51;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kFileAlreadyExists = 58;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectVariableNotSet = 91;
inline constexpr int32_t kForLoopNotInitialized = 92;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kCannotCreateObject = 429;
inline constexpr int32_t kMemberNotFound = 438;
inline constexpr int32_t kAutomationError = 440;
inline constexpr int32_t kArgumentNotOptional = 449;
inline constexpr int32_t kWrongArgumentCount = 450;
inline constexpr int32_t kObjectNotCollection = 451;
inline constexpr int32_t kKeyAlreadyAssociated = 457;
inline constexpr int32_t kVariableUndefined = 500;
inline constexpr int32_t kIllegalAssignment = 501;
inline constexpr int32_t kObjectNotSafe = 502;
inline constexpr int32_t kClassNotDefined = 506;
// Assignment to something that cannot take a value (a constant, a call's result).
inline constexpr int32_t kIllegalAssignmentTarget = 5008;
inline constexpr int32_t kRegExpSyntax = 5017;
inline constexpr int32_t kRegExpExpectedParen = 5020;
// A dictionary has no element of the key named.
inline constexpr int32_t kElementNotFound = 32811;

// Compile errors of the page language.
inline constexpr int32_t kCompileOutOfMemory = 1001;
inline constexpr int32_t kSyntax = 1002;
inline constexpr int32_t kExpectedColon = 1003;
inline constexpr int32_t kExpectedLParen = 1005;
inline constexpr int32_t kExpectedRParen = 1006;
inline constexpr int32_t kExpectedIdentifier = 1010;
inline constexpr int32_t kExpectedEquals = 1011;
inline constexpr int32_t kExpectedIf = 1012;
inline constexpr int32_t kExpectedTo = 1013;
inline constexpr int32_t kExpectedEnd = 1014;
inline constexpr int32_t kExpectedFunction = 1015;
inline constexpr int32_t kExpectedSub = 1016;
inline constexpr int32_t kExpectedThen = 1017;
inline constexpr int32_t kExpectedWend = 1018;
inline constexpr int32_t kExpectedLoop = 1019;
inline constexpr int32_t kExpectedNext = 1020;
inline constexpr int32_t kExpectedCase = 1021;
inline constexpr int32_t kExpectedSelect = 1022;
inline constexpr int32_t kExpectedExpression = 1023;
inline constexpr int32_t kExpectedStatement = 1024;
inline constexpr int32_t kExpectedEndOfStatement = 1025;
inline constexpr int32_t kExpectedIntegerConstant = 1026;
inline constexpr int32_t kExpectedWhileOrUntil = 1027;
inline constexpr int32_t kExpectedWhileUntilOrEndOfStatement = 1028;
inline constexpr int32_t kExpectedWith = 1029;
inline constexpr int32_t kIdentifierTooLong = 1030;
inline constexpr int32_t kInvalidNumber = 1031;
inline constexpr int32_t kInvalidCharacter = 1032;
inline constexpr int32_t kUnterminatedString = 1033;
inline constexpr int32_t kUnterminatedComment = 1034;
inline constexpr int32_t kInvalidUseOfMe = 1037;
inline constexpr int32_t kLoopWithoutDo = 1038;
inline constexpr int32_t kInvalidExit = 1039;
inline constexpr int32_t kInvalidForLoopControl = 1040;
inline constexpr int32_t kNameRedefined = 1041;
inline constexpr int32_t kMustBeFirstStatement = 1042;
inline constexpr int32_t kParenthesesInSubCall = 1044;
inline constexpr int32_t kExpectedLiteralConstant = 1045;
inline constexpr int32_t kExpectedIn = 1046;
inline constexpr int32_t kExpectedClass = 1047;
inline constexpr int32_t kMustBeInsideClass = 1048;
inline constexpr int32_t kExpectedLetSetGet = 1049;
inline constexpr int32_t kExpectedProperty = 1050;
inline constexpr int32_t kInconsistentPropertyArguments = 1051;
inline constexpr int32_t kMultipleDefaults = 1052;
inline constexpr int32_t kClassEventArguments = 1053;
inline constexpr int32_t kPropertyNeedsArgument = 1054;
inline constexpr int32_t kUnexpectedNext = 1055;
inline constexpr int32_t kDefaultNotAllowedHere = 1056;
inline constexpr int32_t kDefaultMustBePublic = 1057;
inline constexpr int32_t kDefaultOnlyOnGet = 1058;

inline constexpr int32_t kUnspecified = -2147467259;         // 0x80004005
inline constexpr int32_t kInvalidClassString = -2147221005;  // 0x800401F3
inline constexpr int32_t kClassNotAvailable = -2147221231;   // 0x80040111
inline constexpr int32_t kModuleNotFound = -2147024770;      // 0x8007007E
inline constexpr int32_t kNoSuchTable = -2147217865;         // 0x80040E37
inline constexpr int32_t kSyntaxError = -2147217900;         // 0x80040E14
inline constexpr int32_t kLogonFailed = -2147217843;         // 0x80040E4D
inline constexpr int32_t kObjectClosed = -2146824584;        // 0x800A0E78
inline constexpr int32_t kNoCurrentRecord = -2146825267;     // 0x800A0BCD
inline constexpr int32_t kItemNotFound = -2146825023;        // 0x800A0CC1
inline constexpr int32_t kObjectOpen = -2146824583;          // 0x800A0E79
inline constexpr int32_t kConnectionInvalid = -2146824579;   // 0x800A0E7D
inline constexpr int32_t kProviderNotFound = -2146824582;    // 0x800A0E7A
inline constexpr int32_t kWrongArguments = -2146825287;      // 0x800A0BB9
inline constexpr int32_t kFetchBackward = -2147217884;       // 0x80040E24
inline constexpr int32_t kDatabaseExists = -2147217897;      // 0x80040E17
inline constexpr int32_t kInitStringFormat = -2147217805;    // 0x80040E73
}  // namespace errc

// The page language's standard description of a run-time error number ("Overflow" for 6), or an
// empty string for numbers it does not describe.
MIRELDA_API std::string StandardDescription(int32_t number);

class MIRELDA_API Error : public std::runtime_error {
 public:
  // An empty description takes the standard one of the number.
  explicit Error(int32_t number, std::string description = {}, std::string source = {});

  int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  const std::string& source() const noexcept { return source_; }

 private:
  int32_t number_;
  std::string description_;
  std::string source_;
};

// What a trapped step left behind: number 0 means none.
struct ErrorInfo {
  int32_t number = 0;
  std::string description;
  std::string source;

  bool pending() const noexcept { return number != 0; }
};

// The calling thread's pending error. Every page runs on one thread from start to end, so this is
// the page's error object.
MIRELDA_API ErrorInfo& PendingError();
MIRELDA_API void ClearPendingError();

// A trapped method's error scope ("resume next"). Opening it clears the pending error, so the
// method starts clean; each Step runs a piece of work and records an Error it throws instead of
// letting it escape. Closing it restores what was pending when it opened, so a trapped callee
// neither sees nor disturbs its caller's pending error. Any other exception passes through.
class MIRELDA_API ResumeNext {
 public:
  ResumeNext();
  ~ResumeNext();
  ResumeNext(const ResumeNext&) = delete;
  ResumeNext& operator=(const ResumeNext&) = delete;

  // Runs fn; returns true when it completed, false when it threw an Error (now pending).
  template <class Fn>
  bool Step(Fn&& fn) {
    try {
      std::forward<Fn>(fn)();
      return true;
    } catch (const Error& e) {
      Record(e);
      return false;
    }
  }

  // Records an error as pending, replacing what was pending.
  static void Record(const Error& e);

 private:
  ErrorInfo saved_;
};

}  // namespace mirelda

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
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kFileAlreadyExists = 58;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectVariableNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kMemberNotFound = 438;
inline constexpr int32_t kArgumentNotOptional = 449;
inline constexpr int32_t kWrongArgumentCount = 450;
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

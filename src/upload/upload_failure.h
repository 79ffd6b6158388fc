// The messages Upload returns, and the one slot that holds a failure found along the way and
// reported at the end.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirelda::upload {

inline constexpr std::string_view kUploadOk = "OK";

// Failures reported at the end of the run (the last one recorded wins).
std::string PathNotAbsoluteMessage();
std::string FileNameMissingMessage();
std::string FileTooLargeMessage(std::string_view file_name);

// Failures that stop the run at once.
std::string TargetExistsMessage(std::string_view file_name);
std::string TooManyPartsMessage();
std::string NoPartMessage();

// At most one deferred failure; a later one replaces an earlier one.
class PendingFailure {
 public:
  void Set(std::string message) { message_ = std::move(message); }
  bool pending() const { return message_.has_value(); }
  // The pending message, or "OK" when nothing failed.
  std::string Result() const { return message_ ? *message_ : std::string(kUploadOk); }

 private:
  std::optional<std::string> message_;
};

}  // namespace mirelda::upload

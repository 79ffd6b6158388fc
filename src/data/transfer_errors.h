// The error numbers that the mail and server-side HTTP objects raise, as pages of the platform
// see them: the mail library's own HRESULTs, the HTTP stack's (HRESULTs of its Win32 codes), and
// the generic ones both share.
#pragma once

#include <cstdint>

namespace mirelda::data {

inline constexpr int32_t kInvalidArgument = -2147024809;  // 0x80070057 E_INVALIDARG
inline constexpr int32_t kAccessDenied = -2147024891;     // 0x80070005 E_ACCESSDENIED
inline constexpr int32_t kFileNotFoundHr = -2147024894;   // 0x80070002
inline constexpr int32_t kUnexpected = -2147418113;       // 0x8000FFFF E_UNEXPECTED
inline constexpr int32_t kPending = -2147483638;          // 0x8000000A E_PENDING

// Mail.
inline constexpr int32_t kSmtpServerRequired = -2147220982;  // 0x8004020A
inline constexpr int32_t kRecipientMissing = -2147220980;    // 0x8004020C
inline constexpr int32_t kFromMissing = -2147220979;         // 0x8004020D
inline constexpr int32_t kSenderRejected = -2147220978;      // 0x8004020E
inline constexpr int32_t kRecipientsRejected = -2147220977;  // 0x8004020F
inline constexpr int32_t kSmtpSendFailed = -2147220975;      // 0x80040211
inline constexpr int32_t kFailedToConnect = -2147220973;     // 0x80040213
inline constexpr int32_t kLogonFailure = -2147220969;        // 0x80040217
inline constexpr int32_t kInvalidSendOption = -2147220960;   // 0x80040220

// HTTP.
inline constexpr int32_t kHttpTimeout = -2147012894;          // 0x80072EE2
inline constexpr int32_t kHttpBadUrl = -2147012891;           // 0x80072EE5
inline constexpr int32_t kHttpBadProtocol = -2147012890;      // 0x80072EE6
inline constexpr int32_t kHttpNameNotResolved = -2147012889;  // 0x80072EE7
inline constexpr int32_t kHttpCannotConnect = -2147012867;    // 0x80072EFD
inline constexpr int32_t kHttpConnectionReset = -2147012866;  // 0x80072EFE
inline constexpr int32_t kHttpHeaderNotFound = -2147012746;   // 0x80072F76
inline constexpr int32_t kHttpRedirectFailed = -2147012740;   // 0x80072F7C
inline constexpr int32_t kHttpSecureFailure = -2147012721;    // 0x80072F8F

}  // namespace mirelda::data

// Error numbers of the data access components that only this library raises, as the replaced
// library numbers them.
#pragma once

#include <cstdint>

namespace mirelda::data::data_errc {

// "No value given for one or more required parameters."
inline constexpr int32_t kParameterMissing = -2147217904;  // 0x80040E10
// "Query timeout expired"
inline constexpr int32_t kCommandTimeout = -2147217871;  // 0x80040E31
// "Application uses a value of the wrong type for the current operation."
inline constexpr int32_t kDataConversion = -2146824867;  // 0x800A0D5D
// "Object or provider is not capable of performing requested operation."
inline constexpr int32_t kNotSupported = -2146825037;  // 0x800A0CB3
// "Parameter object is improperly defined. Inconsistent or incomplete information was provided."
inline constexpr int32_t kParameterImproper = -2146824580;  // 0x800A0E7C
// A value larger than its parameter's size, which is refused rather than cut short.
inline constexpr int32_t kDataOverflow = -2147217833;  // 0x80040E57
// "Command text was not set for the command object."
inline constexpr int32_t kNoCommandText = -2147217908;  // 0x80040E0C
// "No transaction is active."
inline constexpr int32_t kNoTransaction = -2147168242;  // 0x8004D00E
// "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one
// another."
inline constexpr int32_t kBadArguments = -2146825287;  // 0x800A0BB9

}  // namespace mirelda::data::data_errc

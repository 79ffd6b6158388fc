// The kinds of values host options take, parsed with messages that name the option.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace mirelda::host {

// One value as the command line or a config file gives it. Paths of a config file are relative
// to the file's folder (base); those of the command line to the working directory (base empty).
struct OptionValue {
  std::string name;  // without "--"
  std::string text;
  std::filesystem::path base;
};

// Throws mirelda::Error (number 5) reading "--NAME " + what.
[[noreturn]] void RefuseValue(const OptionValue& v, const std::string& what);

uint64_t ParseUnsigned(const OptionValue& v, uint64_t max);
// "1048576", "64k", "32M", "1G".
uint64_t ParseBytes(const OptionValue& v);
// Minutes ("20"), or seconds with an "s" ("90s"); more than 0.
std::chrono::seconds ParseMinutes(const OptionValue& v);
// Seconds, "30" or "30s"; more than 0 and at most a day.
std::chrono::seconds ParseSeconds(const OptionValue& v, bool suffix_allowed);
// yes/no, true/false, on/off, 1/0.
bool ParseSwitch(const OptionValue& v);
// Exactly "on" or "off".
bool ParseOnOff(const OptionValue& v);
// A file or folder; none is refused, a relative one is taken from v.base.
std::filesystem::path ParsePath(const OptionValue& v, const std::string& what);
// Text without control characters, so that no option can split a reply or a log line.
void RefuseControlCharacters(const OptionValue& v, const std::string& text);

// 536870912 as "512M", as --help shows a default.
std::string FormatBytes(uint64_t bytes);

}  // namespace mirelda::host

// The one list of mirelda-host's options: what the command line and a config file accept, how
// each value is read into HostOptions, and what --help says about it. Defaults are HostOptions'.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "host/options/host_options.h"
#include "host/options/option_values.h"

namespace mirelda::host {

enum class OptionKind {
  kValue,   // --name VALUE or --name=VALUE; "name = value" in a config file
  kSwitch,  // --name alone means yes; --name=no and "name = no" are also taken
  kStop,    // --help, --version: the command line is not read further
};

struct HostOption {
  std::string_view name;      // without "--"
  std::string_view argument;  // as --help names the value; empty for switches and stops
  std::string_view help;
  OptionKind kind = OptionKind::kValue;
  bool command_line_only = false;  // a config file line naming it is refused
  void (*set)(const OptionValue& value, HostOptions& options) = nullptr;
  // The default as --help shows it, from a default HostOptions; nullptr when none is shown.
  std::string (*shown_default)(const HostOptions& defaults) = nullptr;
};

std::span<const HostOption> HostOptionTable();

// The entry of NAME, or nullptr.
const HostOption* FindHostOption(std::string_view name);

// "--name ARGUMENT", as --help and the README list an option.
std::string OptionSynopsis(const HostOption& option);

}  // namespace mirelda::host

#include "host/options/host_options.h"

#include <fstream>
#include <string_view>

#include "host/options/option_table.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::host {
namespace {

constexpr size_t kHelpIndent = 26;
constexpr size_t kHelpWidth = 78;

using Section = std::vector<std::pair<std::string, std::string>>;  // key, value

// Sets one option from its table entry; nullptr is an option the table does not know.
void Apply(const HostOption* option, const OptionValue& value, HostOptions& options) {
  if (!option) throw Error(errc::kInvalidProcedureCall, "unknown option --" + value.name);
  option->set(value, options);
}

// Lines before the first "[section]" are host options; the lines of a section go to it. Every
// fault names the file and the line.
void ReadConfigFile(const std::filesystem::path& file, HostOptions& options) {
  std::ifstream in(file);
  if (!in) throw Error(errc::kInvalidProcedureCall, "cannot read the config file " + file.string());
  std::filesystem::path base = std::filesystem::absolute(file).parent_path();
  Section* section = nullptr;
  std::string line;
  int number = 0;
  auto fault = [&](const std::string& what) {
    return Error(errc::kInvalidProcedureCall,
                 file.string() + ":" + std::to_string(number) + ": " + what);
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string trimmed = text::Trim(line);
    while (!trimmed.empty() && trimmed[0] == '\t') trimmed = text::Trim(trimmed.substr(1));
    if (trimmed.empty() || trimmed[0] == '#') continue;
    if (trimmed[0] == '[') {
      std::string name = trimmed.size() > 2 && trimmed.back() == ']'
                             ? text::Trim(trimmed.substr(1, trimmed.size() - 2))
                             : std::string();
      if (name.empty()) throw fault("expected \"[section]\"");
      section = &options.sections.emplace_back(name, Section{}).second;
      continue;
    }
    size_t split = std::min(trimmed.find('='), trimmed.find_first_of(" \t"));
    if (split == std::string::npos) throw fault("expected \"name = value\"");
    std::string name = text::Trim(trimmed.substr(0, split));
    std::string rest = text::Trim(trimmed.substr(split));
    if (!rest.empty() && rest[0] == '=') rest = text::Trim(rest.substr(1));
    if (section) {
      section->emplace_back(name, rest);
      continue;
    }
    const HostOption* option = FindHostOption(name);
    if (option && option->command_line_only) throw fault(name + " has no place in a config file");
    try {
      Apply(option, OptionValue{name, rest, base}, options);
    } catch (const Error& e) {
      throw fault(e.what());
    }
  }
}

// Appends the words of HELP and then TAIL, which is not broken, to OUT in lines of at most
// kHelpWidth, each after kHelpIndent blanks but the first, which continues the line OUT ends with.
void Wrap(std::string_view help, const std::string& tail, std::string& out) {
  std::vector<std::string_view> units;
  for (size_t end; !help.empty();
       help = end == std::string_view::npos ? "" : help.substr(end + 1)) {
    end = help.find(' ');
    units.push_back(help.substr(0, end));
  }
  if (!tail.empty()) units.push_back(tail);
  size_t column = kHelpIndent;
  for (std::string_view unit : units) {
    if (column > kHelpIndent && column + 1 + unit.size() > kHelpWidth) {
      out += "\n" + std::string(kHelpIndent, ' ');
      column = kHelpIndent;
    } else if (column > kHelpIndent) {
      out += ' ';
      ++column;
    }
    out += unit;
    column += unit.size();
  }
  out += '\n';
}

}  // namespace

std::string HostUsage() {
  std::string usage =
      "usage: mirelda-host --site DIR [options]\n"
      "       mirelda-host --check DIR [options]\n"
      "Serves the site folder DIR: .asp files are script pages (VBScript or JavaScript), other\n"
      "files are sent as they are, except page sources, includes, database files and hidden\n"
      "files.\n"
      "\n";
  const HostOptions defaults;
  for (const HostOption& option : HostOptionTable()) {
    // A synopsis too long for its column puts the help on the next line.
    std::string synopsis = "  " + OptionSynopsis(option);
    usage += synopsis.size() < kHelpIndent
                 ? synopsis + std::string(kHelpIndent - synopsis.size(), ' ')
                 : synopsis + "\n" + std::string(kHelpIndent, ' ');
    Wrap(option.help,
         option.shown_default ? "(default " + option.shown_default(defaults) + ")" : "", usage);
  }
  usage +=
      "\n"
      "Sections of the config file:\n"
      "  [mail] smtp-server HOST:PORT  where CDO.Message sends when its Configuration\n"
      "                          names no smtpserver; with it smtp-user and smtp-password\n"
      "                          (basic logon), smtp-ssl yes|no (TLS: from the start on port\n"
      "                          465, else STARTTLS), smtp-timeout SEC (connect, 30) and from\n"
      "                          (the From of a message that sets none)\n"
      "  [http] allow HOST[:PORT] ...  the hosts MSXML2.ServerXMLHTTP may reach, also after\n"
      "                          a redirect; \"*\" or no key: any host\n"
      "\n"
      "On start it prints \"mirelda-host: serving DIR at http://ADDR:PORT/\" to standard\n"
      "output. It logs one line per request and every page error to standard error, and on\n"
      "SIGINT or SIGTERM finishes the requests in flight and exits 0. SIGHUP reads the config\n"
      "file again: its [sections] apply to pages that start afterwards; options that need a\n"
      "restart are named in the log; a file that no longer parses changes nothing.\n";
  return usage;
}

HostOptions ParseHostOptions(int argc, const char* const* argv) {
  std::vector<std::pair<const HostOption*, OptionValue>> command_line;
  std::optional<std::filesystem::path> config;
  HostOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h") arg = "--help";
    if (arg.rfind("--", 0) != 0)
      throw Error(errc::kInvalidProcedureCall, "unexpected argument " + arg);
    OptionValue value{arg.substr(2), "", {}};
    size_t eq = value.name.find('=');
    bool given = eq != std::string::npos;
    if (given) {
      value.text = value.name.substr(eq + 1);
      value.name.resize(eq);
    }
    const HostOption* option = FindHostOption(value.name);
    if (option && option->kind == OptionKind::kStop) {
      option->set(value, options);
      return options;
    }
    if (!given) {
      if (option && option->kind == OptionKind::kSwitch) {
        value.text = "yes";  // a switch takes no value of its own on the command line
      } else if (i + 1 >= argc) {
        throw Error(errc::kInvalidProcedureCall, "--" + value.name + " needs a value");
      } else {
        value.text = argv[++i];
      }
    }
    if (value.name == "config") {
      if (value.text.empty()) throw Error(errc::kInvalidProcedureCall, "--config needs a file");
      config = value.text;
    } else {
      command_line.emplace_back(option, std::move(value));
    }
  }
  if (config) ReadConfigFile(*config, options);
  for (const auto& [option, value] : command_line) Apply(option, value, options);
  if (options.site.empty() && !options.check) {
    throw Error(errc::kInvalidProcedureCall, "--site DIR is required");
  }
  return options;
}

}  // namespace mirelda::host

#include "host/options/option_table.h"

#include <array>

#include "host/options/option_setters.h"

namespace mirelda::host {
namespace {

using std::to_string;
using K = OptionKind;

std::string Seconds(std::chrono::seconds s) { return to_string(s.count()); }

// The order is the order of --help and of the README's list.
constexpr auto kOptions = std::to_array<HostOption>({
    {.name = "site",
     .argument = "DIR",
     .help = "the site folder (required unless --check is given)",
     .set = [](const OptionValue& v, HostOptions& o) { o.site = ParsePath(v, "a site folder"); }},
    {.name = "check",
     .argument = "DIR",
     .help = "serves nothing: compiles global.asa and every .asp file under DIR and prints each "
             "fault as \"FILE:LINE:COL: error NUMBER: DESCRIPTION\" (syntax errors, names Option "
             "Explicit refuses, calls of functions nothing defines, ProgIDs this host cannot "
             "create), then \"N pages checked, M problems\"; exits 1 when it found any, 0 when "
             "none, 2 when DIR is not a folder",
     .command_line_only = true,
     .set = [](const OptionValue& v, HostOptions& o) { o.check = ParsePath(v, "a site folder"); }},
    {.name = "listen",
     .argument = "ADDR:PORT",
     .help = "where to listen; port 0 picks a free port",
     .set = SetListen,
     .shown_default =
         [](const HostOptions& d) { return d.listen_address + ":" + to_string(d.listen_port); }},
    {.name = "data",
     .argument = "DIR",
     .help = "data folder; drive C: is DIR/c unless --drive sets it",
     .set = [](const OptionValue& v, HostOptions& o) { o.data = ParsePath(v, "a folder"); },
     .shown_default = [](const HostOptions& d) { return "./" + d.data.string(); }},
    {.name = "drive",
     .argument = "X:=FOLDER",
     .help = "maps drive X: of page paths to FOLDER (repeatable)",
     .set = SetDrive},
    {.name = "site-drive",
     .argument = "X",
     .help = "the drive that stands for the site folder in page paths",
     .set = SetSiteDrive,
     .shown_default = [](const HostOptions& d) { return std::string(1, d.site_drive); }},
    {.name = "codepage",
     .argument = "N",
     .help = "code page of requests and responses: 936 (GBK) or 65001 (UTF-8)",
     .set = [](const OptionValue& v,
               HostOptions& o) { o.code_page = static_cast<int32_t>(ParseUnsigned(v, 65535)); },
     .shown_default = [](const HostOptions& d) { return to_string(d.code_page); }},
    {.name = "default-language",
     .argument = "L",
     .help = "language of pages that name none: VBScript or JavaScript (also JScript)",
     .set =
         [](const OptionValue& v, HostOptions& o) {
           if (v.text.empty()) RefuseValue(v, "needs a language name");
           o.default_language = v.text;
         },
     .shown_default = [](const HostOptions& d) { return d.default_language; }},
    {.name = "registry",
     .argument = "FILE",
     .help = "registration store",
     .set = [](const OptionValue& v, HostOptions& o) { o.registry = ParsePath(v, "a file"); },
     .shown_default =
         [](const HostOptions&) { return std::string("$MIRELDA_REGISTRY, else DATA/registry"); }},
    {.name = "session-timeout",
     .argument = "MIN",
     .help = "idle minutes until a session ends; \"90s\" for seconds",
     .set = [](const OptionValue& v, HostOptions& o) { o.session_timeout = ParseMinutes(v); },
     .shown_default =
         [](const HostOptions& d) { return to_string(d.session_timeout.count() / 60); }},
    {.name = "max-sessions",
     .argument = "N",
     .help = "the most sessions kept at once; a new visitor past it gets none until one ends",
     .set =
         [](const OptionValue& v, HostOptions& o) {
           o.max_sessions = ParseUnsigned(v, 100000000);
           if (o.max_sessions == 0) RefuseValue(v, "must be more than 0");
         },
     .shown_default = [](const HostOptions& d) { return to_string(d.max_sessions); }},
    {.name = "session-store",
     .argument = "URL",
     .help = "where sessions are kept; empty keeps them in this process's memory",
     .set =
         [](const OptionValue& v, HostOptions& o) {
           RefuseControlCharacters(v, v.text);
           o.session_store = v.text;
         },
     .shown_default =
         [](const HostOptions& d) {
           return d.session_store.empty() ? std::string("memory") : d.session_store;
         }},
    {.name = "script-timeout",
     .argument = "SEC",
     .help = "seconds a page may run",
     .set = [](const OptionValue& v, HostOptions& o) { o.script_timeout = ParseSeconds(v, false); },
     .shown_default = [](const HostOptions& d) { return Seconds(d.script_timeout); }},
    {.name = "script-memory",
     .argument = "BYTES",
     .help = "the most one page's script values may hold (k, M and G suffixes); a page that "
             "needs more fails with Out of memory",
     .set =
         [](const OptionValue& v, HostOptions& o) {
           o.script_memory = ParseBytes(v);
           if (o.script_memory < 4096) RefuseValue(v, "must be at least 4k");
         },
     .shown_default = [](const HostOptions& d) { return FormatBytes(d.script_memory); }},
    {.name = "max-body",
     .argument = "BYTES",
     .help = "largest request body (k, M and G suffixes); larger ones are answered 413 before "
             "the page runs",
     .set = [](const OptionValue& v, HostOptions& o) { o.max_body = ParseBytes(v); },
     .shown_default = [](const HostOptions& d) { return FormatBytes(d.max_body); }},
    {.name = "body-buffer",
     .argument = "BYTES",
     .help = "bodies larger than this are kept in an unlinked file in the data folder while "
             "they arrive, not in memory",
     .set = [](const OptionValue& v, HostOptions& o) { o.body_buffer = ParseBytes(v); },
     .shown_default = [](const HostOptions& d) { return FormatBytes(d.body_buffer); }},
    {.name = "body-timeout",
     .argument = "SEC",
     .help = "a body that sends nothing for this long is dropped",
     .set = [](const OptionValue& v, HostOptions& o) { o.body_timeout = ParseSeconds(v, false); },
     .shown_default = [](const HostOptions& d) { return Seconds(d.body_timeout); }},
    {.name = "connection-timeout",
     .argument = "SEC",
     .help = "an idle connection is closed after this many seconds (\"30s\" is also taken)",
     .set = [](const OptionValue& v,
               HostOptions& o) { o.connection_timeout = ParseSeconds(v, true); },
     .shown_default = [](const HostOptions& d) { return Seconds(d.connection_timeout); }},
    {.name = "max-connections",
     .argument = "N",
     .help = "the most connections open at once; more wait to be accepted",
     .set =
         [](const OptionValue& v, HostOptions& o) {
           o.max_connections = static_cast<unsigned>(ParseUnsigned(v, 1048576));
           if (o.max_connections == 0) RefuseValue(v, "must be more than 0");
         },
     .shown_default = [](const HostOptions& d) { return to_string(d.max_connections); }},
    {.name = "compress",
     .argument = "on|off",
     .help = "gzip text replies over 1k for clients that accept it",
     .set = [](const OptionValue& v, HostOptions& o) { o.compress = ParseOnOff(v); },
     .shown_default = [](const HostOptions& d) { return std::string(d.compress ? "on" : "off"); }},
    {.name = "mime-types",
     .argument = "FILE",
     .help = "the table of file name extensions and the content types static files are sent with",
     .set = [](const OptionValue& v, HostOptions& o) { o.mime_types = ParsePath(v, "a file"); },
     .shown_default = [](const HostOptions& d) { return d.mime_types.string(); }},
    {.name = "threading",
     .argument = "pool|connection",
     .help = "pool: a few connection threads serve every connection and hand pages to the page "
             "workers; connection: each connection has a thread of its own that runs its pages "
             "itself, which is fastest for clients and proxies that keep their connections open "
             "and slowest for those that connect anew for each request",
     .set =
         [](const OptionValue& v, HostOptions& o) {
           if (v.text != "pool" && v.text != "connection") {
             RefuseValue(v, "takes pool or connection, not \"" + v.text + "\"");
           }
           o.thread_per_connection = v.text == "connection";
         },
     .shown_default =
         [](const HostOptions& d) {
           return std::string(d.thread_per_connection ? "connection" : "pool");
         }},
    {.name = "quick-pages",
     .argument = "on|off",
     .help = "on: with --threading pool, a page whose runs have each taken under a millisecond "
             "without waiting, many times in a row, runs on the connection thread that read its "
             "request instead of being handed to a worker; a run that takes longer "
             "hands it to the workers again. off: every page goes to a worker",
     .set = [](const OptionValue& v, HostOptions& o) { o.quick_pages = ParseOnOff(v); },
     .shown_default =
         [](const HostOptions& d) { return std::string(d.quick_pages ? "on" : "off"); }},
    {.name = "workers",
     .argument = "N",
     .help = "threads that run pages (with --threading connection: the most pages that run at "
             "once)",
     .set = [](const OptionValue& v,
               HostOptions& o) { o.workers = static_cast<unsigned>(ParseUnsigned(v, 1024)); },
     .shown_default =
         [](const HostOptions& d) {
           return d.workers ? to_string(d.workers) : std::string("4 per processor, at least 8");
         }},
    {.name = "io-threads",
     .argument = "N",
     .help = "threads that read and write connections (with --threading pool)",
     .set =
         [](const OptionValue& v, HostOptions& o) {
           o.io_threads = static_cast<unsigned>(ParseUnsigned(v, 64));
           if (o.io_threads == 0) RefuseValue(v, "must be more than 0");
         },
     .shown_default = [](const HostOptions& d) { return to_string(d.io_threads); }},
    {.name = "header",
     .argument = "NAME:VALUE",
     .help = "sends NAME with every reply that does not set it itself (repeatable); \"NAME:\" "
             "drops it. By default replies carry X-Content-Type-Options: nosniff, "
             "Referrer-Policy: same-origin and X-Frame-Options: SAMEORIGIN",
     .set = SetHeader},
    {.name = "secure-cookies",
     .argument = "",
     .help = "the session cookie carries Secure (a site served over HTTPS); "
             "\"secure-cookies = yes\" in a config file",
     .kind = K::kSwitch,
     .set = [](const OptionValue& v, HostOptions& o) { o.secure_cookies = ParseSwitch(v); }},
    {.name = "error-page",
     .argument = "STATUS=URLPATH",
     .help = "the page of the site sent in place of the host's own reply of that status, as "
             "in 404=/errors/404.html (repeatable)",
     .set = SetErrorPage},
    {.name = "debug-errors",
     .argument = "",
     .help = "error replies show the fault of the page, its file and line (for development)",
     .kind = K::kSwitch,
     .set = [](const OptionValue& v, HostOptions& o) { o.debug_errors = ParseSwitch(v); }},
    {.name = "health-path",
     .argument = "PATH",
     .help = "a URL path such as /health that the host answers itself, to show that it serves; "
             "none by default",
     .set = SetHealthPath},
    {.name = "access-log",
     .argument = "FILE",
     .help = "where the line of each request goes",
     .set = [](const OptionValue& v, HostOptions& o) { o.access_log = ParsePath(v, "a file"); },
     .shown_default = [](const HostOptions&) { return std::string("standard error"); }},
    {.name = "error-log",
     .argument = "FILE",
     .help = "where page errors and the host's own messages go",
     .set = [](const OptionValue& v, HostOptions& o) { o.error_log = ParsePath(v, "a file"); },
     .shown_default = [](const HostOptions&) { return std::string("standard error"); }},
    {.name = "trusted-proxy",
     .argument = "ADDR[/PREFIX]",
     .help = "a proxy whose X-Forwarded-For and X-Forwarded-Proto are believed (repeatable)",
     .set = SetTrustedProxy},
    {.name = "config",
     .argument = "FILE",
     .help = "reads \"name = value\" lines with the option names of this list (without \"--\"); "
             "options on the command line win; relative paths in it are taken from its folder; "
             "after a \"[section]\" line (\"[dsn]\", \"[mail]\", \"[http]\") the lines are "
             "settings of the objects pages create",
     .command_line_only = true},
    {.name = "version",
     .argument = "",
     .help = "prints the release of this program",
     .kind = K::kStop,
     .command_line_only = true,
     .set = [](const OptionValue&, HostOptions& o) { o.version = true; }},
    {.name = "help",
     .argument = "",
     .help = "this text",
     .kind = K::kStop,
     .command_line_only = true,
     .set = [](const OptionValue&, HostOptions& o) { o.help = true; }},
});

}  // namespace

std::span<const HostOption> HostOptionTable() { return kOptions; }

const HostOption* FindHostOption(std::string_view name) {
  for (const HostOption& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

std::string OptionSynopsis(const HostOption& option) {
  std::string synopsis = "--" + std::string(option.name);
  if (!option.argument.empty()) synopsis += " " + std::string(option.argument);
  return synopsis;
}

}  // namespace mirelda::host

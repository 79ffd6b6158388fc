// The command line and the config file of mirelda-host.
#include "host/options/host_options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "host/options/option_table.h"
#include "mirelda/error.h"
#include "support/temp_dir.h"

namespace mirelda::host {
namespace {

HostOptions Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "mirelda-host");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return ParseHostOptions(static_cast<int>(argv.size()), argv.data());
}

// Every field but the sections, one "name=value" line each.
std::string Describe(const HostOptions& o) {
  auto path = [](const std::optional<std::filesystem::path>& p) { return p ? p->string() : "-"; };
  auto yes = [](bool b) { return b ? "yes" : "no"; };
  std::ostringstream out;
  out << "site=" << o.site.string() << "\nlisten=" << o.listen_address << ":" << o.listen_port
      << "\ndata=" << o.data.string() << "\ndrives=";
  for (const auto& [letter, folder] : o.drives) out << letter << ":" << folder.string() << " ";
  out << "\nsite-drive=" << o.site_drive << "\ncodepage=" << o.code_page
      << "\ndefault-language=" << o.default_language << "\nregistry=" << path(o.registry)
      << "\nsession-timeout=" << o.session_timeout.count()
      << "\nscript-timeout=" << o.script_timeout.count() << "\nmax-body=" << o.max_body
      << "\nbody-buffer=" << o.body_buffer << "\nbody-timeout=" << o.body_timeout.count()
      << "\nconnection-timeout=" << o.connection_timeout.count()
      << "\nmax-connections=" << o.max_connections << "\ncompress=" << (o.compress ? "on" : "off")
      << "\nscript-memory=" << o.script_memory << "\nworkers=" << o.workers
      << "\nio-threads=" << o.io_threads
      << "\nthreading=" << (o.thread_per_connection ? "connection" : "pool") << "\nheaders=";
  for (const auto& [name, value] : o.headers) out << name << ": " << value << "|";
  out << "\nsecure-cookies=" << yes(o.secure_cookies) << "\nmax-sessions=" << o.max_sessions
      << "\nsession-store=" << o.session_store << "\ndebug-errors=" << yes(o.debug_errors)
      << "\nerror-pages=";
  for (const auto& [status, page] : o.error_pages) out << status << page << " ";
  out << "\naccess-log=" << path(o.access_log) << "\nerror-log=" << path(o.error_log)
      << "\ntrusted-proxies=";
  for (const std::string& proxy : o.trusted_proxies) out << proxy << " ";
  out << "\nhealth-path=" << o.health_path << "\nmime-types=" << o.mime_types.string()
      << "\nhelp=" << yes(o.help) << "\ncheck=" << path(o.check) << "\n";
  return out.str();
}

const char kDefaults[] =
    "site=x\nlisten=127.0.0.1:8080\ndata=var\ndrives=\nsite-drive=S\ncodepage=936\n"
    "default-language=VBScript\nregistry=-\nsession-timeout=1200\nscript-timeout=90\n"
    "max-body=67108864\nbody-buffer=262144\nbody-timeout=60\nconnection-timeout=30\n"
    "max-connections=1024\ncompress=on\nscript-memory=536870912\nworkers=0\nio-threads=2\n"
    "threading=pool\n"
    "headers=X-Content-Type-Options: nosniff|Referrer-Policy: same-origin|"
    "X-Frame-Options: SAMEORIGIN|\nsecure-cookies=no\nmax-sessions=100000\nsession-store=\n"
    "debug-errors=no\nerror-pages=\naccess-log=-\nerror-log=-\ntrusted-proxies=\n"
    "health-path=\nmime-types=/etc/mime.types\nhelp=no\ncheck=-\n";

// The defaults' description with the given "name=value" lines in place of theirs.
std::string WithLines(const std::string& lines) {
  std::string expected = kDefaults;
  std::stringstream in(lines);
  for (std::string line; std::getline(in, line);) {
    size_t at = expected.find("\n" + line.substr(0, line.find('=') + 1)) + 1;
    expected.replace(at, expected.find('\n', at) - at, line);
  }
  return expected;
}

// Each row: the options after --site x, and the lines of Describe that differ from the defaults.
TEST(HostOptions, DefaultsAndWhatEachOptionSets) {
  EXPECT_EQ(Describe(Parse({"--site", "x"})), kDefaults);
  struct Row {
    std::vector<std::string> args;
    std::string lines;
  };
  for (const Row& row : std::vector<Row>{
           {{"--listen", "[::1]:0", "--drive", "d:=/srv/d", "--drive=E:=/e", "--codepage", "65001",
             "--session-timeout", "90s", "--max-body", "2M", "--registry", "r", "--site-drive", "w",
             "--script-memory", "64k", "--mime-types", "types"},
            "listen=::1:0\ndrives=D:/srv/d E:/e \nsite-drive=W\ncodepage=65001\nregistry=r\n"
            "session-timeout=90\nmax-body=2097152\nscript-memory=65536\nmime-types=types\n"},
           {{"--connection-timeout", "45", "--max-sessions", "5", "--max-connections", "10",
             "--debug-errors", "--health-path", "/health", "--session-store",
             "postgresql://db/sessions", "--threading", "connection"},
            "connection-timeout=45\nmax-connections=10\nthreading=connection\nmax-sessions=5\n"
            "session-store=postgresql://db/sessions\ndebug-errors=yes\nhealth-path=/health\n"},
           {{"--connection-timeout=45s"}, "connection-timeout=45\n"},
           {{"--debug-errors=off"}, ""},
           {{"--error-page", "404=/errors/404.html", "--error-page", "500=/e/500.asp",
             "--error-page=404=/missing.asp"},
            "error-pages=500/e/500.asp 404/missing.asp \n"},
           {{"--access-log", "logs/access.log", "--error-log", "/var/log/e.log"},
            "access-log=logs/access.log\nerror-log=/var/log/e.log\n"},
           {{"--trusted-proxy", "10.0.0.0/8", "--trusted-proxy", "::1", "--trusted-proxy",
             "192.0.2.7"},
            "trusted-proxies=10.0.0.0/8 ::1 192.0.2.7 \n"},
           {{"--body-buffer", "1M", "--body-timeout", "5"},
            "body-buffer=1048576\nbody-timeout=5\n"},
           {{"--workers", "3", "--io-threads", "4", "--compress", "off"},
            "compress=off\nworkers=3\nio-threads=4\n"},
           {{"--script-timeout", "7", "--session-timeout", "2"},
            "session-timeout=120\nscript-timeout=7\n"},
           {{"--secure-cookies", "--listen", "127.0.0.1:1"},
            "listen=127.0.0.1:1\nsecure-cookies=yes\n"},
           {{"--secure-cookies=no"}, ""},
           {{"--header", "x-frame-options:"},
            "headers=X-Content-Type-Options: nosniff|Referrer-Policy: same-origin|\n"},
           {{"--header", "Referrer-Policy: no-referrer", "--header=X-Extra:a:b"},
            "headers=X-Content-Type-Options: nosniff|X-Frame-Options: SAMEORIGIN|"
            "Referrer-Policy: no-referrer|X-Extra: a:b|\n"},
       }) {
    std::vector<std::string> args = {"--site", "x"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    EXPECT_EQ(Describe(Parse(args)), WithLines(row.lines)) << ::testing::PrintToString(row.args);
  }
  // --site and --help take the equals form too; --help and --check need no --site.
  EXPECT_EQ(Parse({"--site=www"}).site, "www");
  EXPECT_TRUE(Parse({"--help"}).help);
  HostOptions o = Parse({"--check", "www", "--registry", "r"});
  EXPECT_EQ(o.check, std::filesystem::path("www"));
  EXPECT_EQ(o.registry, std::filesystem::path("r"));
}

TEST(HostOptions, ConfigFileUnderTheCommandLine) {
  mirelda::testing::TempDir dir;
  std::ofstream(dir / "host.conf") << "# site settings\n"
                                      "site = /srv/site\n"
                                      "listen 0.0.0.0:8081\r\n"
                                      "drive = C:=/srv/c\n"
                                      "\n"
                                      "session-timeout = 5\n"
                                      "default-language = VBScript\n"
                                      "secure-cookies = yes\n"
                                      "header = X-Frame-Options: DENY\n"
                                      "[dsn]\n"
                                      "shop = Driver={SQL Server};Server=db;Database=shop\n"
                                      "[ mail ]\n"
                                      "smtp-server = 127.0.0.1:25\n";
  HostOptions o = Parse({"--config", (dir / "host.conf").string(), "--listen", "127.0.0.1:9"});
  EXPECT_EQ(Describe(o), WithLines("site=/srv/site\nlisten=127.0.0.1:9\ndrives=C:/srv/c \n"
                                   "session-timeout=300\nsecure-cookies=yes\nheaders="
                                   "X-Content-Type-Options: nosniff|Referrer-Policy: same-origin|"
                                   "X-Frame-Options: DENY|\n"));
  // A section's lines are settings of the objects pages create, not host options: the value
  // keeps its own "=" and braces.
  EXPECT_EQ(o.sections, (decltype(o.sections){
                            {"dsn", {{"shop", "Driver={SQL Server};Server=db;Database=shop"}}},
                            {"mail", {{"smtp-server", "127.0.0.1:25"}}}}));
}

// Each row: the command line, after --site x where site is true, and the message it is refused
// with.
TEST(HostOptions, BadValuesAreRefusedWithTheirName) {
  mirelda::testing::TempDir dir;
  std::string missing = (dir / "missing.conf").string();
  struct Row {
    std::vector<std::string> args;
    std::string message;
    bool site = true;
  };
  for (const Row& row : std::vector<Row>{
           {{}, "--site DIR is required", false},
           {{"--site"}, "--site needs a value", false},
           {{"--site", ""}, "--site needs a site folder", false},
           {{"stray"}, "unexpected argument stray", false},
           {{"--listen", "8080"}, "--listen takes ADDRESS:PORT, not \"8080\""},
           {{"--listen", "127.0.0.1:70000"}, "--listen is at most 65535"},
           {{"--drive", "=/x"}, "--drive takes X:=FOLDER, not \"=/x\""},
           {{"--drive", "CD:=/x"}, "--drive takes X:=FOLDER, not \"CD:=/x\""},
           {{"--site-drive", "7"}, "--site-drive takes a drive letter, not \"7\""},
           {{"--session-timeout", "0"}, "--session-timeout must be more than 0"},
           {{"--max-body", "12Q"}, "--max-body takes a number, not \"12Q\""},
           {{"--script-memory", "100"}, "--script-memory must be at least 4k"},
           {{"--default-language", ""}, "--default-language needs a language name"},
           {{"--frobnicate", "1"}, "unknown option --frobnicate"},
           {{"--config", missing}, "cannot read the config file " + missing, false},
           {{"--check"}, "--check needs a value", false},
           {{"--check", ""}, "--check needs a site folder", false},
           {{"--header", "NoColon"}, "--header takes NAME:VALUE, not \"NoColon\""},
           {{"--header", "Bad Name:1"}, "--header takes NAME:VALUE, not \"Bad Name:1\""},
           {{"--header", "X-A:one\r\nSet-Cookie: b=2"},
            "--header X-A has a control character in its value"},
           {{"--secure-cookies=maybe"}, "--secure-cookies takes yes or no, not \"maybe\""},
           {{"--compress", "yes"}, "--compress takes on or off, not \"yes\""},
           {{"--threading", "event"}, "--threading takes pool or connection, not \"event\""},
           {{"--max-sessions", "0"}, "--max-sessions must be more than 0"},
           {{"--max-connections", "0"}, "--max-connections must be more than 0"},
           {{"--connection-timeout", "0s"}, "--connection-timeout must be more than 0"},
           {{"--connection-timeout", "half"}, "--connection-timeout takes a number, not \"half\""},
           {{"--debug-errors=maybe"}, "--debug-errors takes yes or no, not \"maybe\""},
           {{"--access-log", ""}, "--access-log needs a file"},
           {{"--mime-types", ""}, "--mime-types needs a file"},
           {{"--mime-types="}, "--mime-types needs a file"},
           {{"--session-store", "a\nb"}, "--session-store has a control character in its value"},
           {{"--trusted-proxy", "proxy.example"},
            "--trusted-proxy takes an IP address, optionally with /PREFIX, not \"proxy.example\""},
           {{"--trusted-proxy", "10.0.0.0/33"}, "--trusted-proxy is at most 32"},
           {{"--health-path", "health"},
            "--health-path takes a path from the site's root such as /health, not \"health\""},
       }) {
    std::vector<std::string> args = row.args;
    if (row.site) args.insert(args.begin(), {"--site", "x"});
    try {
      Parse(args);
      ADD_FAILURE() << "taken: " << ::testing::PrintToString(row.args);
    } catch (const mirelda::Error& e) {
      EXPECT_EQ(e.what(), row.message);
    }
  }
  for (const char* page :
       {"404", "399=/x", "600=/x", "404=x.html", "404=/a b", "40=/x", "4040=/x"}) {
    EXPECT_THROW(Parse({"--site", "x", "--error-page", page}), mirelda::Error) << page;
  }
}

// Each row: a config file and the fault, which names the file and the line.
TEST(HostOptions, ConfigFaultsNameTheFileAndLine) {
  mirelda::testing::TempDir dir;
  struct Row {
    std::string text;
    std::string fault;
  };
  for (const Row& row : std::vector<Row>{
           {"site = x\nnonsense\n", "2: expected \"name = value\""},
           {"check = x\n", "1: check has no place in a config file"},
           {"site = x\n# comment\nconfig = other.conf\n",
            "3: config has no place in a config file"},
           {"site = x\n[]\nkey = value\n", "2: expected \"[section]\""},
           {"site = x\n[dsn\n", "2: expected \"[section]\""},
           {"listen = 8080\n", "1: --listen takes ADDRESS:PORT, not \"8080\""},
           {"\n\nfrobnicate = 1\n", "3: unknown option --frobnicate"},
           {"max-sessions = 0\n", "1: --max-sessions must be more than 0"},
           {"data =\n", "1: --data needs a folder"},
           {"error-page = 999=/x\n",
            "1: --error-page takes STATUS=URLPATH with a status from 400 to 599 and a path from "
            "the site's root, not \"999=/x\""},
           {"secure-cookies\n", "1: expected \"name = value\""},
           {"site x\nscript-memory = 1k\n", "2: --script-memory must be at least 4k"},
       }) {
    std::ofstream(dir / "host.conf", std::ios::trunc) << row.text;
    std::string file = (dir / "host.conf").string();
    try {
      Parse({"--config", file});
      ADD_FAILURE() << "taken: " << row.text;
    } catch (const mirelda::Error& e) {
      EXPECT_EQ(e.what(), file + ":" + row.fault);
    }
  }
}

// A config file is written beside what it names; the command line speaks from where it runs.
TEST(HostOptions, ConfigPathsAreTakenFromItsFolder) {
  mirelda::testing::TempDir dir;
  std::filesystem::create_directories(dir / "etc");
  std::ofstream(dir / "etc/host.conf") << "site = www\n"
                                          "data = ../var\n"
                                          "drive = D:=d\n"
                                          "registry = reg/store\n"
                                          "access-log = logs/access.log\n"
                                          "error-log = /var/log/mirelda.log\n"
                                          "mime-types = mime.types\n"
                                          "[dsn]\n"
                                          "shop = Dbq=relative.mdb\n";
  std::filesystem::path etc = dir / "etc";
  HostOptions o = Parse({"--config", (dir / "etc/host.conf").string(), "--drive", "E:=e"});
  EXPECT_EQ(Describe(o),
            WithLines("site=" + (etc / "www").string() + "\ndata=" + (etc / "../var").string() +
                      "\ndrives=D:" + (etc / "d").string() +
                      " E:e \nregistry=" + (etc / "reg/store").string() +
                      "\nmime-types=" + (etc / "mime.types").string() + "\naccess-log=" +
                      (etc / "logs/access.log").string() + "\nerror-log=/var/log/mirelda.log\n"));
  // Section values belong to the objects that read them and stay as written.
  EXPECT_EQ(o.sections.at(0).second.at(0).second, "Dbq=relative.mdb");
  EXPECT_EQ(
      Describe(Parse({"--site", "www", "--data", "var", "--registry", "r", "--mime-types", "m"})),
      WithLines("site=www\ndata=var\nregistry=r\nmime-types=m\n"));
}

TEST(HostOptions, HelpListsEveryOptionWithItsDefault) {
  std::string usage = HostUsage();
  for (const HostOption& option : HostOptionTable()) {
    std::string synopsis = "\n  " + OptionSynopsis(option);
    size_t at = usage.find(synopsis);
    ASSERT_NE(at, std::string::npos) << synopsis;
    EXPECT_TRUE(usage[at + synopsis.size()] == ' ' || usage[at + synopsis.size()] == '\n')
        << synopsis;
  }
  for (const char* shown : {"(default 127.0.0.1:8080)", "(default 512M)", "(default 100000)",
                            "(default 30)", "(default 1024)", "(default /etc/mime.types)"}) {
    EXPECT_NE(usage.find(shown), std::string::npos) << shown;
  }
}

}  // namespace
}  // namespace mirelda::host

// The command line and the config file of mirelda-host.
#include "host/options/host_options.h"

#include <gtest/gtest.h>

#include <fstream>

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

TEST(HostOptions, DefaultsAndEveryFlag) {
  HostOptions o = Parse({"--site", "www"});
  EXPECT_EQ(o.site, "www");
  EXPECT_EQ(o.listen_address, "127.0.0.1");
  EXPECT_EQ(o.listen_port, 8080);
  EXPECT_EQ(o.data, "var");
  EXPECT_EQ(o.code_page, 936);
  EXPECT_EQ(o.session_timeout, std::chrono::minutes(20));
  EXPECT_EQ(o.default_language, "VBScript");
  EXPECT_EQ(o.script_memory, 512u << 20);
  EXPECT_EQ(o.mime_types, "/etc/mime.types");
  o = Parse({"--site=www", "--listen", "[::1]:0", "--drive", "d:=/srv/d", "--drive=E:=/e",
             "--codepage", "65001", "--session-timeout", "90s", "--max-body", "2M", "--registry",
             "r", "--site-drive", "w", "--script-memory", "64k", "--mime-types", "types"});
  EXPECT_EQ(o.mime_types, "types");
  EXPECT_THROW(Parse({"--site", "www", "--mime-types="}), mirelda::Error);
  EXPECT_EQ(o.listen_address, "::1");
  EXPECT_EQ(o.listen_port, 0);
  ASSERT_EQ(o.drives.size(), 2u);
  EXPECT_EQ(o.drives[0], (std::pair<char, std::filesystem::path>('D', "/srv/d")));
  EXPECT_EQ(o.drives[1].first, 'E');
  EXPECT_EQ(o.code_page, 65001);
  EXPECT_EQ(o.session_timeout, std::chrono::seconds(90));
  EXPECT_EQ(o.max_body, 2u << 20);
  EXPECT_EQ(o.script_memory, 64u << 10);
  EXPECT_EQ(o.site_drive, 'W');
  EXPECT_TRUE(Parse({"--help"}).help);
  // --check needs no --site: it names the site itself.
  o = Parse({"--check", "www", "--registry", "r"});
  EXPECT_EQ(o.check, std::filesystem::path("www"));
  EXPECT_EQ(o.registry, std::filesystem::path("r"));
  EXPECT_FALSE(Parse({"--site", "www"}).check);
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
                                      "[dsn]\n"
                                      "shop = Driver={SQL Server};Server=db;Database=shop\n"
                                      "[ mail ]\n"
                                      "smtp-server = 127.0.0.1:25\n";
  HostOptions o = Parse({"--config", (dir / "host.conf").string(), "--listen", "127.0.0.1:9"});
  EXPECT_EQ(o.site, "/srv/site");
  EXPECT_EQ(o.listen_address, "127.0.0.1");
  EXPECT_EQ(o.listen_port, 9);
  ASSERT_EQ(o.drives.size(), 1u);
  EXPECT_EQ(o.session_timeout, std::chrono::minutes(5));
  EXPECT_EQ(o.default_language, "VBScript");
  // A section's lines are settings of the objects pages create, not host options: the value
  // keeps its own "=" and braces.
  ASSERT_EQ(o.sections.size(), 2u);
  EXPECT_EQ(o.sections[0].first, "dsn");
  ASSERT_EQ(o.sections[0].second.size(), 1u);
  EXPECT_EQ(o.sections[0].second[0].first, "shop");
  EXPECT_EQ(o.sections[0].second[0].second, "Driver={SQL Server};Server=db;Database=shop");
  EXPECT_EQ(o.sections[1].first, "mail");
}

// Each row: the options after --site, then the standing headers as "Name: value" lines in order.
TEST(HostOptions, StandingHeadersAndSecureCookies) {
  const std::string defaults =
      "X-Content-Type-Options: nosniff\nReferrer-Policy: same-origin\n"
      "X-Frame-Options: SAMEORIGIN\n";
  struct Row {
    std::vector<std::string> args;
    std::string headers;
    bool secure;
  };
  for (const Row& row : std::vector<Row>{
           {{}, defaults, false},
           {{"--secure-cookies", "--listen", "127.0.0.1:1"}, defaults, true},
           {{"--secure-cookies=no"}, defaults, false},
           {{"--header", "x-frame-options:"},
            "X-Content-Type-Options: nosniff\nReferrer-Policy: same-origin\n",
            false},
           {{"--header", "Referrer-Policy: no-referrer", "--header=X-Extra:a:b"},
            "X-Content-Type-Options: nosniff\nX-Frame-Options: SAMEORIGIN\n"
            "Referrer-Policy: no-referrer\nX-Extra: a:b\n",
            false},
       }) {
    std::vector<std::string> args = {"--site", "x"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    HostOptions o = Parse(args);
    std::string headers;
    for (const auto& [name, value] : o.headers) headers += name + ": " + value + "\n";
    EXPECT_EQ(headers, row.headers) << row.args.size();
    EXPECT_EQ(o.secure_cookies, row.secure);
  }
  mirelda::testing::TempDir dir;
  std::ofstream(dir / "tls.conf")
      << "site = x\nsecure-cookies = yes\nheader = X-Frame-Options: DENY\n";
  HostOptions o = Parse({"--config", (dir / "tls.conf").string()});
  EXPECT_TRUE(o.secure_cookies);
  EXPECT_EQ(o.headers.back(), (std::pair<std::string, std::string>("X-Frame-Options", "DENY")));
}

// Each row: the options after --site, the field they set as text, and what it must read.
TEST(HostOptions, EachOptionSetsItsField) {
  using Field = std::string (*)(const HostOptions&);
  Field max_sessions = [](const HostOptions& o) { return std::to_string(o.max_sessions); };
  Field connection_timeout = [](const HostOptions& o) {
    return std::to_string(o.connection_timeout.count());
  };
  Field max_connections = [](const HostOptions& o) { return std::to_string(o.max_connections); };
  Field debug_errors = [](const HostOptions& o) {
    return std::string(o.debug_errors ? "yes" : "no");
  };
  Field error_pages = [](const HostOptions& o) {
    std::string pages;
    for (const auto& [status, path] : o.error_pages) pages += std::to_string(status) + path + " ";
    return pages;
  };
  Field access_log = [](const HostOptions& o) {
    return o.access_log ? o.access_log->string() : "-";
  };
  Field error_log = [](const HostOptions& o) { return o.error_log ? o.error_log->string() : "-"; };
  Field proxies = [](const HostOptions& o) {
    std::string list;
    for (const std::string& p : o.trusted_proxies) list += p + " ";
    return list;
  };
  Field health = [](const HostOptions& o) { return o.health_path; };
  Field store = [](const HostOptions& o) { return o.session_store; };
  Field mime = [](const HostOptions& o) { return o.mime_types.string(); };
  Field body = [](const HostOptions& o) {
    return std::to_string(o.body_buffer) + " " + std::to_string(o.body_timeout.count());
  };
  Field threads = [](const HostOptions& o) {
    return std::to_string(o.workers) + " " + std::to_string(o.io_threads) +
           (o.compress ? " on" : " off");
  };
  Field timeouts = [](const HostOptions& o) {
    return std::to_string(o.script_timeout.count()) + " " +
           std::to_string(o.session_timeout.count());
  };
  struct Row {
    std::vector<std::string> args;
    Field field;
    std::string expected;
  };
  for (const Row& row : std::vector<Row>{
           {{}, max_sessions, "100000"},
           {{"--max-sessions", "5"}, max_sessions, "5"},
           {{}, connection_timeout, "30"},
           {{"--connection-timeout", "45"}, connection_timeout, "45"},
           {{"--connection-timeout=45s"}, connection_timeout, "45"},
           {{}, max_connections, "1024"},
           {{"--max-connections", "10"}, max_connections, "10"},
           {{}, debug_errors, "no"},
           {{"--debug-errors"}, debug_errors, "yes"},
           {{"--debug-errors=off"}, debug_errors, "no"},
           {{}, error_pages, ""},
           {{"--error-page", "404=/errors/404.html", "--error-page", "500=/e/500.asp",
             "--error-page=404=/missing.asp"},
            error_pages,
            "500/e/500.asp 404/missing.asp "},
           {{}, access_log, "-"},
           {{"--access-log", "logs/access.log"}, access_log, "logs/access.log"},
           {{}, error_log, "-"},
           {{"--error-log", "/var/log/e.log"}, error_log, "/var/log/e.log"},
           {{}, proxies, ""},
           {{"--trusted-proxy", "10.0.0.0/8", "--trusted-proxy", "::1", "--trusted-proxy",
             "192.0.2.7"},
            proxies,
            "10.0.0.0/8 ::1 192.0.2.7 "},
           {{}, health, ""},
           {{"--health-path", "/health"}, health, "/health"},
           {{}, store, ""},
           {{"--session-store", "postgresql://db/sessions"}, store, "postgresql://db/sessions"},
           {{}, mime, "/etc/mime.types"},
           {{"--mime-types", "conf/mime.types"}, mime, "conf/mime.types"},
           {{}, body, "262144 60"},
           {{"--body-buffer", "1M", "--body-timeout", "5"}, body, "1048576 5"},
           {{}, threads, "0 2 on"},
           {{"--workers", "3", "--io-threads", "4", "--compress", "off"}, threads, "3 4 off"},
           {{}, timeouts, "90 1200"},
           {{"--script-timeout", "7", "--session-timeout", "2"}, timeouts, "7 120"},
       }) {
    std::vector<std::string> args = {"--site", "x"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    EXPECT_EQ(row.field(Parse(args)), row.expected) << ::testing::PrintToString(row.args);
  }
}

// Each row: the command line and the message it is refused with.
TEST(HostOptions, BadValuesAreRefusedWithTheirName) {
  mirelda::testing::TempDir dir;
  std::string missing = (dir / "missing.conf").string();
  struct Row {
    std::vector<std::string> args;
    std::string message;
  };
  for (const Row& row : std::vector<Row>{
           {{}, "--site DIR is required"},
           {{"--site"}, "--site needs a value"},
           {{"--site", ""}, "--site needs a site folder"},
           {{"stray"}, "unexpected argument stray"},
           {{"--site", "x", "--listen", "8080"}, "--listen takes ADDRESS:PORT, not \"8080\""},
           {{"--site", "x", "--listen", "127.0.0.1:70000"}, "--listen is at most 65535"},
           {{"--site", "x", "--drive", "=/x"}, "--drive takes X:=FOLDER, not \"=/x\""},
           {{"--site", "x", "--drive", "CD:=/x"}, "--drive takes X:=FOLDER, not \"CD:=/x\""},
           {{"--site", "x", "--site-drive", "7"}, "--site-drive takes a drive letter, not \"7\""},
           {{"--site", "x", "--session-timeout", "0"}, "--session-timeout must be more than 0"},
           {{"--site", "x", "--max-body", "12Q"}, "--max-body takes a number, not \"12Q\""},
           {{"--site", "x", "--script-memory", "100"}, "--script-memory must be at least 4k"},
           {{"--site", "x", "--default-language", ""}, "--default-language needs a language name"},
           {{"--site", "x", "--frobnicate", "1"}, "unknown option --frobnicate"},
           {{"--config", missing}, "cannot read the config file " + missing},
           {{"--check"}, "--check needs a value"},
           {{"--check", ""}, "--check needs a site folder"},
           {{"--site", "x", "--header", "NoColon"}, "--header takes NAME:VALUE, not \"NoColon\""},
           {{"--site", "x", "--header", "Bad Name:1"},
            "--header takes NAME:VALUE, not \"Bad Name:1\""},
           {{"--site", "x", "--header", "X-A:one\r\nSet-Cookie: b=2"},
            "--header X-A has a control character in its value"},
           {{"--site", "x", "--secure-cookies=maybe"},
            "--secure-cookies takes yes or no, not \"maybe\""},
           {{"--site", "x", "--compress", "yes"}, "--compress takes on or off, not \"yes\""},
           {{"--site", "x", "--max-sessions", "0"}, "--max-sessions must be more than 0"},
           {{"--site", "x", "--max-connections", "0"}, "--max-connections must be more than 0"},
           {{"--site", "x", "--connection-timeout", "0s"},
            "--connection-timeout must be more than 0"},
           {{"--site", "x", "--connection-timeout", "half"},
            "--connection-timeout takes a number, not \"half\""},
           {{"--site", "x", "--debug-errors=maybe"},
            "--debug-errors takes yes or no, not \"maybe\""},
           {{"--site", "x", "--access-log", ""}, "--access-log needs a file"},
           {{"--site", "x", "--mime-types", ""}, "--mime-types needs a file"},
           {{"--site", "x", "--session-store", "a\nb"},
            "--session-store has a control character in its value"},
           {{"--site", "x", "--trusted-proxy", "proxy.example"},
            "--trusted-proxy takes an IP address, optionally with /PREFIX, not \"proxy.example\""},
           {{"--site", "x", "--trusted-proxy", "10.0.0.0/33"}, "--trusted-proxy is at most 32"},
           {{"--site", "x", "--health-path", "health"},
            "--health-path takes a path from the site's root such as /health, not \"health\""},
       }) {
    try {
      Parse(row.args);
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
  EXPECT_EQ(o.site, etc / "www");
  EXPECT_EQ(o.data, etc / "../var");
  ASSERT_EQ(o.drives.size(), 2u);
  EXPECT_EQ(o.drives[0].second, etc / "d");
  EXPECT_EQ(o.drives[1].second, "e");
  EXPECT_EQ(o.registry, etc / "reg/store");
  EXPECT_EQ(o.access_log, etc / "logs/access.log");
  EXPECT_EQ(o.error_log, std::filesystem::path("/var/log/mirelda.log"));
  EXPECT_EQ(o.mime_types, etc / "mime.types");
  // Section values belong to the objects that read them and stay as written.
  EXPECT_EQ(o.sections.at(0).second.at(0).second, "Dbq=relative.mdb");
  o = Parse({"--site", "www", "--data", "var", "--registry", "r", "--mime-types", "m"});
  EXPECT_EQ(o.site, "www");
  EXPECT_EQ(o.data, "var");
  EXPECT_EQ(o.registry, std::filesystem::path("r"));
  EXPECT_EQ(o.mime_types, "m");
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

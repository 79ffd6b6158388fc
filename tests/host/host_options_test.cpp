// The command line and the config file of mirelda-host.
#include "host/options/host_options.h"

#include <gtest/gtest.h>

#include <fstream>

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
  EXPECT_EQ(o.connection_timeout, std::chrono::seconds(30));
  EXPECT_EQ(o.max_connections, 1024u);
  EXPECT_EQ(Parse({"--site", "w", "--connection-timeout", "5"}).connection_timeout,
            std::chrono::seconds(5));
  EXPECT_EQ(Parse({"--site", "w", "--connection-timeout=45s"}).connection_timeout,
            std::chrono::seconds(45));
  EXPECT_EQ(Parse({"--site", "w", "--max-connections", "10"}).max_connections, 10u);
  o = Parse({"--site=www", "--listen", "[::1]:0", "--drive", "d:=/srv/d", "--drive=E:=/e",
             "--codepage", "65001", "--session-timeout", "90s", "--max-body", "2M", "--registry",
             "r", "--site-drive", "w", "--script-memory", "64k"});
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

TEST(HostOptions, BadValuesAreRefusedWithTheirName) {
  mirelda::testing::TempDir dir;
  std::ofstream(dir / "bad.conf") << "site = x\nnonsense\n";
  // Checking is something the command line asks for, not a setting of a site.
  std::ofstream(dir / "check.conf") << "check = x\n";
  std::ofstream(dir / "section.conf") << "site = x\n[]\nkey = value\n";
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {},
           {"--site"},
           {"--site", "x", "--listen", "8080"},
           {"--site", "x", "--listen", "127.0.0.1:70000"},
           {"--site", "x", "--drive", "=/x"},
           {"--site", "x", "--drive", "CD:=/x"},
           {"--site", "x", "--session-timeout", "0"},
           {"--site", "x", "--max-body", "12Q"},
           {"--site", "x", "--script-memory", "100"},
           {"--site", "x", "--default-language", ""},
           {"--site", "x", "--frobnicate", "1"},
           {"--config", (dir / "bad.conf").string()},
           {"--config", (dir / "missing.conf").string()},
           {"--config", (dir / "check.conf").string()},
           {"--config", (dir / "section.conf").string()},
           {"--check"},
           {"--check", ""},
           {"--site", "x", "--header", "NoColon"},
           {"--site", "x", "--header", "Bad Name:1"},
           {"--site", "x", "--header", "X-A:one\r\nSet-Cookie: b=2"},
           {"--site", "x", "--secure-cookies=maybe"},
           {"--site", "x", "--connection-timeout", "0"},
           {"--site", "x", "--connection-timeout", "5m"},
           {"--site", "x", "--max-connections", "0"},
           {"--site", "x", "--max-connections", "many"},
       }) {
    EXPECT_THROW(Parse(args), std::invalid_argument);
  }
}

}  // namespace
}  // namespace mirelda::host

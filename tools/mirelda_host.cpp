// mirelda-host: serves a site folder over HTTP, running its .asp pages. See --help.
#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include "host/http/access_log.h"
#include "host/http/http_server.h"
#include "host/http/site.h"
#include "host/objects/code_page.h"
#include "host/options/host_options.h"
#include "host/page/page_runner.h"
#include "host/page/site_check.h"
#include "host/state/session_store.h"
#include "mirelda/error.h"
#include "mirelda/path_map.h"
#include "mirelda/settings.h"
#include "script/engines.h"

namespace {

using namespace mirelda::host;
namespace fs = std::filesystem;

// Creation by ProgID reads the store that --registry names, else MIRELDA_REGISTRY, else the one
// in the data folder.
void UseRegistry(const HostOptions& options, const fs::path& data) {
  if (options.registry) {
    ::setenv("MIRELDA_REGISTRY", fs::absolute(*options.registry).c_str(), 1);
  } else if (!std::getenv("MIRELDA_REGISTRY")) {
    ::setenv("MIRELDA_REGISTRY", (data / "registry").c_str(), 1);
  }
}

// The engine name of the language of pages that name none; empty (after saying so) when no
// engine runs that language.
std::string DefaultLanguage(const EngineRegistry& engines, const HostOptions& options) {
  std::string language = engines.Canonical(options.default_language);
  if (language.empty()) {
    std::cerr << "mirelda-host: this host runs no script language named \""
              << options.default_language << "\"\n";
  }
  return language;
}

int Check(const HostOptions& options) {
  if (!fs::is_directory(*options.check)) {
    std::cerr << "mirelda-host: the site folder " << *options.check << " does not exist\n";
    return 2;
  }
  if (!IsSupportedCodePage(options.code_page)) {
    std::cerr << "mirelda-host: the code page " << options.code_page << " is not supported\n";
    return 2;
  }
  // Checking writes nothing, so the data folder need not exist.
  UseRegistry(options, fs::absolute(options.data));
  EngineRegistry engines = mirelda::script::StandardEngines();
  SiteCheckSettings settings;
  settings.default_language = DefaultLanguage(engines, options);
  if (settings.default_language.empty()) return 2;
  settings.fallback_code_page = options.code_page;
  return CheckSite(fs::canonical(*options.check), engines, settings, std::cout) == 0 ? 0 : 1;
}

int Serve(const HostOptions& options) {
  if (!fs::is_directory(options.site)) {
    std::cerr << "mirelda-host: the site folder " << options.site << " does not exist\n";
    return 2;
  }
  if (!IsSupportedCodePage(options.code_page)) {
    std::cerr << "mirelda-host: the code page " << options.code_page << " is not supported\n";
    return 2;
  }
  fs::create_directories(options.data);
  fs::path data = fs::canonical(options.data);
  UseRegistry(options, data);

  EngineRegistry engines = mirelda::script::StandardEngines();
  std::string default_language = DefaultLanguage(engines, options);
  if (default_language.empty()) return 2;

  Site site(options.site);
  bool c_given = false;
  for (const auto& [letter, folder] : options.drives) c_given = c_given || letter == 'C';
  if (!c_given && options.site_drive != 'C') {
    fs::create_directories(data / "c");
    mirelda::paths::MapDrive('C', data / "c");
  }
  mirelda::paths::MapDrive(options.site_drive, site.root());
  for (const auto& [letter, folder] : options.drives) {
    fs::create_directories(folder);
    mirelda::paths::MapDrive(letter, folder);
  }
  for (auto& [section, entries] : options.sections) {
    mirelda::settings::SetSection(section, std::move(entries));
  }

  // Signals are taken by sigwait below, never by a thread that happens to run.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  AccessLog log;
  MemorySessionStore sessions;
  PageSettings page_settings;
  page_settings.code_page = options.code_page;
  page_settings.session_timeout = options.session_timeout;
  page_settings.script_timeout = options.script_timeout;
  page_settings.script_memory = static_cast<size_t>(options.script_memory);
  page_settings.default_language = default_language;
  page_settings.secure_cookies = options.secure_cookies;
  PageRunner pages(site, engines, page_settings, sessions, log);

  ServerSettings server_settings;
  server_settings.address = options.listen_address;
  server_settings.port = options.listen_port;
  server_settings.max_body = options.max_body;
  server_settings.io_threads = options.io_threads;
  server_settings.standing_headers = options.headers;
  unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  server_settings.workers = options.workers ? options.workers : std::max(8u, 4 * cores);
  HttpServer server(server_settings, site, pages, log);
  server.Start();

  std::string host = options.listen_address.find(':') != std::string::npos
                         ? "[" + options.listen_address + "]"
                         : options.listen_address;
  std::cout << "mirelda-host: serving " << site.root().string() << " at http://" << host << ":"
            << server.port() << "/" << std::endl;

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  log.Line(std::string("stopping on ") + (signal_number == SIGINT ? "SIGINT" : "SIGTERM") +
           ": finishing the requests in flight");
  bool finished = server.Shutdown(options.script_timeout + std::chrono::seconds(5));
  log.Line(finished ? "stopped" : "stopped after waiting for requests that did not finish");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  HostOptions options;
  try {
    options = ParseHostOptions(argc, argv);
  } catch (const std::invalid_argument& e) {
    std::cerr << "mirelda-host: " << e.what() << "\n(see mirelda-host --help)\n";
    return 2;
  }
  if (options.help) {
    std::cout << HostUsage();
    return 0;
  }
  try {
    return options.check ? Check(options) : Serve(options);
  } catch (const mirelda::Error& e) {
    std::cerr << "mirelda-host: " << e.description() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "mirelda-host: " << e.what() << "\n";
  }
  return 1;
}

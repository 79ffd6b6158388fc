// mirelda-host: serves a site folder over HTTP, running its .asp pages. See --help.
#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "host/http/access_log.h"
#include "host/http/http_server.h"
#include "host/http/site.h"
#include "host/objects/code_page.h"
#include "host/options/host_options.h"
#include "host/page/page_runner.h"
#include "host/page/site_check.h"
#include "host/state/postgres_application_state.h"
#include "host/state/postgres_session_store.h"
#include "host/state/session_store.h"
#include "mirelda/error.h"
#include "mirelda/path_map.h"
#include "mirelda/settings.h"
#include "mirelda/text.h"
#include "mirelda/version.h"
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

// The options a reload cannot apply to a running server, by name, when they differ.
std::vector<std::string> RestartOnlyChanges(const HostOptions& a, const HostOptions& b) {
  std::vector<std::string> changed;
  auto note = [&](const char* name, bool same) {
    if (!same) changed.emplace_back(name);
  };
  note("site", a.site == b.site);
  note("listen", a.listen_address == b.listen_address && a.listen_port == b.listen_port);
  note("data", a.data == b.data);
  note("drive", a.drives == b.drives);
  note("site-drive", a.site_drive == b.site_drive);
  note("codepage", a.code_page == b.code_page);
  note("default-language", a.default_language == b.default_language);
  note("registry", a.registry == b.registry);
  note("session-timeout", a.session_timeout == b.session_timeout);
  note("max-sessions", a.max_sessions == b.max_sessions);
  note("script-timeout", a.script_timeout == b.script_timeout);
  note("script-memory", a.script_memory == b.script_memory);
  note("max-body", a.max_body == b.max_body);
  note("workers", a.workers == b.workers);
  note("io-threads", a.io_threads == b.io_threads);
  note("threading", a.thread_per_connection == b.thread_per_connection);
  note("quick-pages", a.quick_pages == b.quick_pages);
  note("debug-errors", a.debug_errors == b.debug_errors);
  note("error-page", a.error_pages == b.error_pages);
  note("access-log", a.access_log == b.access_log);
  note("error-log", a.error_log == b.error_log);
  note("trusted-proxy", a.trusted_proxies == b.trusted_proxies);
  note("health-path", a.health_path == b.health_path);
  note("mime-types", a.mime_types == b.mime_types);
  note("connection-timeout", a.connection_timeout == b.connection_timeout);
  note("max-connections", a.max_connections == b.max_connections);
  return changed;
}

// SIGHUP: the log files are opened again (after a rotation renamed them), the config file is read
// again and its object settings ("[dsn]", "[mail]", ...)
// replace the old ones for the pages that start from now on; a file that no longer parses leaves
// everything as it was. Requests in flight are not touched.
void Reload(int argc, const char* const* argv, HostOptions& current, AccessLog& log) {
  log.Reopen();
  HostOptions next;
  try {
    next = ParseHostOptions(argc, argv);
  } catch (const mirelda::Error& e) {
    log.Line(std::string("reload failed, the settings stay as they were: ") + e.what());
    return;
  }
  for (const auto& [section, entries] : current.sections) {
    bool kept = false;
    for (const auto& n : next.sections)
      kept = kept || mirelda::text::EqualsIgnoreCase(n.first, section);
    if (!kept) mirelda::settings::SetSection(section, {});
  }
  for (const auto& [section, entries] : next.sections)
    mirelda::settings::SetSection(section, entries);
  for (const std::string& name : RestartOnlyChanges(current, next)) {
    log.Line("reload: " + name + " changed; it takes effect when the host is restarted");
  }
  current.sections = next.sections;
  log.Line("reloaded the settings");
}

int Serve(const HostOptions& options, int argc, const char* const* argv) {
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

  MediaTypes media_types;
  try {
    media_types = MediaTypes::Load(options.mime_types);
  } catch (const mirelda::Error& e) {
    std::cerr << "mirelda-host: " << e.description() << "\n";
    return 2;
  }
  Site site(options.site, std::move(media_types));
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
  for (const auto& [section, entries] : options.sections) {
    mirelda::settings::SetSection(section, entries);
  }

  // Signals are taken by sigwait below, never by a thread that happens to run.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  AccessLog log(options.access_log, options.error_log);
  ErrorPages error_pages(site, options.error_pages);
  // Sessions and application values stay in this process unless a shared store is named.
  std::unique_ptr<SessionStore> sessions;
  std::unique_ptr<ApplicationState> application;
  if (options.session_store.empty()) {
    sessions = std::make_unique<MemorySessionStore>(options.max_sessions);
    application = std::make_unique<MemoryApplicationState>();
  } else {
    auto pool = std::make_shared<PostgresPool>(options.session_store);
    sessions = std::make_unique<PostgresSessionStore>(pool, options.max_sessions);
    application = std::make_unique<PostgresApplicationState>(pool);
    try {
      pool->Take();
    } catch (const std::exception& e) {
      // The host serves anyway: pages that need the store answer 503 until it is back.
      std::fprintf(stderr, "mirelda-host: the session store cannot be reached yet: %s\n", e.what());
    }
  }
  PageSettings page_settings;
  page_settings.code_page = options.code_page;
  page_settings.session_timeout = options.session_timeout;
  page_settings.script_timeout = options.script_timeout;
  page_settings.script_memory = static_cast<size_t>(options.script_memory);
  page_settings.default_language = default_language;
  page_settings.secure_cookies = options.secure_cookies;
  page_settings.debug_errors = options.debug_errors;
  page_settings.error_pages = error_pages;
  PageRunner pages(site, engines, page_settings, *sessions, *application, log);

  ServerSettings server_settings;
  server_settings.address = options.listen_address;
  server_settings.port = options.listen_port;
  server_settings.max_body = options.max_body;
  server_settings.body_buffer = options.body_buffer;
  server_settings.body_timeout = options.body_timeout;
  server_settings.spool_folder = data;
  server_settings.compress = options.compress;
  server_settings.io_threads = options.io_threads;
  server_settings.thread_per_connection = options.thread_per_connection;
  server_settings.quick_pages = options.quick_pages;
  server_settings.connection_timeout = options.connection_timeout;
  server_settings.max_connections = options.max_connections;
  server_settings.standing_headers = options.headers;
  server_settings.error_pages = error_pages;
  server_settings.trusted_proxies = TrustedProxies(options.trusted_proxies);
  server_settings.health_path = options.health_path;
  server_settings.registry = std::getenv("MIRELDA_REGISTRY");
  unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  server_settings.workers = options.workers ? options.workers : std::max(8u, 4 * cores);
  HttpServer server(server_settings, site, pages, log);
  server.Start();

  std::string host = options.listen_address.find(':') != std::string::npos
                         ? "[" + options.listen_address + "]"
                         : options.listen_address;
  std::cout << "mirelda-host: serving " << site.root().string() << " at http://" << host << ":"
            << server.port() << "/" << std::endl;

  HostOptions current = options;
  int signal_number = 0;
  while (sigwait(&stop_signals, &signal_number) == 0 && signal_number == SIGHUP) {
    Reload(argc, argv, current, log);
  }
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
  } catch (const mirelda::Error& e) {
    std::cerr << "mirelda-host: " << e.what() << "\n(see mirelda-host --help)\n";
    return 2;
  }
  if (options.help) {
    std::cout << HostUsage();
    return 0;
  }
  if (options.version) {
    std::cout << "mirelda-host " MIRELDA_VERSION "\n";
    return 0;
  }
  try {
    return options.check ? Check(options) : Serve(options, argc, argv);
  } catch (const mirelda::Error& e) {
    std::cerr << "mirelda-host: " << e.description() << "\n";
  } catch (const std::exception& e) {
    std::cerr << "mirelda-host: " << e.what() << "\n";
  }
  return 1;
}

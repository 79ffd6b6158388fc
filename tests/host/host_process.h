// mirelda-host as the tests run it: a real process on an ephemeral loopback port, serving a site
// folder in a temporary directory, with a registration store of its own in which libmirelda.so
// and the test probe component are registered.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "mirelda/registry.h"
#include "support/read_file.h"
#include "support/temp_dir.h"

namespace mirelda::testing {

// Registers a component library of the build (libmirelda.so, libmirelda-data.so) in the
// registration store at registry, as an installation registers it.
inline void RegisterLibrary(const std::filesystem::path& registry, const std::string& library) {
  std::string command = (BuildDir() / "mirelda-regsvr").string() + " --registry '" +
                        registry.string() + "' '" + (BuildDir() / library).string() +
                        "' >/dev/null";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("registration failed");
}

class HostProcess {
 public:
  // Starts mirelda-host with the site folder site_dir and extra arguments. Tests look at what
  // failed pages say, so they are shown (--debug-errors) unless debug_errors is false.
  HostProcess(const std::filesystem::path& work, const std::filesystem::path& site_dir,
              std::vector<std::string> extra = {}, bool debug_errors = true)
      : log_(work / "host.log") {
    std::filesystem::path registry = work / "registry";
    RegisterComponents(registry);
    std::vector<std::string> args = {(BuildDir() / "mirelda-host").string(),
                                     "--site",
                                     site_dir.string(),
                                     "--listen",
                                     "127.0.0.1:0",
                                     "--data",
                                     (work / "var").string(),
                                     "--registry",
                                     registry.string(),
                                     "--workers",
                                     "4"};
    if (debug_errors) args.emplace_back("--debug-errors");
    args.insert(args.end(), extra.begin(), extra.end());
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      FILE* err = std::fopen(log_.c_str(), "w");
      if (err) ::dup2(::fileno(err), STDERR_FILENO);
      ::close(out[0]);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    // "mirelda-host: serving DIR at http://127.0.0.1:PORT/"
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    size_t colon = line.rfind(':');
    if (line.find("serving") == std::string::npos || colon == std::string::npos) {
      Stop();
      throw std::runtime_error("mirelda-host did not start: " + line + "\n" + Log());
    }
    port_ = std::stoi(line.substr(colon + 1));
  }

  ~HostProcess() { Stop(); }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  int port() const { return port_; }
  pid_t pid() const { return pid_; }

  // Sends SIGTERM and returns the exit status (-1 when it did not exit normally).
  int Stop() {
    if (pid_ <= 0) return exit_code_;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = 0;
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exit_code_;
  }
  void Signal(int signal_number) { ::kill(pid_, signal_number); }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = 0;
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exit_code_;
  }

  // What the host wrote to standard error so far.
  std::string Log() const { return ReadFile(log_); }

  // The log once it holds text, or as it stands after ten seconds: a request's access line is
  // written after its reply has gone, so a client can read the reply before the line exists.
  std::string LogHolding(std::string_view text) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string log = Log();
    while (log.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      log = Log();
    }
    return log;
  }

 private:
  static void RegisterComponents(const std::filesystem::path& registry) {
    RegistrationStore store(registry);
    RegisterLibrary(registry, "libmirelda.so");
    store.Update([](Registrations& r) {
      r.classes.push_back({"MireldaTest.Probe",
                           *ParseGuid("{6D1E2F30-8A4B-4C5D-9E6F-7A8B9C0D1E2F}"),
                           (BuildDir() / "tests" / "libmirelda-test-probe.so").string(),
                           "Apartment",
                           {},
                           "1.0"});
    });
  }

  std::filesystem::path log_;
  pid_t pid_ = 0;
  int port_ = 0;
  int exit_code_ = -1;
};

// Writes a file, making its folders.
inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
}

}  // namespace mirelda::testing

// A helper server written in Python (tests/support/*.py) run as a child process on a free
// loopback port: started by the constructor, which waits for its "port N" line, and stopped by
// the destructor.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace mirelda::testing {

class PythonServer {
 public:
  PythonServer(const std::string& script, std::vector<std::string> args = {}) {
    std::vector<std::string> argv_text = {"/usr/bin/python3",
                                          std::string(MIRELDA_TEST_SUPPORT_DIR) + "/" + script};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ == 0) {
      // A test that dies must not leave its server behind, holding the test's output open.
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      std::vector<char*> argv;
      for (std::string& a : argv_text) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    if (line.rfind("port ", 0) != 0) {
      Stop();
      throw std::runtime_error(script + " did not start: \"" + line + "\"");
    }
    port_ = std::stoi(line.substr(5));
  }
  ~PythonServer() { Stop(); }
  PythonServer(const PythonServer&) = delete;
  PythonServer& operator=(const PythonServer&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

  pid_t pid_ = 0;
  int port_ = 0;
};

}  // namespace mirelda::testing

// nginx in front of some mirelda-host processes, as a site with several hosts runs: round robin
// over the hosts on loopback, in the foreground with a prefix folder of its own. It forwards as
// a TLS front would: the client's address appended to X-Forwarded-For, X-Forwarded-Proto https.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace mirelda::testing {

// A loopback port that nothing listens on now.
inline int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(fd);
    throw std::runtime_error("no free port");
  }
  ::close(fd);
  return ntohs(address.sin_port);
}

class ProxyProcess {
 public:
  ProxyProcess(const std::filesystem::path& prefix, const std::vector<int>& upstream_ports)
      : port_(FreePort()) {
    std::filesystem::create_directories(prefix / "logs");
    std::string servers;
    for (int p : upstream_ports) servers += "    server 127.0.0.1:" + std::to_string(p) + ";\n";
    std::string p = prefix.string();
    std::ofstream(prefix / "nginx.conf")
        << (::getuid() == 0 ? "user root;\n" : "") << "daemon off;\nworker_processes 1;\n"
        << "pid " << p << "/nginx.pid;\nerror_log " << p << "/logs/error.log warn;\n"
        << "events { worker_connections 512; }\nhttp {\n  access_log off;\n"
        << "  client_body_temp_path " << p << "/body;\n  proxy_temp_path " << p << "/proxy;\n"
        << "  fastcgi_temp_path " << p << "/fastcgi;\n  uwsgi_temp_path " << p << "/uwsgi;\n"
        << "  scgi_temp_path " << p << "/scgi;\n"
        << "  upstream hosts {\n"
        << servers << "    keepalive 16;\n  }\n"
        << "  server {\n    listen 127.0.0.1:" << port_ << ";\n    location / {\n"
        << "      proxy_pass http://hosts;\n      proxy_http_version 1.1;\n"
        << "      proxy_set_header Connection \"\";\n      proxy_next_upstream off;\n"
        << "      proxy_set_header X-Forwarded-For $proxy_add_x_forwarded_for;\n"
        << "      proxy_set_header X-Forwarded-Proto https;\n"
        << "    }\n  }\n}\n";
    pid_ = ::fork();
    if (pid_ == 0) {
      std::string conf = (prefix / "nginx.conf").string();
      std::string err = (prefix / "logs" / "error.log").string();
      ::execlp("nginx", "nginx", "-p", p.c_str(), "-c", conf.c_str(), "-e", err.c_str(),
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 500; ++i) {
      if (Listening()) return;
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        throw std::runtime_error("nginx did not start; see " + err_path(prefix));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    throw std::runtime_error("nginx did not listen");
  }
  ~ProxyProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGQUIT);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  ProxyProcess(const ProxyProcess&) = delete;
  ProxyProcess& operator=(const ProxyProcess&) = delete;

  int port() const { return port_; }

 private:
  static std::string err_path(const std::filesystem::path& prefix) {
    return (prefix / "logs" / "error.log").string();
  }
  bool Listening() const {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port_));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
  }

  int port_;
  pid_t pid_ = 0;
};

}  // namespace mirelda::testing

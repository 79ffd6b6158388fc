// A small HTTP/1.1 client over a real loopback socket, for driving mirelda-host in tests. It
// sends requests exactly as written (so tests can send what no browser would) and reads replies
// with Content-Length, chunked or close-delimited bodies.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace mirelda::testing {

struct HttpReply {
  int status = 0;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The first header of that name (any case), or "".
  std::string Header(const std::string& name) const {
    for (const auto& h : headers) {
      if (Lower(h.first) == Lower(name)) return h.second;
    }
    return "";
  }
  std::vector<std::string> Headers(const std::string& name) const {
    std::vector<std::string> all;
    for (const auto& h : headers) {
      if (Lower(h.first) == Lower(name)) all.push_back(h.second);
    }
    return all;
  }
  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return s;
  }
};

class HttpConnection {
 public:
  // A connection to 127.0.0.1:port, from the local address from when one is given: any
  // 127.x.y.z is this machine, so the server can be shown a peer other than 127.0.0.1.
  explicit HttpConnection(int port, const char* from = nullptr) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (from && ::inet_pton(AF_INET, from, &local.sin_addr) != 1) {
      throw std::runtime_error(std::string("not an address: ") + from);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || (from && ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) ||
        ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
  }
  ~HttpConnection() {
    if (fd_ >= 0) ::close(fd_);
  }
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  void Send(const std::string& raw) {
    size_t sent = 0;
    while (sent < raw.size()) {
      ssize_t n = ::send(fd_, raw.data() + sent, raw.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) throw std::runtime_error("send failed");
      sent += static_cast<size_t>(n);
    }
  }

  // Reads one reply; for a reply to HEAD there is no body to read.
  HttpReply Read(bool head = false) {
    HttpReply reply;
    size_t end;
    while ((end = buffer_.find("\r\n\r\n")) == std::string::npos) More();
    std::string head_text = buffer_.substr(0, end);
    buffer_.erase(0, end + 4);
    size_t line_end = head_text.find("\r\n");
    std::string status_line = head_text.substr(0, line_end);
    reply.status = std::stoi(status_line.substr(status_line.find(' ') + 1, 3));
    size_t pos = line_end == std::string::npos ? head_text.size() : line_end + 2;
    while (pos < head_text.size()) {
      size_t next = head_text.find("\r\n", pos);
      if (next == std::string::npos) next = head_text.size();
      std::string line = head_text.substr(pos, next - pos);
      size_t colon = line.find(':');
      std::string value = line.substr(colon + 1);
      while (!value.empty() && value[0] == ' ') value.erase(0, 1);
      reply.headers.emplace_back(line.substr(0, colon), value);
      pos = next + 2;
    }
    if (head || reply.status == 304 || reply.status == 204) return reply;
    std::string length = reply.Header("Content-Length");
    if (!length.empty()) {
      size_t n = std::stoul(length);
      while (buffer_.size() < n) More();
      reply.body = buffer_.substr(0, n);
      buffer_.erase(0, n);
    } else if (HttpReply::Lower(reply.Header("Transfer-Encoding")) == "chunked") {
      while (true) {
        size_t crlf;
        while ((crlf = buffer_.find("\r\n")) == std::string::npos) More();
        size_t n = std::stoul(buffer_.substr(0, crlf), nullptr, 16);
        buffer_.erase(0, crlf + 2);
        while (buffer_.size() < n + 2) More();
        reply.body += buffer_.substr(0, n);
        buffer_.erase(0, n + 2);
        if (n == 0) break;
      }
    } else {
      while (Fill()) {
      }
      reply.body = std::move(buffer_);
      buffer_.clear();
    }
    return reply;
  }

  // True when the server has closed the connection (nothing more to read).
  bool ClosedByServer() {
    try {
      return !Fill();
    } catch (const std::runtime_error&) {
      return true;
    }
  }

 private:
  void More() {
    if (!Fill()) throw std::runtime_error("the server closed the connection early");
  }

  // Reads more bytes; false at the end of the stream. Gives up after a minute of silence: pages
  // that run out of stack or memory take seconds on the ThreadSanitizer build of a busy machine.
  bool Fill() {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 60000) <= 0) throw std::runtime_error("no reply within 60 s");
    char chunk[16384];
    ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n < 0) throw std::runtime_error("receive failed");
    if (n == 0) return false;
    buffer_.append(chunk, static_cast<size_t>(n));
    return true;
  }

  int fd_ = -1;
  std::string buffer_;
};

// One request on a fresh connection (from the local address from, when one is given).
inline HttpReply HttpRequest(int port, const std::string& method, const std::string& target,
                             const std::vector<std::pair<std::string, std::string>>& headers = {},
                             const std::string& body = {}, const char* from = nullptr) {
  HttpConnection connection(port, from);
  std::string raw = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                    "\r\nConnection: close\r\n";
  for (const auto& [k, v] : headers) raw += k + ": " + v + "\r\n";
  if (!body.empty() || method == "POST")
    raw += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  raw += "\r\n" + body;
  connection.Send(raw);
  return connection.Read(method == "HEAD");
}

}  // namespace mirelda::testing

#include "data/smtp_transfer.h"

#include <algorithm>
#include <cstring>

#include "data/curl_handles.h"
#include "data/transfer_errors.h"
#include "mirelda/error.h"
#include "mirelda/text.h"

namespace mirelda::data {
namespace {

// What the conversation has come to: the last command sent and the last reply read, so that a
// failure can name the step and quote the server.
struct Dialogue {
  std::string last_command;
  std::string last_reply;
  bool reply_complete = true;
  // The first command the server refused (4xx or 5xx) and its reply: what a failure reports,
  // whatever the closing QUIT brings after it.
  std::string refused_command;
  std::string refused_reply;
  std::string_view message;
  size_t sent = 0;
};

int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
  auto* d = static_cast<Dialogue*>(user);
  std::string_view chunk(data, size);
  if (type == CURLINFO_HEADER_OUT) {
    d->last_command = text::Trim(std::string(chunk.substr(0, chunk.find_first_of("\r\n"))));
  } else if (type == CURLINFO_HEADER_IN) {
    // A reply of several lines ("250-..." then "250 ...") is kept whole.
    if (d->reply_complete) d->last_reply.clear();
    std::string line(chunk.substr(0, chunk.find_first_of("\r\n")));
    if (!d->last_reply.empty()) d->last_reply += " ";
    d->last_reply += line;
    d->reply_complete = line.size() < 4 || line[3] != '-';
    bool refusal = !line.empty() && (line[0] == '4' || line[0] == '5');
    if (d->reply_complete && refusal && d->refused_reply.empty()) {
      d->refused_command = d->last_command;
      d->refused_reply = d->last_reply;
    }
  }
  return 0;
}

size_t OnRead(char* buffer, size_t size, size_t count, void* user) {
  auto* d = static_cast<Dialogue*>(user);
  size_t n = std::min(size * count, d->message.size() - d->sent);
  std::memcpy(buffer, d->message.data() + d->sent, n);
  d->sent += n;
  return n;
}

[[noreturn]] void Fail(CURLcode code, const Dialogue& d, const char* detail) {
  const std::string& said = d.refused_reply.empty() ? d.last_reply : d.refused_reply;
  std::string reply = said.empty() ? std::string("not available") : said;
  std::string command = text::ToUpperAscii(
      (d.refused_reply.empty() ? d.last_command : d.refused_command).substr(0, 4));
  bool no_connection = code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_HOST ||
                       (code == CURLE_OPERATION_TIMEDOUT && d.last_command.empty());
  if (no_connection) {
    throw Error(kFailedToConnect,
                std::string("The transport failed to connect to the server. ") + detail);
  }
  if (code == CURLE_LOGIN_DENIED || command == "AUTH") {
    throw Error(kLogonFailure, "The server rejected the logon. The server response was: " + reply);
  }
  if (command == "MAIL") {
    throw Error(kSenderRejected,
                "The server rejected the sender address. The server response was: " + reply);
  }
  if (command == "RCPT") {
    throw Error(kRecipientsRejected,
                "The server rejected one or more recipient addresses. The server response "
                "was: " +
                    reply);
  }
  throw Error(kSmtpSendFailed, std::string("The message could not be sent to the SMTP server (") +
                                   detail + "). The server response was: " + reply);
}

}  // namespace

void SendBySmtp(const SmtpServer& server, const std::string& envelope_from,
                const std::vector<std::string>& recipients, const std::string& message) {
  CurlEasy easy = NewCurlEasy();
  CURL* c = easy.get();
  bool implicit_tls = server.ssl && server.port == 465;
  std::string url =
      std::string(implicit_tls ? "smtps://" : "smtp://") +
      (server.host.find(':') != std::string::npos ? "[" + server.host + "]" : server.host) + ":" +
      std::to_string(server.port);
  CurlList rcpt;
  for (const std::string& r : recipients) Append(rcpt, "<" + r + ">");
  Dialogue d;
  d.message = message;
  std::string from = "<" + envelope_from + ">";
  char error[CURL_ERROR_SIZE] = {};

  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_READFUNCTION, &OnRead);
  curl_easy_setopt(c, CURLOPT_READDATA, &d);
  curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
  curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &OnDebug);
  curl_easy_setopt(c, CURLOPT_DEBUGDATA, &d);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, server.connect_timeout_seconds);
  // A server that stops answering must not hold the page for ever.
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, std::max(server.connect_timeout_seconds, 30L));
  if (server.ssl && !implicit_tls) curl_easy_setopt(c, CURLOPT_USE_SSL, CURLUSESSL_ALL);
  if (!server.user.empty()) {
    curl_easy_setopt(c, CURLOPT_USERNAME, server.user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, server.password.c_str());
  }
  CURLcode code = curl_easy_perform(c);
  if (code != CURLE_OK) Fail(code, d, error[0] ? error : curl_easy_strerror(code));
}

}  // namespace mirelda::data

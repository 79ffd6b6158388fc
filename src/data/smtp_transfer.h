// Hands one finished message to an SMTP server through libcurl: the envelope sender, every
// recipient (one refused recipient fails the whole send), then the message, dot-stuffed by
// libcurl. Runs on the calling thread and returns when the server has accepted the message.
#pragma once

#include <string>
#include <vector>

namespace mirelda::data {

struct SmtpServer {
  std::string host;
  long port = 25;
  bool ssl = false;  // port 465: TLS from the start; any other port: STARTTLS required
  std::string user;  // empty: no authentication
  std::string password;
  long connect_timeout_seconds = 30;
};

// Raises Error with the server's reply text: the sender rejected (-2147220978), a recipient
// rejected (-2147220977), a logon refused (-2147220969), no connection (-2147220973), any other
// failure (-2147220975).
void SendBySmtp(const SmtpServer& server, const std::string& envelope_from,
                const std::vector<std::string>& recipients, const std::string& message);

}  // namespace mirelda::data

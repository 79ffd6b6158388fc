// "MSXML2.ServerXMLHTTP" (also ".3.0" and ".6.0", and the client ProgIDs "Microsoft.XMLHTTP",
// "MSXML2.XMLHTTP", "Msxml2.XMLHTTP.6.0", which on this server make the same object): an HTTP
// request that a page opens, fills and sends from the server. open checks the URL (http or
// https, a host the "[http] allow" setting admits) before anything else happens; send performs
// the exchange and returns when the whole response is in. An asynchronous open (true) is
// accepted and runs synchronously: send returns with readyState 4, and waitForResponse
// answers True at once. There is no responseXML; responseText and responseBody carry the body.
//
// readyState: 0 before open and after abort, 1 after open (also after a failed send), 4 when a
// response is complete. Reading status, statusText, the response or its headers before that is
// The data necessary to complete this operation is not yet available (-2147483638).
//
// Threading: belongs to the page that made it.
#pragma once

#include <optional>
#include <string>

#include "data/http_transfer.h"
#include "data/live_objects.h"
#include "mirelda/dispatch.h"

namespace mirelda::data {

class ServerHttpRequest final : public Dispatch {
 public:
  // Invalid argument for a method that is no HTTP token; the errors of CheckHttpUrl.
  void Open(const std::string& method, const std::string& url, const Variant& async,
            const Variant& user, const Variant& password);
  // Replaces an earlier header of the same name. Invalid argument for a name that is no token
  // or a value with CR, LF or NUL; E_UNEXPECTED before open.
  void SetRequestHeader(const std::string& name, const std::string& value);
  // body: text (sent as UTF-8), bytes (as they are), or nothing. Type mismatch for anything else.
  void Send(const Variant& body);
  void Abort();
  // Milliseconds; -1 or 0 is no limit. Invalid argument below -1.
  void SetTimeouts(int32_t resolve, int32_t connect, int32_t send, int32_t receive);
  bool WaitForResponse(const Variant& timeout_seconds);

  int32_t ReadyState();
  int32_t Status();
  std::string StatusText();
  // The body decoded by the charset of the response's Content-Type (UTF-8 when it names none;
  // a byte order mark wins and is dropped).
  std::string ResponseText();
  Variant ResponseBody();
  // The first header of that name (any case); The requested header was not found
  // (-2147012746) when there is none.
  std::string GetResponseHeader(const std::string& name);
  // "Name: value" lines, each ending in CRLF.
  std::string GetAllResponseHeaders();

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "IServerXMLHTTPRequest2"; }
  std::optional<Guid> ClassId() const override;

 private:
  const HttpResult& Response();

  int32_t ready_state_ = 0;
  HttpExchange exchange_;
  std::optional<HttpResult> response_;
  LiveObject live_;
};

}  // namespace mirelda::data

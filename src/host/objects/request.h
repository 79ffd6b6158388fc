// The Request object of the HTTP host: the query string, form post, cookies, server variables
// and raw body of one HTTP request. Values are kept as the bytes the browser sent and decoded with
// the page's code page when a page reads them, so a page that switches Session.CodePage before
// reading the form reads it in the new code page. Belongs to the page's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/objects/name_map.h"
#include "mirelda/host.h"

namespace mirelda::host {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// What arrived over HTTP, as the server library hands it over.
struct RequestData {
  std::string method;     // "GET"
  std::string path;       // the decoded URL path: "/app/page.asp"
  std::string raw_query;  // after "?", as sent
  std::string protocol;   // "HTTP/1.1"
  HeaderList headers;     // names as sent
  // The raw body, in memory or mapped from its spool file, shared with the byte arrays that
  // BinaryRead hands out rather than copied.
  ByteArray body;

  std::string_view BodyText() const { return body.view(); }
  std::string remote_address;  // the client's, also behind a trusted proxy
  uint16_t remote_port = 0;
  std::string local_address;
  uint16_t local_port = 0;
  bool https = false;      // the client came over HTTPS, as a trusted proxy tells
  std::string request_id;  // as the logs name the request

  // The first header of that name (any letter case), or "".
  std::string Header(std::string_view name) const;
};

// The session cookie's name; pages never see it among Request.Cookies.
inline constexpr const char kSessionCookieName[] = "MIRELDA_SESSION";

class HttpRequest final : public RequestObject {
 public:
  // script_name is the page's URL path; page_file and site_root are the host paths of the page's
  // file and of the site folder. code_page tells the page's current code page.
  HttpRequest(std::shared_ptr<const RequestData> data, std::string script_name,
              std::string page_file, std::string site_root, std::function<int32_t()> code_page);

  Variant ServerVariables(const std::string& name) override;
  Variant Item(const std::string& name) override;
  Variant QueryString(const Variant& name) override;
  Variant Form(const Variant& name) override;
  Variant Cookies(const Variant& name) override;
  int32_t TotalBytes() override;
  Variant BinaryRead(int32_t count) override;
  RequestCollection::Entries Entries(RequestPart part) override;

  // The value of a cookie as sent (percent-decoded bytes), or nullopt.
  static std::optional<std::string> RawCookie(const RequestData& data, std::string_view name);

 private:
  using RawPairs = std::vector<std::pair<std::string, std::string>>;
  // Decoded collections, rebuilt when the code page changes. Repeated names join with ", ".
  struct Decoded {
    int32_t code_page = 0;
    NameMap values;
  };
  const NameMap& DecodedOf(const RawPairs& raw, Decoded& cache);
  static Variant Find(const NameMap& map, const std::string& name);

  std::shared_ptr<const RequestData> data_;
  std::string script_name_;
  // Host paths, put in page form only when a page asks: few do, and every page would pay.
  std::string page_file_;
  std::string site_root_;
  std::function<int32_t()> code_page_;
  RawPairs query_;
  RawPairs form_;
  RawPairs cookies_;
  Decoded query_decoded_;
  Decoded form_decoded_;
  Decoded cookies_decoded_;
  size_t body_read_ = 0;
};

}  // namespace mirelda::host

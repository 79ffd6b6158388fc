// The page context of the HTTP host: the five objects of one page run, made together and
// finished together. Belongs to the page's thread.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "host/objects/application.h"
#include "host/objects/request.h"
#include "host/objects/response.h"
#include "host/objects/server_object.h"
#include "host/objects/session.h"
#include "mirelda/host.h"

namespace mirelda::host {

// Where the running page is.
struct PageLocation {
  std::string script_name;          // URL path: "/app/page.asp"
  std::filesystem::path file;       // host path of the page file
  std::filesystem::path site_root;  // host folder of the site
};

// What a page needs from the host that outlives it.
struct PageServices {
  SessionStore& sessions;
  ApplicationState& application;
  SessionState session_defaults;  // timeout and code page of new sessions
  int32_t script_timeout_seconds = 90;
  PageExecutor* executor = nullptr;  // runs the pages this one executes; null for none
  bool secure_cookies = false;       // the session cookie carries Secure
  // When the page's time is up: a wait for Application.Lock ends there.
  Deadline deadline = Deadline::max();
};

class HttpContext final : public ScriptingContext {
 public:
  // The context and its objects; the session is looked up from the request's cookie.
  static std::shared_ptr<HttpContext> Make(std::shared_ptr<const RequestData> request,
                                           const PageLocation& page, PageServices& services);
  // The context of a page that parent runs with Server.Execute: the parent's request, response,
  // session and application, and a Server object of its own for the page at page.
  static std::shared_ptr<HttpContext> MakeNested(HttpContext& parent, const PageLocation& page,
                                                 PageServices& services);

  std::shared_ptr<ApplicationObject> Application() override { return application_; }
  std::shared_ptr<RequestObject> Request() override { return request_; }
  std::shared_ptr<ResponseObject> Response() override { return response_; }
  std::shared_ptr<ServerObject> Server() override { return server_; }
  std::shared_ptr<SessionObject> Session() override { return session_; }

  HttpResponse& response() { return *response_; }
  HttpSession& session() { return *session_; }
  HttpApplication& application() { return *application_; }
  HttpServerObject& server() { return *server_; }
  int32_t code_page() const { return code_page_; }
  // The code page of this page's text and output, as the page's CODEPAGE directive names it;
  // the session keeps its own.
  void SetCodePage(int32_t code_page) { code_page_ = code_page; }

  // Ends the page: OnEndPage for its components, the session cookie, the Application locks.
  // Returns the session's Set-Cookie header value, if any. Runs once. A nested page's context
  // only ends its own components.
  std::optional<std::string> FinishPage();

 private:
  HttpContext() = default;

  int32_t code_page_ = 936;  // changed by Session.CodePage; read by the other objects
  std::shared_ptr<HttpApplication> application_;
  std::shared_ptr<HttpRequest> request_;
  std::shared_ptr<HttpResponse> response_;
  std::shared_ptr<HttpServerObject> server_;
  std::shared_ptr<HttpSession> session_;
  bool finished_ = false;
  bool nested_ = false;
};

}  // namespace mirelda::host

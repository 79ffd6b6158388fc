#include "host/objects/http_context.h"

namespace mirelda::host {

std::shared_ptr<HttpContext> HttpContext::Make(std::shared_ptr<const RequestData> request,
                                               const PageLocation& page, PageServices& services) {
  std::shared_ptr<HttpContext> context(new HttpContext());
  HttpContext* self = context.get();
  self->code_page_ = services.session_defaults.code_page;
  auto code_page = [self] { return self->code_page_; };
  self->session_ = std::make_shared<HttpSession>(
      services.sessions, HttpRequest::RawCookie(*request, kSessionCookieName),
      services.session_defaults, self->code_page_, services.secure_cookies);
  self->request_ = std::make_shared<HttpRequest>(
      std::move(request), page.script_name, page.file.native(), page.site_root.native(), code_page);
  self->response_ = std::make_shared<HttpResponse>(code_page);
  self->server_ = std::make_shared<HttpServerObject>(
      context, page.site_root, page.script_name, self->code_page_, services.script_timeout_seconds,
      services.executor);
  self->application_ = std::make_shared<HttpApplication>(services.application, services.deadline);
  return context;
}

std::shared_ptr<HttpContext> HttpContext::MakeNested(HttpContext& parent, const PageLocation& page,
                                                     PageServices& services) {
  std::shared_ptr<HttpContext> context(new HttpContext());
  HttpContext* self = context.get();
  self->nested_ = true;
  self->code_page_ = parent.code_page_;
  self->session_ = parent.session_;
  self->request_ = parent.request_;
  self->response_ = parent.response_;
  self->application_ = parent.application_;
  self->server_ = std::make_shared<HttpServerObject>(
      context, page.site_root, page.script_name, parent.code_page_, services.script_timeout_seconds,
      services.executor);
  return context;
}

std::optional<std::string> HttpContext::FinishPage() {
  if (finished_) return std::nullopt;
  finished_ = true;
  server_->EndPage();
  if (nested_) return std::nullopt;
  std::optional<std::string> cookie = session_->FinishPage();
  application_->ReleaseLocks();
  return cookie;
}

}  // namespace mirelda::host

// The remember-me cookies that both logons set: the name always lasts 30 days; the password and
// the remembered flag last 30 days when the request's "checkbox" item says so, and expire today
// otherwise. The cookies are HttpOnly: no page script needs to read a password.
#include "mirelda/host.h"
#include "webpage/web_page.h"

namespace mirelda::webpage {

void WebPage::SetLogonCookies(const char* name_cookie, const Variant& name, const char* pwd_cookie,
                              const Variant& pwd, const char* flag_cookie) {
  ResponseObject& response = RequireResponse();
  auto set = [&](const char* cookie, int days, const std::string& value) {
    std::shared_ptr<ResponseCookie> c = response.Cookies(cookie);
    c->SetExpires(Date::Today().AddDays(days));
    c->SetValue(value);
    c->SetHttpOnly(true);
  };
  set(name_cookie, 30, name.ToText());
  bool remembered = Equals(RequireRequest().Item("checkbox"), Variant("checkbox"));
  set(pwd_cookie, remembered ? 30 : 0, pwd.ToText());
  set(flag_cookie, remembered ? 30 : 0, remembered ? "checked" : "");
}

}  // namespace mirelda::webpage

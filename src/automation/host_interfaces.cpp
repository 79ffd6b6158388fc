// Member tables of the page host's objects, the response cookie, and the page-object bookkeeping
// that both hosts share.
#include "mirelda/host.h"
#include "mirelda/registry.h"
#include "mirelda/text.h"

namespace mirelda {

const MemberTable& ScriptingContext::Members() const {
  static const MemberTable table = MemberTableBuilder<ScriptingContext>("IScriptingContext")
                                       .Get<&ScriptingContext::Application>("Application")
                                       .Get<&ScriptingContext::Request>("Request")
                                       .Get<&ScriptingContext::Response>("Response")
                                       .Get<&ScriptingContext::Server>("Server")
                                       .Get<&ScriptingContext::Session>("Session")
                                       .Build();
  return table;
}

const MemberTable& RequestObject::Members() const {
  static const MemberTable table =
      MemberTableBuilder<RequestObject>("IRequest")
          .Get<&RequestObject::Item>("Item", {Arg("name")})
          .Default()
          .Get<&RequestObject::ServerVariablesItem>("ServerVariables", {Arg("name").Optional()})
          .Get<&RequestObject::QueryStringItem>("QueryString", {Arg("name").Optional()})
          .Get<&RequestObject::FormItem>("Form", {Arg("name").Optional()})
          .Get<&RequestObject::CookiesItem>("Cookies", {Arg("name").Optional()})
          .Get<&RequestObject::TotalBytes>("TotalBytes")
          .Method<&RequestObject::BinaryRead>("BinaryRead", {Arg("count").ByRef()})
          .Build();
  return table;
}

ResponseCookie::ResponseCookie(std::string name) : name_(std::move(name)) {}

void ResponseCookie::SetItem(const Variant& key_or_value, const Variant& value) {
  if (value.is_missing()) {
    SetValue(key_or_value.ToText());
  } else {
    SetKey(key_or_value.ToText(), value.ToText());
  }
}

void ResponseCookie::SetValue(const std::string& value) {
  value_ = value;
  keys_.clear();
}

void ResponseCookie::SetKey(const std::string& key, const std::string& value) {
  value_.clear();
  for (auto& kv : keys_) {
    if (kv.first == key) {
      kv.second = value;
      return;
    }
  }
  keys_.emplace_back(key, value);
}

std::string ResponseCookie::WireValue() const {
  if (keys_.empty()) return value_;
  std::string out;
  for (const auto& [k, v] : keys_) {
    if (!out.empty()) out += '&';
    out += k + "=" + v;
  }
  return out;
}

const MemberTable& ResponseCookie::Members() const {
  static const MemberTable table =
      MemberTableBuilder<ResponseCookie>("IWriteCookie")
          .Let<&ResponseCookie::SetItem>("Item", {Arg("key"), Arg("value").Optional()})
          .Default()
          .Let<&ResponseCookie::SetExpires>("Expires", {Arg("value")})
          .Let<&ResponseCookie::SetPath>("Path", {Arg("value")})
          .Let<&ResponseCookie::SetDomain>("Domain", {Arg("value")})
          .Let<&ResponseCookie::SetSecure>("Secure", {Arg("value")})
          .Let<&ResponseCookie::SetHttpOnly>("HttpOnly", {Arg("value")})
          .Build();
  return table;
}

const MemberTable& ResponseObject::Members() const {
  static const MemberTable table =
      MemberTableBuilder<ResponseObject>("IResponse")
          .Method<&ResponseObject::Write>("Write", {Arg("text")})
          .Method<&ResponseObject::BinaryWrite>("BinaryWrite", {Arg("data")})
          .Get<&ResponseObject::Cookies>("Cookies", {Arg("name")})
          .Method<&ResponseObject::Redirect>("Redirect", {Arg("url")})
          .Method<&ResponseObject::End>("End")
          .Method<&ResponseObject::Clear>("Clear")
          .Get<&ResponseObject::ContentType>("ContentType")
          .Let<&ResponseObject::SetContentType>("ContentType", {Arg("value")})
          .Get<&ResponseObject::Charset>("Charset")
          .Let<&ResponseObject::SetCharset>("Charset", {Arg("value")})
          .Get<&ResponseObject::Status>("Status")
          .Let<&ResponseObject::SetStatus>("Status", {Arg("value")})
          .Get<&ResponseObject::Buffer>("Buffer")
          .Let<&ResponseObject::SetBuffer>("Buffer", {Arg("value")})
          .Method<&ResponseObject::AddHeader>("AddHeader", {Arg("name"), Arg("value")})
          .Method<&ResponseObject::Flush>("Flush")
          .Get<&ResponseObject::Expires>("Expires")
          .Let<&ResponseObject::SetExpires>("Expires", {Arg("minutes")})
          .Get<&ResponseObject::ExpiresAbsolute>("ExpiresAbsolute")
          .Let<&ResponseObject::SetExpiresAbsolute>("ExpiresAbsolute", {Arg("date")})
          .Get<&ResponseObject::CacheControl>("CacheControl")
          .Let<&ResponseObject::SetCacheControl>("CacheControl", {Arg("value")})
          .Method<&ResponseObject::AppendToLog>("AppendToLog", {Arg("line")})
          .Build();
  return table;
}

std::string ServerObject::HTMLEncode(const std::string& text) { return text::EscapeHtml(text); }

void ServerObject::Execute(const std::string& path) {
  throw Error(errc::kInvalidProcedureCall, "This host runs no other page (\"" + path + "\")");
}

void ServerObject::Transfer(const std::string& path) { Execute(path); }

std::shared_ptr<AspError> ServerObject::GetLastError() {
  return std::make_shared<AspError>(AspErrorInfo{});
}

const MemberTable& AspError::Members() const {
  static const MemberTable table = MemberTableBuilder<AspError>("IASPError")
                                       .Get<&AspError::Number>("Number")
                                       .Get<&AspError::Description>("Description")
                                       .Get<&AspError::Source>("Source")
                                       .Get<&AspError::File>("File")
                                       .Get<&AspError::Line>("Line")
                                       .Get<&AspError::Column>("Column")
                                       .Get<&AspError::Category>("Category")
                                       .Get<&AspError::ASPCode>("ASPCode")
                                       .Get<&AspError::ASPDescription>("ASPDescription")
                                       .Build();
  return table;
}

const MemberTable& ServerObject::Members() const {
  static const MemberTable table =
      MemberTableBuilder<ServerObject>("IServer")
          .Method<&ServerObject::CreateObject>("CreateObject", {Arg("progID")})
          .Method<&ServerObject::MapPath>("MapPath", {Arg("path")})
          .Method<&ServerObject::HTMLEncode>("HTMLEncode", {Arg("text")})
          .Method<&ServerObject::URLEncode>("URLEncode", {Arg("text")})
          .Get<&ServerObject::ScriptTimeout>("ScriptTimeout")
          .Method<&ServerObject::Execute>("Execute", {Arg("path")})
          .Method<&ServerObject::Transfer>("Transfer", {Arg("path")})
          .Method<&ServerObject::GetLastError>("GetLastError")
          .Build();
  return table;
}

const MemberTable& SessionObject::Members() const {
  static const MemberTable table =
      MemberTableBuilder<SessionObject>("ISessionObject")
          .Get<&SessionObject::Value>("Value", {Arg("name")})
          .Default()
          .Let<&SessionObject::SetValue>("Value", {Arg("name"), Arg("value")})
          .Default()
          .Method<&SessionObject::Remove>("Remove", {Arg("name")})
          .Get<&SessionObject::SessionID>("SessionID")
          .Get<&SessionObject::Timeout>("Timeout")
          .Let<&SessionObject::SetTimeout>("Timeout", {Arg("minutes")})
          .Method<&SessionObject::Abandon>("Abandon")
          .Method<&SessionObject::Renew>("Renew")
          .Get<&SessionObject::CodePage>("CodePage")
          .Let<&SessionObject::SetCodePage>("CodePage", {Arg("value")})
          .Build();
  return table;
}

const MemberTable& ApplicationObject::Members() const {
  static const MemberTable table =
      MemberTableBuilder<ApplicationObject>("IApplicationObject")
          .Get<&ApplicationObject::Value>("Value", {Arg("name")})
          .Default()
          .Let<&ApplicationObject::SetValue>("Value", {Arg("name"), Arg("value")})
          .Default()
          .Method<&ApplicationObject::Lock>("Lock")
          .Method<&ApplicationObject::Unlock>("Unlock")
          .Build();
  return table;
}

PageObjects::PageObjects(std::weak_ptr<ScriptingContext> context) : context_(std::move(context)) {}

PageObjects::~PageObjects() { EndPage(); }

std::shared_ptr<Dispatch> PageObjects::Create(const std::string& prog_id) {
  std::shared_ptr<Dispatch> object = mirelda::CreateObject(prog_id);
  if (!object) return object;
  // Found by name once and called by number, so that the call does not repeat the lookup.
  if (DispId start = object->Members().IdOf("OnStartPage"); start != kDispIdUnknown) {
    std::vector<Variant> args{Variant(std::shared_ptr<Dispatch>(context_.lock()))};
    object->InvokeById(start, MemberKind::kMethod, args);
    started_.push_back(object);
  }
  return object;
}

void PageObjects::EndPage() {
  std::vector<std::shared_ptr<Dispatch>> started = std::move(started_);
  started_.clear();
  for (auto& object : started) {
    try {
      object->Call("OnEndPage");
    } catch (const Error&) {
      // The page is over; there is nobody left to report to.
    }
  }
}

}  // namespace mirelda

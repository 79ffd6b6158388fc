#include "host/test_host/test_host.h"

#include <algorithm>
#include <atomic>

#include "mirelda/error.h"
#include "mirelda/path_map.h"
#include "mirelda/text.h"
#include "platform/percent_encoding.h"

namespace mirelda::host {
namespace {

Variant Lookup(const NameMap& map, const std::string& name) {
  auto it = map.find(name);
  if (it == map.end()) return Variant();
  return Variant(it->second);
}

Variant LookupOrAll(const NameMap& map, const Variant& name) {
  if (name.is_missing()) {
    std::string all;
    for (const auto& [k, v] : map) {
      if (!all.empty()) all += '&';
      all += k + "=" + v;
    }
    return Variant(all);
  }
  return Lookup(map, name.ToString());
}

}  // namespace

Variant TestRequest::ServerVariables(const std::string& name) {
  return Lookup(server_variables, name);
}

Variant TestRequest::Item(const std::string& name) {
  for (const NameMap* map : {&query, &form, &cookies, &server_variables}) {
    Variant v = Lookup(*map, name);
    if (!v.is_empty()) return v;
  }
  return Variant();
}

Variant TestRequest::QueryString(const Variant& name) { return LookupOrAll(query, name); }
Variant TestRequest::Form(const Variant& name) { return LookupOrAll(form, name); }
Variant TestRequest::Cookies(const Variant& name) { return LookupOrAll(cookies, name); }

RequestCollection::Entries TestRequest::Entries(RequestPart part) {
  const NameMap& map = part == RequestPart::kQueryString ? query
                       : part == RequestPart::kForm      ? form
                       : part == RequestPart::kCookies   ? cookies
                                                         : server_variables;
  return RequestCollection::Entries(map.begin(), map.end());
}

int32_t TestRequest::TotalBytes() { return static_cast<int32_t>(body.size()); }

Variant TestRequest::BinaryRead(int32_t count) {
  if (count < 0) throw Error(errc::kInvalidProcedureCall, "BinaryRead of a negative count");
  size_t n = std::min(static_cast<size_t>(count), body.size() - body_read);
  ByteArray bytes(std::string_view(body).substr(body_read, n));
  body_read += n;
  return Variant(bytes);
}

void TestResponse::Write(const Variant& text) { writes.push_back(text.ToText()); }

void TestResponse::BinaryWrite(const Variant& bytes) {
  writes.emplace_back(bytes.AsBytes().view());
}

std::shared_ptr<ResponseCookie> TestResponse::Cookies(const std::string& name) {
  if (auto existing = Cookie(name)) return existing;
  cookies.push_back(std::make_shared<ResponseCookie>(name));
  return cookies.back();
}

std::shared_ptr<ResponseCookie> TestResponse::Cookie(const std::string& name) const {
  for (const auto& c : cookies) {
    if (text::EqualsIgnoreCase(c->name(), name)) return c;
  }
  return nullptr;
}

void TestResponse::Redirect(const std::string& url) {
  redirect = url;
  status = "302 Object moved";
}

void TestResponse::End() {
  ended = true;
  throw EndOfPage{};
}

void TestResponse::Clear() { writes.clear(); }

std::string TestResponse::Output() const {
  std::string out;
  for (const std::string& w : writes) out += w;
  return out;
}

Variant TestSession::Value(const std::string& name) {
  auto it = values.find(name);
  return it == values.end() ? Variant() : it->second;
}

void TestSession::SetValue(const std::string& name, const Variant& value) { values[name] = value; }

void TestSession::Remove(const std::string& name) { values.erase(name); }

void TestSession::Renew() {
  ++renewals;
  id += "." + std::to_string(renewals);
}

Variant TestApplication::Value(const std::string& name) {
  auto it = values.find(name);
  return it == values.end() ? Variant() : it->second;
}

void TestApplication::SetValue(const std::string& name, const Variant& value) {
  values[name] = value;
}

std::shared_ptr<ApplicationObject> TestContext::Application() { return application; }
std::shared_ptr<RequestObject> TestContext::Request() { return request; }
std::shared_ptr<ResponseObject> TestContext::Response() { return response; }
std::shared_ptr<ServerObject> TestContext::Server() { return server; }
std::shared_ptr<SessionObject> TestContext::Session() { return session; }

TestServer::TestServer(std::weak_ptr<ScriptingContext> context, std::filesystem::path site_root,
                       std::string script_name)
    : page_objects_(std::move(context)),
      site_root_(std::move(site_root)),
      script_name_(std::move(script_name)) {}

std::shared_ptr<Dispatch> TestServer::CreateObject(const std::string& prog_id) {
  created.push_back(prog_id);
  return page_objects_.Create(prog_id);
}

std::string TestServer::MapPath(const std::string& path) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  std::filesystem::path host;
  if (!p.empty() && p[0] == '/') {
    host = site_root_ / p.substr(1);
  } else {
    std::string folder = script_name_.substr(0, script_name_.rfind('/') + 1);
    host = site_root_ / folder.substr(folder.empty() ? 0 : 1) / p;
  }
  host = host.lexically_normal();
  std::string out = paths::ToPagePath(host);
  while (out.size() > 3 && (out.back() == '\\' || out.back() == '/')) out.pop_back();
  return out;
}

std::string TestServer::URLEncode(const std::string& text) {
  return platform::PercentEncode(text, platform::IsFormSafe, true);
}

TestHost::TestHost(std::filesystem::path site_root, std::string script_name)
    : site_root_(std::move(site_root)), script_name_(std::move(script_name)) {
  context_ = std::make_shared<TestContext>();
  context_->application = std::make_shared<TestApplication>();
  context_->session = std::make_shared<TestSession>();
  NewPage(script_name_);
}

TestHost::~TestHost() { context_->server->page_objects().EndPage(); }

void TestHost::NewPage(std::string script_name) {
  if (context_->server) context_->server->page_objects().EndPage();
  if (!script_name.empty()) script_name_ = std::move(script_name);
  context_->request = std::make_shared<TestRequest>();
  context_->response = std::make_shared<TestResponse>();
  context_->server = std::make_shared<TestServer>(context_, site_root_, script_name_);
  std::string root = paths::ToPagePath(site_root_);
  if (root.empty() || (root.back() != '\\' && root.back() != '/')) root += '\\';
  context_->request->server_variables["SCRIPT_NAME"] = script_name_;
  context_->request->server_variables["APPL_PHYSICAL_PATH"] = root;
  context_->request->server_variables["HTTP_USER_AGENT"] = "Mirelda test host";
  context_->request->server_variables["REMOTE_ADDR"] = "127.0.0.1";
}

void TestHost::RunPage(const std::function<void(TestContext&)>& page) {
  struct EndAtExit {
    TestServer& server;
    ~EndAtExit() { server.page_objects().EndPage(); }
  } end_at_exit{*context_->server};
  try {
    page(*context_);
  } catch (const EndOfPage&) {
    // Response.End: the page is over.
  }
}

std::shared_ptr<Dispatch> TestHost::CreateObject(const std::string& prog_id) {
  return context_->server->CreateObject(prog_id);
}

}  // namespace mirelda::host

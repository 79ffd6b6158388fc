// The in-memory page host for tests: a scripted request (server variables, query, form, cookies,
// body bytes), a response that records every Write in order, each cookie, the redirect and End,
// a session that lasts across pages, and Server.CreateObject through the automation runtime with
// OnStartPage/OnEndPage, as the real host does.
//
// A TestHost serves one page at a time on the calling thread.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/objects/name_map.h"
#include "mirelda/host.h"

namespace mirelda::host {

class TestRequest final : public RequestObject {
 public:
  Variant ServerVariables(const std::string& name) override;
  Variant Item(const std::string& name) override;
  Variant QueryString(const Variant& name) override;
  Variant Form(const Variant& name) override;
  Variant Cookies(const Variant& name) override;
  int32_t TotalBytes() override;
  Variant BinaryRead(int32_t count) override;
  RequestCollection::Entries Entries(RequestPart part) override;

  NameMap server_variables;
  NameMap query;
  NameMap form;
  NameMap cookies;
  std::string body;
  size_t body_read = 0;  // bytes already handed out by BinaryRead
};

class TestResponse final : public ResponseObject {
 public:
  void Write(const Variant& text) override;
  void BinaryWrite(const Variant& bytes) override;
  std::shared_ptr<ResponseCookie> Cookies(const std::string& name) override;
  void Redirect(const std::string& url) override;
  void End() override;
  void Clear() override;
  std::string ContentType() override { return content_type; }
  void SetContentType(const std::string& type) override { content_type = type; }
  std::string Charset() override { return charset; }
  void SetCharset(const std::string& value) override { charset = value; }
  std::string Status() override { return status; }
  void SetStatus(const std::string& value) override { status = value; }
  bool Buffer() override { return buffer; }
  void SetBuffer(bool value) override { buffer = value; }
  void AddHeader(const std::string& name, const std::string& value) override {
    headers.emplace_back(name, value);
  }
  void Flush() override { ++flushes; }
  Variant Expires() override { return expires ? Variant(*expires) : Variant(); }
  void SetExpires(int32_t minutes) override { expires = minutes; }
  Variant ExpiresAbsolute() override {
    return expires_absolute ? Variant(*expires_absolute) : Variant();
  }
  void SetExpiresAbsolute(Date when) override { expires_absolute = when; }
  std::string CacheControl() override { return cache_control; }
  void AppendToLog(const std::string& line) override { log.push_back(line); }
  void SetCacheControl(const std::string& value) override { cache_control = value; }

  // Everything written, concatenated.
  std::string Output() const;
  // The cookie of that name, if the page set one.
  std::shared_ptr<ResponseCookie> Cookie(const std::string& name) const;

  std::vector<std::string> writes;  // one entry per Write or BinaryWrite, in call order
  std::vector<std::shared_ptr<ResponseCookie>> cookies;  // in order of first use
  std::optional<std::string> redirect;
  bool ended = false;
  std::string content_type = "text/html";
  std::string charset;
  std::string status = "200 OK";
  std::vector<std::pair<std::string, std::string>> headers;  // AddHeader's, in call order
  int flushes = 0;
  std::optional<int32_t> expires;
  std::optional<Date> expires_absolute;
  std::string cache_control;
  std::vector<std::string> log;  // AppendToLog's lines
  bool buffer = true;
};

class TestSession final : public SessionObject {
 public:
  Variant Value(const std::string& name) override;
  void SetValue(const std::string& name, const Variant& value) override;
  void Remove(const std::string& name) override;
  std::string SessionID() override { return id; }
  int32_t Timeout() override { return timeout; }
  void SetTimeout(int32_t minutes) override { timeout = minutes; }
  void Abandon() override { abandoned = true; }
  void Renew() override;
  int32_t CodePage() override { return code_page; }
  void SetCodePage(int32_t value) override { code_page = value; }

  std::map<std::string, Variant, LessIgnoreCase> values;
  std::string id = "1";
  int32_t timeout = 20;
  int32_t code_page = 936;
  bool abandoned = false;
  int renewals = 0;
};

class TestApplication final : public ApplicationObject {
 public:
  Variant Value(const std::string& name) override;
  void SetValue(const std::string& name, const Variant& value) override;
  void Lock() override { ++locks; }
  void Unlock() override { --locks; }

  std::map<std::string, Variant, LessIgnoreCase> values;
  int locks = 0;
};

class TestServer;

class TestContext final : public ScriptingContext {
 public:
  std::shared_ptr<ApplicationObject> Application() override;
  std::shared_ptr<RequestObject> Request() override;
  std::shared_ptr<ResponseObject> Response() override;
  std::shared_ptr<ServerObject> Server() override;
  std::shared_ptr<SessionObject> Session() override;

  std::shared_ptr<TestApplication> application;
  std::shared_ptr<TestRequest> request;
  std::shared_ptr<TestResponse> response;
  std::shared_ptr<TestServer> server;
  std::shared_ptr<TestSession> session;
};

class TestServer final : public ServerObject {
 public:
  TestServer(std::weak_ptr<ScriptingContext> context, std::filesystem::path site_root,
             std::string script_name);

  std::shared_ptr<Dispatch> CreateObject(const std::string& prog_id) override;
  // "./", "." and relative paths from the script's folder; "/x" from the site root. The result is
  // in page form (drive letters) when the folder is mapped.
  std::string MapPath(const std::string& path) override;
  std::string URLEncode(const std::string& text) override;

  PageObjects& page_objects() { return page_objects_; }
  std::vector<std::string> created;  // ProgIDs passed to CreateObject, in order

 private:
  PageObjects page_objects_;
  std::filesystem::path site_root_;
  std::string script_name_;
};

class TestHost {
 public:
  // site_root is the host folder of the site; script_name the running page ("/app/page.asp").
  explicit TestHost(std::filesystem::path site_root = std::filesystem::current_path(),
                    std::string script_name = "/default.asp");
  ~TestHost();

  // Starts a fresh request and response for the next page; the session and application stay.
  void NewPage(std::string script_name = {});

  // Runs a page: Response.End (EndOfPage) ends it quietly; at its end every object that
  // Server.CreateObject started gets OnEndPage. Other exceptions pass through after that.
  void RunPage(const std::function<void(TestContext&)>& page);

  // Server.CreateObject of the current page.
  std::shared_ptr<Dispatch> CreateObject(const std::string& prog_id);

  TestContext& context() { return *context_; }
  std::shared_ptr<TestContext> context_ptr() { return context_; }
  TestRequest& request() { return *context_->request; }
  TestResponse& response() { return *context_->response; }
  TestSession& session() { return *context_->session; }
  TestServer& server() { return *context_->server; }

 private:
  std::filesystem::path site_root_;
  std::string script_name_;
  std::shared_ptr<TestContext> context_;
};

}  // namespace mirelda::host

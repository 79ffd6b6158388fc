// The page host's objects as components see them: the scripting context and the five intrinsic
// objects. Two hosts implement them: the in-memory test host and the HTTP page host. Each is also
// a Dispatch object, so scripts reach the same operations by name.
//
// Threading: a page runs on one thread from start to end; these objects belong to that page and
// are not shared between threads.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mirelda/dispatch.h"
#include "mirelda/export.h"
#include "mirelda/variant.h"

namespace mirelda {

class ApplicationObject;
class RequestObject;
class ResponseObject;
class ServerObject;
class SessionObject;

// Thrown by Response.End to stop the page script; the host catches it and finishes the response.
// It is deliberately not an Error (nor a std::exception), so trapped steps and script try/catch
// blocks cannot swallow it.
struct MIRELDA_API EndOfPage {};

class MIRELDA_API ScriptingContext : public Dispatch {
 public:
  virtual std::shared_ptr<ApplicationObject> Application() = 0;
  virtual std::shared_ptr<RequestObject> Request() = 0;
  virtual std::shared_ptr<ResponseObject> Response() = 0;
  virtual std::shared_ptr<ServerObject> Server() = 0;
  virtual std::shared_ptr<SessionObject> Session() = 0;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "ScriptingContext"; }
};

// The parts of a request that a page reaches as collections.
enum class RequestPart : uint8_t { kQueryString, kForm, kCookies, kServerVariables };

// A collection of the request (Request.Form, Request.QueryString, Request.Cookies,
// Request.ServerVariables) as a page reaches it without a name: values by name (any letter case)
// or by 1-based position, names by position, and as a whole the text it came from. Names that
// came more than once hold their values joined with ", ", at the place of their first coming.
class MIRELDA_API RequestCollection : public Dispatch {
 public:
  using Entries = std::vector<std::pair<std::string, std::string>>;
  RequestCollection(std::string name, Entries entries, std::string whole);

  // Item(): the whole text; Item(n) with a number the n-th value (Subscript out of range (9)
  // outside 1..Count); Item(name) the value of that name, Empty when there is none.
  Variant Item(const Variant& key);
  int32_t Count() { return static_cast<int32_t>(entries_.size()); }
  // The name at 1-based position n; 9 outside 1..Count.
  std::string Key(const Variant& index);

  const Entries& entries() const { return entries_; }
  // For Each over the collection: its names, in the order they came.
  std::vector<Variant> Enumerate() override;
  const MemberTable& Members() const override;
  std::string ClassName() const override { return name_; }

 private:
  size_t Position(const Variant& index) const;

  std::string name_;
  Entries entries_;
  std::string whole_;
};

class MIRELDA_API RequestObject : public Dispatch {
 public:
  // The text of a server variable ("SCRIPT_NAME", "APPL_PHYSICAL_PATH", "HTTP_USER_AGENT", ...);
  // Empty when the host has no such variable.
  virtual Variant ServerVariables(const std::string& name) = 0;
  // The combined lookup Request(name): query string, form, cookies, server variables, in this
  // order; Empty when none has the name.
  virtual Variant Item(const std::string& name) = 0;
  // A decoded value of one collection; Empty when absent. A Missing name gives the whole
  // collection as text.
  virtual Variant QueryString(const Variant& name) = 0;
  virtual Variant Form(const Variant& name) = 0;
  virtual Variant Cookies(const Variant& name) = 0;
  // Byte count of the request body.
  virtual int32_t TotalBytes() = 0;
  // Up to count further bytes of the body, as a byte array.
  virtual Variant BinaryRead(int32_t count) = 0;
  // The decoded names and values of a part, in the order the browser sent them, repeated names
  // joined as the lookups join them.
  virtual RequestCollection::Entries Entries(RequestPart part) = 0;

  // What the member table's QueryString, Form, Cookies and ServerVariables do: no argument gives
  // the collection object, a number the value at that 1-based position, a name its value.
  Variant CollectionItem(RequestPart part, const Variant& key);
  Variant QueryStringItem(const Variant& key) {
    return CollectionItem(RequestPart::kQueryString, key);
  }
  Variant FormItem(const Variant& key) { return CollectionItem(RequestPart::kForm, key); }
  Variant CookiesItem(const Variant& key) { return CollectionItem(RequestPart::kCookies, key); }
  Variant ServerVariablesItem(const Variant& key) {
    return CollectionItem(RequestPart::kServerVariables, key);
  }

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Request"; }
};

// A cookie the page sets on the response: a plain value or keyed values, an expiry, a path.
class MIRELDA_API ResponseCookie : public Dispatch {
 public:
  explicit ResponseCookie(std::string name);

  // Sets the plain value (dropping keyed values), or with a key one keyed value.
  void SetItem(const Variant& key_or_value, const Variant& value);
  void SetValue(const std::string& value);
  void SetKey(const std::string& key, const std::string& value);
  void SetExpires(Date expires) { expires_ = expires; }
  void SetPath(const std::string& path) { path_ = path; }
  void SetDomain(const std::string& domain) { domain_ = domain; }
  void SetSecure(bool secure) { secure_ = secure; }
  void SetHttpOnly(bool http_only) { http_only_ = http_only; }

  const std::string& name() const { return name_; }
  const std::string& value() const { return value_; }
  const std::vector<std::pair<std::string, std::string>>& keys() const { return keys_; }
  const std::optional<Date>& expires() const { return expires_; }
  const std::string& path() const { return path_; }
  const std::string& domain() const { return domain_; }
  bool secure() const { return secure_; }
  bool http_only() const { return http_only_; }

  // The cookie's value as sent: the plain value, or key=value pairs joined by "&".
  std::string WireValue() const;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Cookie"; }

 private:
  std::string name_;
  std::string value_;
  std::vector<std::pair<std::string, std::string>> keys_;
  std::optional<Date> expires_;
  std::string path_ = "/";
  std::string domain_;
  bool secure_ = false;
  bool http_only_ = false;
};

class MIRELDA_API ResponseObject : public Dispatch {
 public:
  // Appends text to the page (Null and Empty write nothing), in call order.
  virtual void Write(const Variant& text) = 0;
  virtual void BinaryWrite(const Variant& bytes) = 0;
  // The writable cookie of that name, created on first use; the same object on later calls.
  virtual std::shared_ptr<ResponseCookie> Cookies(const std::string& name) = 0;
  // Sends the browser to url (302 with Location). The page script goes on; a page that must stop
  // there calls End.
  virtual void Redirect(const std::string& url) = 0;
  // Stops the page script: throws EndOfPage.
  virtual void End() = 0;
  virtual void Clear() = 0;
  virtual std::string ContentType() = 0;
  virtual void SetContentType(const std::string& type) = 0;
  virtual std::string Charset() = 0;
  virtual void SetCharset(const std::string& charset) = 0;
  // "200 OK" form.
  virtual std::string Status() = 0;
  virtual void SetStatus(const std::string& status) = 0;
  virtual bool Buffer() = 0;
  virtual void SetBuffer(bool buffer) = 0;
  // A header of the page's own. Header text may not carry line breaks (5); after Flush has sent
  // the headers, any change to them is refused with a "Header Error".
  virtual void AddHeader(const std::string& name, const std::string& value) = 0;
  // Sends what is written so far; the headers can no longer change.
  virtual void Flush() = 0;
  // Minutes until browsers and caches should consider the page stale (Expires header); 0 is now.
  virtual Variant Expires() = 0;
  virtual void SetExpires(int32_t minutes) = 0;
  virtual Variant ExpiresAbsolute() = 0;
  virtual void SetExpiresAbsolute(Date when) = 0;
  virtual std::string CacheControl() = 0;
  virtual void SetCacheControl(const std::string& value) = 0;
  // A line for the host's log, never for the visitor: what a page wants kept of a failure it
  // answers in its own words.
  virtual void AppendToLog(const std::string& line) = 0;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Response"; }
};

// What Server.GetLastError reports: the last error a page of this request raised and no script
// handled, with the place it was raised. Number 0 and empty texts when there was none.
struct AspErrorInfo {
  int32_t number = 0;
  std::string description;
  std::string source;  // "Microsoft VBScript runtime error", a component's source, ...
  std::string file;    // URL path of the file: "/inc/menu.inc"
  int32_t line = 0;
  int32_t column = 0;
  std::string category;  // "Microsoft VBScript compilation", "ASP", the source, ...
};

class MIRELDA_API AspError : public Dispatch {
 public:
  explicit AspError(AspErrorInfo info) : info_(std::move(info)) {}

  int32_t Number() { return info_.number; }
  std::string Description() { return info_.description; }
  std::string Source() { return info_.source; }
  std::string File() { return info_.file; }
  int32_t Line() { return info_.line; }
  int32_t Column() { return info_.column; }
  std::string Category() { return info_.category; }
  // The host's own code and text for errors of the host rather than of a script: empty here.
  std::string ASPCode() { return {}; }
  std::string ASPDescription() { return {}; }

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "ASPError"; }

 private:
  AspErrorInfo info_;
};

class MIRELDA_API ServerObject : public Dispatch {
 public:
  // Creates an object by ProgID through the automation runtime. When the object has OnStartPage,
  // the host calls it with the page's context now and OnEndPage when the page ends.
  virtual std::shared_ptr<Dispatch> CreateObject(const std::string& prog_id) = 0;
  // The physical path of a page path; relative paths are taken from the running page's folder.
  virtual std::string MapPath(const std::string& path) = 0;
  // HTML-escapes &, <, >, " and '.
  virtual std::string HTMLEncode(const std::string& text);
  // Percent-encodes text in the host's code page, blanks as "+".
  virtual std::string URLEncode(const std::string& text) = 0;
  virtual int32_t ScriptTimeout() { return 90; }
  // Runs another page of the site (path as MapPath takes it) as part of this one: it shares the
  // request, the response, the session and the application, and writes where this page writes.
  // Its Response.End ends this page too; an error it does not handle is raised here. A host that
  // runs no pages refuses (5).
  virtual void Execute(const std::string& path);
  // Execute, then this page ends as with Response.End.
  virtual void Transfer(const std::string& path);
  // The last error of this request that no script handled (an executed page's, or the failed
  // page's on the site's error page).
  virtual std::shared_ptr<AspError> GetLastError();

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Server"; }
};

class MIRELDA_API SessionObject : public Dispatch {
 public:
  // A stored value; Empty when none.
  virtual Variant Value(const std::string& name) = 0;
  virtual void SetValue(const std::string& name, const Variant& value) = 0;
  virtual void Remove(const std::string& name) = 0;
  virtual std::string SessionID() = 0;
  // Idle timeout in minutes.
  virtual int32_t Timeout() = 0;
  virtual void SetTimeout(int32_t minutes) = 0;
  // Drops the session and its values at the end of the page.
  virtual void Abandon() = 0;
  // Gives the session a new identifier, keeping its values (after a logon, so that an identifier
  // known before the logon is worth nothing after it).
  virtual void Renew() = 0;
  // The code page that decodes what the browser sends and encodes the response: 936 (GBK, the
  // default) or 65001 (UTF-8).
  virtual int32_t CodePage() = 0;
  virtual void SetCodePage(int32_t code_page) = 0;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Session"; }
};

class MIRELDA_API ApplicationObject : public Dispatch {
 public:
  virtual Variant Value(const std::string& name) = 0;
  virtual void SetValue(const std::string& name, const Variant& value) = 0;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Application"; }
};

// Shared by the hosts: calls OnStartPage on objects that Server.CreateObject makes and OnEndPage on
// each of them, in creation order, when the page ends.
class MIRELDA_API PageObjects {
 public:
  explicit PageObjects(std::weak_ptr<ScriptingContext> context);
  ~PageObjects();
  PageObjects(const PageObjects&) = delete;
  PageObjects& operator=(const PageObjects&) = delete;

  std::shared_ptr<Dispatch> Create(const std::string& prog_id);
  // Calls OnEndPage on every started object and forgets them. Errors from OnEndPage are swallowed:
  // the page has ended and nothing can report them. Runs once; later calls do nothing.
  void EndPage();

 private:
  std::weak_ptr<ScriptingContext> context_;
  std::vector<std::shared_ptr<Dispatch>> started_;
};

}  // namespace mirelda

// The Session object of the HTTP host: one page's view of the visitor's session in a
// SessionStore. The session is made on first write (or when the page asks for its identifier),
// never from an identifier that the browser made up; every read and write goes straight to the
// store, so two pages of one visitor running at once see each other's values. Belongs to the
// page's thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "host/objects/contents_collection.h"
#include "host/state/session_store.h"
#include "mirelda/host.h"

namespace mirelda::host {

class HttpSession final : public SessionObject {
 public:
  // incoming_id is the identifier from the request's cookie, if any. code_page is the page's
  // current code page, which Session.CodePage changes for the rest of the page too. With
  // secure_cookie the cookie carries Secure, so browsers send it over HTTPS only.
  HttpSession(SessionStore& store, std::optional<std::string> incoming_id, SessionState defaults,
              int32_t& code_page, bool secure_cookie = false);

  Variant Value(const std::string& name) override;
  void SetValue(const std::string& name, const Variant& value) override;
  void Remove(const std::string& name) override;
  std::string SessionID() override;
  int32_t Timeout() override;
  void SetTimeout(int32_t minutes) override;
  void Abandon() override;
  void Renew() override;
  int32_t CodePage() override { return code_page_; }
  void SetCodePage(int32_t code_page) override;

  // Session.Contents: without a key the collection of the values, with one the value, as
  // Session(key) reads and writes it.
  Variant Contents(const Variant& key);
  void SetContents(const Variant& key, const Variant& value);
  // The names of the stored values, in the store's order; none without a live session.
  std::vector<std::string> Names();
  // Drops every stored value; the session itself stays.
  void RemoveAll();
  const MemberTable& Members() const override;

  // The Set-Cookie header value the reply needs: when the session was made or renewed on this
  // page, or dropped by Abandon. Removes an abandoned session from the store.
  std::optional<std::string> FinishPage();

  // True when there is a live session (the browser brought one, or this page made one).
  bool live() const { return id_.has_value(); }
  // The session's objects of global.asa's object tags, making the session when there is none.
  std::shared_ptr<SharedObjects> Objects();
  // For a page whose ENABLESESSIONSTATE is False: its script reaches no session.
  void TurnOff() { off_ = true; }

 private:
  std::shared_ptr<ContentsCollection> MakeContents();
  // A page with its session turned off is refused every member.
  void RequireOn() const;
  // The identifier of the live session, making one when there is none.
  const std::string& Ensure();
  // Runs change on the live session; false when there is none (any more).
  bool Access(const std::function<void(SessionState&)>& change);

  SessionStore& store_;
  std::optional<std::string> id_;  // of a live session
  SessionState defaults_;
  int32_t& code_page_;
  bool cookie_changed_ = false;
  bool abandoned_ = false;
  bool off_ = false;
  bool secure_cookie_ = false;
};

}  // namespace mirelda::host

// The Session object of the HTTP host: one page's view of the visitor's session in a
// SessionStore. The session is made on first write (or when the page asks for its identifier),
// never from an identifier that the browser made up. The page loads the session when it first
// touches it (a page that never does costs a shared store nothing), works on its own copy, and saves
// it once when it ends, and only when it changed something. When another page of the same visitor
// saved in between, the session is loaded again and this page's changes are made again on top,
// in the order the page made them: for each value the page that ends last wins. Belongs to the
// page's thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

  // Saves what the page changed and returns the Set-Cookie header value the reply needs: when
  // the session was made or renewed on this page, or dropped by Abandon. Removes an abandoned
  // session from the store.
  std::optional<std::string> FinishPage();
  // True when the store could not be reached for this page: the reply is 503, whatever the
  // script made of the error.
  bool store_failed() const { return store_failed_; }

  // True when there is a live session (the browser brought one, or this page made one).
  bool live();
  // The session's objects of global.asa's object tags, making the session when there is none.
  std::shared_ptr<SharedObjects> Objects();
  // For a page whose ENABLESESSIONSTATE is False: its script reaches no session.
  void TurnOff() { off_ = true; }

 private:
  std::shared_ptr<ContentsCollection> MakeContents();
  // A page with its session turned off is refused every member.
  void RequireOn() const;
  // Loads the session that the cookie names, once.
  void Load();
  // The identifier of the live session, making one when there is none.
  const std::string& Ensure();
  // Makes change on the page's copy and keeps it to make again after a conflicting save.
  void Change(std::function<void(SessionState&)> change);
  // Writes the page's copy back; loads and redoes the changes while other pages save first.
  void Save();
  // Runs a call of the store; a store that cannot be reached becomes a script error and marks
  // the page for 503.
  template <typename F>
  auto Guard(F&& call) -> decltype(call());

  SessionStore& store_;
  std::optional<std::string> incoming_id_;  // not looked up yet
  std::optional<std::string> id_;           // of a live session
  SessionState state_;                      // the page's copy of the live session
  uint64_t version_ = 0;
  std::chrono::milliseconds idle_{0};
  std::vector<std::function<void(SessionState&)>> changes_;
  SessionState defaults_;
  int32_t& code_page_;
  bool store_failed_ = false;
  bool cookie_changed_ = false;
  bool abandoned_ = false;
  bool off_ = false;
  bool secure_cookie_ = false;
};

}  // namespace mirelda::host

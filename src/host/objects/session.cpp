#include "host/objects/session.h"

#include <algorithm>

#include "host/objects/code_page.h"
#include "host/objects/request.h"
#include "mirelda/error.h"

namespace mirelda::host {
namespace {

// Session values outlive the page and may be read by another thread, so they hold data only.
void RequireStorable(const Variant& value) {
  if (value.is_object()) {
    throw Error(errc::kInvalidProcedureCall, "A session value cannot hold an object");
  }
  if (value.is_array()) {
    for (const Variant& item : value.AsArray().items()) RequireStorable(item);
  }
}

}  // namespace

HttpSession::HttpSession(SessionStore& store, std::optional<std::string> incoming_id,
                         SessionState defaults, int32_t& code_page, bool secure_cookie)
    : store_(store),
      incoming_id_(std::move(incoming_id)),
      defaults_(std::move(defaults)),
      code_page_(code_page),
      secure_cookie_(secure_cookie) {
  // The session's code page holds from the page's first line when a load is free; a shared
  // store is asked only once the page touches the session, and its code page holds from there.
  if (store_.local()) Load();
}

template <typename F>
auto HttpSession::Guard(F&& call) -> decltype(call()) {
  try {
    return call();
  } catch (const StoreUnavailable& e) {
    store_failed_ = true;
    throw Error(errc::kUnspecified,
                std::string("The session store cannot be reached: ") + e.what());
  }
}

void HttpSession::Load() {
  if (!incoming_id_) return;
  std::string id = std::move(*incoming_id_);
  incoming_id_.reset();
  std::optional<LoadedSession> loaded = Guard([&] { return store_.Load(id); });
  if (!loaded) return;
  id_ = std::move(id);
  state_ = std::move(loaded->state);
  version_ = loaded->version;
  idle_ = loaded->idle;
  code_page_ = state_.code_page;
}

bool HttpSession::live() {
  Load();
  return id_.has_value();
}

const std::string& HttpSession::Ensure() {
  Load();
  if (!id_) {
    state_ = defaults_;
    state_.code_page = code_page_;
    id_ = Guard([&] { return store_.Create(state_); });
    version_ = 1;
    idle_ = std::chrono::milliseconds(0);
    changes_.clear();
    cookie_changed_ = true;
  }
  return *id_;
}

void HttpSession::Change(std::function<void(SessionState&)> change) {
  change(state_);
  changes_.push_back(std::move(change));
}

Variant HttpSession::Value(const std::string& name) {
  RequireOn();
  Load();
  auto it = state_.values.find(name);
  return id_ && it != state_.values.end() ? it->second : Variant();
}

void HttpSession::SetValue(const std::string& name, const Variant& value) {
  RequireOn();
  RequireStorable(value);
  Ensure();
  Change([name, value](SessionState& s) { s.values[name] = value; });
}

void HttpSession::Remove(const std::string& name) {
  RequireOn();
  if (!live()) return;
  Change([name](SessionState& s) { s.values.erase(name); });
}

std::string HttpSession::SessionID() {
  RequireOn();
  return Ensure();
}

void HttpSession::RequireOn() const {
  if (off_) {
    throw Error(errc::kInvalidProcedureCall,
                "This page runs without a session (ENABLESESSIONSTATE=False)");
  }
}

std::shared_ptr<SharedObjects> HttpSession::Objects() {
  RequireOn();
  Ensure();
  if (!state_.objects) {
    // Made once for the session: a page that redoes its changes after a conflict keeps the
    // objects the first page of the session made, if any.
    auto objects = std::make_shared<SharedObjects>();
    Change([objects](SessionState& s) {
      if (!s.objects) s.objects = objects;
    });
  }
  return state_.objects;
}

int32_t HttpSession::Timeout() {
  RequireOn();
  std::chrono::seconds timeout = live() ? state_.timeout : defaults_.timeout;
  return static_cast<int32_t>((timeout.count() + 59) / 60);
}

void HttpSession::SetTimeout(int32_t minutes) {
  RequireOn();
  if (minutes < 1 || minutes > 525600) {
    throw Error(errc::kInvalidProcedureCall, "Session.Timeout takes 1 to 525600 minutes");
  }
  Ensure();
  Change([minutes](SessionState& s) { s.timeout = std::chrono::minutes(minutes); });
}

void HttpSession::Abandon() {
  RequireOn();
  Load();
  abandoned_ = true;
}

void HttpSession::Renew() {
  RequireOn();
  if (!live()) return;
  if (std::optional<std::string> fresh = Guard([&] { return store_.Renew(*id_); })) {
    id_ = std::move(fresh);
    cookie_changed_ = true;
  } else {
    id_.reset();
    changes_.clear();
  }
}

void HttpSession::SetCodePage(int32_t code_page) {
  RequireOn();
  if (!IsSupportedCodePage(code_page)) {
    throw Error(errc::kInvalidProcedureCall,
                "The code page " + std::to_string(code_page) + " is not supported");
  }
  code_page_ = code_page;
  Ensure();
  Change([code_page](SessionState& s) { s.code_page = code_page; });
}

std::vector<std::string> HttpSession::Names() {
  RequireOn();
  std::vector<std::string> names;
  if (!live()) return names;
  for (const auto& [name, value] : state_.values) names.push_back(name);
  return names;
}

void HttpSession::RemoveAll() {
  RequireOn();
  if (!live()) return;
  Change([](SessionState& s) { s.values.clear(); });
}

std::shared_ptr<ContentsCollection> HttpSession::MakeContents() {
  RequireOn();
  // The collection keeps the session object alive for as long as a page holds it.
  auto self = std::static_pointer_cast<HttpSession>(shared_from_this());
  return std::make_shared<ContentsCollection>(
      "Contents",
      ContentsAccess{
          [self] { return self->Names(); },
          [self](const std::string& name) { return self->Value(name); },
          [self](const std::string& name, const Variant& v) { self->SetValue(name, v); },
          [self](const std::string& name) { self->Remove(name); },
          [self] { self->RemoveAll(); },
      });
}

Variant HttpSession::Contents(const Variant& key) { return ContentsItem(MakeContents(), key); }

void HttpSession::SetContents(const Variant& key, const Variant& value) {
  MakeContents()->SetItem(key, value);
}

const MemberTable& HttpSession::Members() const {
  const MemberTable& base = SessionObject::Members();
  static const MemberTable table = [&base] {
    std::vector<Member> members = base.members();
    MemberTable added = MemberTableBuilder<HttpSession>("ISessionObject")
                            .Get<&HttpSession::Contents>("Contents", {Arg("key").Optional()})
                            .Let<&HttpSession::SetContents>("Contents", {Arg("key"), Arg("value")})
                            .Build();
    for (const Member& m : added.members()) members.push_back(m);
    return MemberTable(base.interface_name(), base.interface_id(), std::move(members));
  }();
  return table;
}

void HttpSession::Save() {
  if (changes_.empty()) {
    // In a shared store the idle clock moves on only now and then for a page that changed
    // nothing, so that reading pages cost no write; the session may end up to a twentieth of its
    // timeout early there. In memory a touch is cheap, so every page keeps the session alive.
    auto grain = std::min<std::chrono::milliseconds>(state_.timeout / 20, std::chrono::seconds(30));
    if (store_.local() || idle_ >= grain) store_.Touch(*id_);
    return;
  }
  // Each round is a save that another page beat; a handful is plenty for one visitor's pages.
  for (int round = 0; round < 16; ++round) {
    switch (store_.Save(*id_, state_, version_)) {
      case SaveOutcome::kSaved:
        return;
      case SaveOutcome::kGone:
        return;  // ended while the page ran: its changes end with it
      case SaveOutcome::kConflict:
        break;
    }
    std::optional<LoadedSession> loaded = store_.Load(*id_);
    if (!loaded) return;
    state_ = std::move(loaded->state);
    version_ = loaded->version;
    for (const auto& change : changes_) change(state_);
  }
  throw Error(errc::kUnspecified, "The session changed under this page too often to be saved");
}

std::optional<std::string> HttpSession::FinishPage() {
  std::string attributes =
      std::string("; Path=/; HttpOnly; SameSite=Lax") + (secure_cookie_ ? "; Secure" : "");
  try {
    if (abandoned_) {
      if (id_) store_.Remove(*id_);
      id_.reset();
      return std::string(kSessionCookieName) + "=; Max-Age=0" + attributes;
    }
    if (id_) Save();
  } catch (const StoreUnavailable&) {
    store_failed_ = true;
    return std::nullopt;
  }
  if (cookie_changed_ && id_) return std::string(kSessionCookieName) + "=" + *id_ + attributes;
  return std::nullopt;
}

}  // namespace mirelda::host

#include "host/objects/session.h"

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
      defaults_(std::move(defaults)),
      code_page_(code_page),
      secure_cookie_(secure_cookie) {
  if (incoming_id) {
    int32_t stored_code_page = 0;
    if (store_.Update(*incoming_id, [&](SessionState& s) { stored_code_page = s.code_page; })) {
      id_ = std::move(incoming_id);
      code_page_ = stored_code_page;
    }
  }
}

const std::string& HttpSession::Ensure() {
  if (!id_) {
    SessionState fresh = defaults_;
    fresh.code_page = code_page_;
    id_ = store_.Create(std::move(fresh));
    cookie_changed_ = true;
  }
  return *id_;
}

bool HttpSession::Access(const std::function<void(SessionState&)>& change) {
  if (!id_) return false;
  if (store_.Update(*id_, change)) return true;
  id_.reset();  // expired while the page ran
  return false;
}

Variant HttpSession::Value(const std::string& name) {
  RequireOn();
  Variant value;
  Access([&](SessionState& s) {
    auto it = s.values.find(name);
    if (it != s.values.end()) value = it->second;
  });
  return value;
}

void HttpSession::SetValue(const std::string& name, const Variant& value) {
  RequireOn();
  RequireStorable(value);
  auto set = [&](SessionState& s) { s.values[name] = value; };
  Ensure();
  if (!Access(set)) {
    Ensure();
    Access(set);
  }
}

void HttpSession::Remove(const std::string& name) {
  RequireOn();
  Access([&](SessionState& s) { s.values.erase(name); });
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
  std::shared_ptr<SharedObjects> objects;
  auto take = [&](SessionState& s) {
    if (!s.objects) s.objects = std::make_shared<SharedObjects>();
    objects = s.objects;
  };
  Ensure();
  if (!Access(take)) {
    Ensure();
    Access(take);
  }
  return objects;
}

int32_t HttpSession::Timeout() {
  RequireOn();
  std::chrono::seconds timeout = defaults_.timeout;
  Access([&](SessionState& s) { timeout = s.timeout; });
  return static_cast<int32_t>((timeout.count() + 59) / 60);
}

void HttpSession::SetTimeout(int32_t minutes) {
  RequireOn();
  if (minutes < 1 || minutes > 525600) {
    throw Error(errc::kInvalidProcedureCall, "Session.Timeout takes 1 to 525600 minutes");
  }
  Ensure();
  Access([&](SessionState& s) { s.timeout = std::chrono::minutes(minutes); });
}

void HttpSession::Abandon() {
  RequireOn();
  abandoned_ = true;
}

void HttpSession::Renew() {
  RequireOn();
  if (!id_) return;
  if (std::optional<std::string> fresh = store_.Renew(*id_)) {
    id_ = std::move(fresh);
    cookie_changed_ = true;
  } else {
    id_.reset();
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
  Access([&](SessionState& s) { s.code_page = code_page; });
}

std::vector<std::string> HttpSession::Names() {
  RequireOn();
  std::vector<std::string> names;
  Access([&](SessionState& s) {
    for (const auto& [name, value] : s.values) names.push_back(name);
  });
  return names;
}

void HttpSession::RemoveAll() {
  RequireOn();
  Access([&](SessionState& s) { s.values.clear(); });
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

std::optional<std::string> HttpSession::FinishPage() {
  std::string attributes =
      std::string("; Path=/; HttpOnly; SameSite=Lax") + (secure_cookie_ ? "; Secure" : "");
  if (abandoned_) {
    if (id_) store_.Remove(*id_);
    id_.reset();
    return std::string(kSessionCookieName) + "=; Max-Age=0" + attributes;
  }
  if (cookie_changed_ && id_) return std::string(kSessionCookieName) + "=" + *id_ + attributes;
  return std::nullopt;
}

}  // namespace mirelda::host

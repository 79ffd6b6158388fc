#include "host/objects/application.h"

#include "host/state/session_store.h"
#include "mirelda/error.h"

namespace mirelda::host {

namespace {

// Runs a call of the state; a store that cannot be reached becomes a script error and marks the
// page for 503.
template <typename F>
auto Guard(bool& failed, F&& call) -> decltype(call()) {
  try {
    return call();
  } catch (const StoreUnavailable& e) {
    failed = true;
    throw Error(errc::kUnspecified,
                std::string("The application store cannot be reached: ") + e.what());
  }
}

}  // namespace

HttpApplication::~HttpApplication() { ReleaseLocks(); }

void HttpApplication::ReleaseLocks() {
  while (held_ > 0) {
    --held_;
    try {
      state_.Unlock(page_);
    } catch (const StoreUnavailable&) {
      // The lock went with the connection that held it.
      *store_failed_ = true;
    }
  }
}

Variant HttpApplication::Value(const std::string& name) {
  return Guard(*store_failed_, [&] { return state_.Get(name); });
}

void HttpApplication::SetValue(const std::string& name, const Variant& value) {
  Guard(*store_failed_, [&] { state_.Set(name, value, page_, deadline_); });
}

void HttpApplication::Lock() {
  Guard(*store_failed_, [&] { state_.Lock(page_, deadline_); });
  ++held_;
}

void HttpApplication::Unlock() {
  if (held_ == 0) return;
  --held_;
  Guard(*store_failed_, [&] { state_.Unlock(page_); });
}

std::shared_ptr<ContentsCollection> HttpApplication::MakeContents() {
  // The state outlives every page; the page's identity is what Lock and Unlock go by.
  ApplicationState* state = &state_;
  std::thread::id page = page_;
  Deadline deadline = deadline_;
  std::shared_ptr<bool> failed = store_failed_;
  return std::make_shared<ContentsCollection>(
      "Contents",
      ContentsAccess{
          [state, failed] { return Guard(*failed, [&] { return state->Names(); }); },
          [state, failed](const std::string& name) {
            return Guard(*failed, [&] { return state->Get(name); });
          },
          [state, page, deadline, failed](const std::string& name, const Variant& v) {
            Guard(*failed, [&] { state->Set(name, v, page, deadline); });
          },
          [state, page, deadline, failed](const std::string& name) {
            Guard(*failed, [&] { state->Remove(name, page, deadline); });
          },
          [state, page, deadline, failed] {
            Guard(*failed, [&] { state->RemoveAll(page, deadline); });
          },
      });
}

Variant HttpApplication::Contents(const Variant& key) { return ContentsItem(MakeContents(), key); }

void HttpApplication::SetContents(const Variant& key, const Variant& value) {
  MakeContents()->SetItem(key, value);
}

const MemberTable& HttpApplication::Members() const {
  const MemberTable& base = ApplicationObject::Members();
  static const MemberTable table = [&base] {
    std::vector<Member> members = base.members();
    MemberTable added =
        MemberTableBuilder<HttpApplication>("IApplicationObject")
            .Get<&HttpApplication::Contents>("Contents", {Arg("key").Optional()})
            .Let<&HttpApplication::SetContents>("Contents", {Arg("key"), Arg("value")})
            .Build();
    for (const Member& m : added.members()) members.push_back(m);
    return MemberTable(base.interface_name(), base.interface_id(), std::move(members));
  }();
  return table;
}

}  // namespace mirelda::host

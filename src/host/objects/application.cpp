#include "host/objects/application.h"

namespace mirelda::host {

HttpApplication::~HttpApplication() { ReleaseLocks(); }

void HttpApplication::ReleaseLocks() {
  while (held_ > 0) {
    state_.Unlock(page_);
    --held_;
  }
}

void HttpApplication::SetValue(const std::string& name, const Variant& value) {
  state_.Set(name, value, page_);
}

void HttpApplication::Lock() {
  state_.Lock(page_);
  ++held_;
}

void HttpApplication::Unlock() {
  if (held_ == 0) return;
  state_.Unlock(page_);
  --held_;
}

}  // namespace mirelda::host

namespace mirelda::host {

std::shared_ptr<ContentsCollection> HttpApplication::MakeContents() {
  // The state outlives every page; the page's identity is what Lock and Unlock go by.
  ApplicationState* state = &state_;
  std::thread::id page = page_;
  return std::make_shared<ContentsCollection>(
      "Contents",
      ContentsAccess{
          [state] { return state->Names(); },
          [state](const std::string& name) { return state->Get(name); },
          [state, page](const std::string& name, const Variant& v) { state->Set(name, v, page); },
          [state, page](const std::string& name) { state->Remove(name, page); },
          [state, page] { state->RemoveAll(page); },
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

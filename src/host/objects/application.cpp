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

// The Application object of the HTTP host: one page's handle to the ApplicationState of the
// process. Belongs to the page's thread; the locks it holds are given back when the page ends.
#pragma once

#include <thread>

#include "host/objects/contents_collection.h"
#include "host/state/application_state.h"
#include "mirelda/host.h"

namespace mirelda::host {

class HttpApplication final : public ApplicationObject {
 public:
  explicit HttpApplication(ApplicationState& state) : state_(state) {}
  // Releases the locks the page still holds.
  ~HttpApplication() override;

  Variant Value(const std::string& name) override { return state_.Get(name); }
  void SetValue(const std::string& name, const Variant& value) override;
  void Lock() override;
  void Unlock() override;
  // Gives back every lock the page still holds; the page has ended.
  void ReleaseLocks();

  // Application.Contents: without a key the collection of the values, with one the value.
  // Removing waits, as writing does, while another page holds the lock.
  Variant Contents(const Variant& key);
  void SetContents(const Variant& key, const Variant& value);
  const MemberTable& Members() const override;

 private:
  std::shared_ptr<ContentsCollection> MakeContents();

  ApplicationState& state_;
  std::thread::id page_ = std::this_thread::get_id();
  int held_ = 0;
};

}  // namespace mirelda::host

// The Application object of the HTTP host: one page's handle to the site's ApplicationState.
// Belongs to the page's thread; the locks it holds are given back when the page ends, and a wait
// for another page's lock ends at the page's deadline.
#pragma once

#include <thread>

#include "host/objects/contents_collection.h"
#include "host/state/application_state.h"
#include "mirelda/host.h"

namespace mirelda::host {

class HttpApplication final : public ApplicationObject {
 public:
  HttpApplication(ApplicationState& state, Deadline deadline)
      : state_(state), deadline_(deadline) {}
  // Releases the locks the page still holds.
  ~HttpApplication() override;

  Variant Value(const std::string& name) override;
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

  // True when the shared store could not be reached for this page: the reply is 503.
  bool store_failed() const { return *store_failed_; }

 private:
  std::shared_ptr<ContentsCollection> MakeContents();

  ApplicationState& state_;
  Deadline deadline_;
  // Shared with the page's Contents collections.
  std::shared_ptr<bool> store_failed_ = std::make_shared<bool>(false);
  std::thread::id page_ = std::this_thread::get_id();
  int held_ = 0;
};

}  // namespace mirelda::host

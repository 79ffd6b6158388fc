// The Application object: values shared by every page of the site for the life of the process.
// Lock gives one page the right to change them until it calls Unlock or ends; other pages that
// write meanwhile wait. ApplicationState is shared by all threads; HttpApplication is one page's
// handle to it and belongs to that page's thread.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "host/name_map.h"
#include "mirelda/host.h"

namespace mirelda::host {

class ApplicationState {
 public:
  Variant Get(const std::string& name);
  // Waits while another page holds the lock.
  void Set(const std::string& name, const Variant& value, std::thread::id page);
  void Lock(std::thread::id page);
  void Unlock(std::thread::id page);

 private:
  // Callers hold mutex_.
  void WaitForTurn(std::unique_lock<std::mutex>& lock, std::thread::id page);

  std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, Variant, LessIgnoreCase> values_;
  std::thread::id owner_;
  int depth_ = 0;
};

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

 private:
  ApplicationState& state_;
  std::thread::id page_ = std::this_thread::get_id();
  int held_ = 0;
};

}  // namespace mirelda::host

#include "host/page/runner_pool.h"

namespace mirelda::host {

RunnerPool::Lease::~Lease() {
  if (!runner_) return;
  try {
    pool_->GiveBack(*engine_, std::move(runner_));
  } catch (...) {
    // No room to keep it: the runner is dropped, and a later run makes another.
  }
}

RunnerPool::Lease RunnerPool::Take(const ScriptEngine& engine) {
  {
    std::lock_guard lock(mutex_);
    std::vector<std::unique_ptr<ScriptRunner>>& idle = idle_[&engine];
    if (!idle.empty()) {
      std::unique_ptr<ScriptRunner> runner = std::move(idle.back());
      idle.pop_back();
      return Lease(*this, engine, std::move(runner));
    }
  }
  // Made outside the lock: a new heap takes a while, and others may give theirs back meanwhile.
  return Lease(*this, engine, engine.NewRunner());
}

void RunnerPool::GiveBack(const ScriptEngine& engine, std::unique_ptr<ScriptRunner> runner) {
  std::lock_guard lock(mutex_);
  idle_[&engine].push_back(std::move(runner));
}

}  // namespace mirelda::host

// The script runners of a page host, kept between page runs. A runner holds an engine's heap,
// which is costly to make, and serves one run at a time on whichever thread asks for it: page
// workers and connection threads alike take one for a request and give it back at the end, so a
// thread that is new (a connection's own) still finds a warm heap. Safe to call from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "host/page/script_engine.h"

namespace mirelda::host {

class RunnerPool {
 public:
  // One runner, held until the lease ends; then it goes back to the pool it came from.
  class Lease {
   public:
    Lease(RunnerPool& pool, const ScriptEngine& engine, std::unique_ptr<ScriptRunner> runner)
        : pool_(&pool), engine_(&engine), runner_(std::move(runner)) {}
    Lease(Lease&&) noexcept = default;
    Lease& operator=(Lease&&) = delete;
    ~Lease();
    ScriptRunner& operator*() const { return *runner_; }
    const ScriptEngine& engine() const { return *engine_; }

   private:
    RunnerPool* pool_;
    const ScriptEngine* engine_;
    std::unique_ptr<ScriptRunner> runner_;
  };

  // The runner of engine given back last (its memory is the likeliest to be in the caches), or
  // a new one when all are taken.
  Lease Take(const ScriptEngine& engine);

 private:
  void GiveBack(const ScriptEngine& engine, std::unique_ptr<ScriptRunner> runner);

  std::mutex mutex_;
  std::unordered_map<const ScriptEngine*, std::vector<std::unique_ptr<ScriptRunner>>> idle_;
};

}  // namespace mirelda::host

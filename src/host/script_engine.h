// Runs compiled pages in Duktape. An engine owns one script heap and serves the pages of one
// thread, one after another; each page runs as a function of its own, with the five objects as
// its parameters, and the globals a page leaves behind are removed when it ends. A page stops at
// Response.End (whatever try/catch it is in), at an uncaught error, or when it runs longer than
// its time limit.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/page_compiler.h"
#include "mirelda/host.h"

namespace mirelda::host {

struct PageRun {
  enum class Outcome {
    kCompleted,  // ran to its end
    kEnded,      // stopped by Response.End or Redirect
    kFailed,     // an error no script caught, a syntax error, or the time limit
  };
  Outcome outcome = Outcome::kCompleted;
  // For kFailed: the error and where it was raised.
  int32_t number = 0;
  std::string description;
  SourceLocation where;
};

class ScriptEngine {
 public:
  // memory_limit caps the bytes the script heap may hold; a page that needs more fails.
  explicit ScriptEngine(size_t memory_limit = size_t{512} << 20);
  ~ScriptEngine();
  ScriptEngine(const ScriptEngine&) = delete;
  ScriptEngine& operator=(const ScriptEngine&) = delete;

  // Runs the page with the given context. Each page's function is compiled once per engine and
  // again when the page changes.
  PageRun Run(const CompiledPage& page, ScriptingContext& context,
              std::chrono::milliseconds time_limit);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace mirelda::host

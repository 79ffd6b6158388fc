// Runs VBScript page text the way the host does: the real page parser reads it from a file in a
// temporary site, the engine compiles it, and a runner runs it against the in-memory test host.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/page/page_parser.h"
#include "host/test_host/test_host.h"
#include "script/vbscript/engine.h"
#include "support/temp_dir.h"

namespace mirelda::script::vbscript::testing {

struct PageOutcome {
  host::PageRun run;
  std::string output;
  bool compiled = true;  // false: the compile error is in run (number, description, where)
};

struct PageOptions {
  std::chrono::milliseconds time_limit{10000};
  size_t memory_limit = size_t{64} << 20;
  std::vector<host::NamedObject> objects;
};

class VbsSite {
 public:
  VbsSite() : engine_(MakeVBScriptEngine()), runner_(engine_->NewRunner()) {}

  void WriteFile(const std::string& name, const std::string& text) {
    std::filesystem::path path = dir_.path() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }

  // Runs the page text as /page.asp (a new request each time; the session stays).
  PageOutcome Run(const std::string& text, const PageOptions& options = {}) {
    const std::string url_path = "/page.asp";
    WriteFile("page.asp", text);
    PageOutcome outcome;
    host::PageParseOptions parse;
    parse.canonical_language = [](std::string_view name) -> std::string {
      std::string lower(name);
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return lower == "vbscript" || lower == "vbs" ? "vbscript" : "";
    };
    std::shared_ptr<const host::CompiledScript> script;
    try {
      auto source = host::ParsePage(dir_.path(), url_path, parse);
      script = engine_->Compile(*source);
    } catch (const host::PageError& e) {
      outcome.compiled = false;
      outcome.run.outcome = host::PageRun::Outcome::kFailed;
      outcome.run.number = e.number();
      outcome.run.description = e.description();
      outcome.run.source = e.source();
      outcome.run.where = e.where();
      return outcome;
    }
    host_.NewPage(url_path);
    host_.RunPage([&](host::TestContext& context) {
      host::PageRunInput input;
      input.context = &context;
      input.time_limit = options.time_limit;
      input.deadline = std::chrono::steady_clock::now() + options.time_limit;
      input.memory_limit = options.memory_limit;
      input.objects = options.objects;
      outcome.run = runner_->Run(*script, input);
    });
    outcome.output = host_.response().Output();
    return outcome;
  }

  host::TestHost& host() { return host_; }
  const std::filesystem::path& root() const { return dir_.path(); }

 private:
  mirelda::testing::TempDir dir_;
  host::TestHost host_{dir_.path(), "/page.asp"};
  std::shared_ptr<const host::ScriptEngine> engine_;
  std::unique_ptr<host::ScriptRunner> runner_;
};

// Output of "<% code %>", failing the test when the page did not complete.
inline std::string Output(VbsSite& site, const std::string& code) {
  PageOutcome outcome = site.Run("<%\n" + code + "\n%>");
  EXPECT_EQ(outcome.run.outcome, host::PageRun::Outcome::kCompleted)
      << outcome.run.number << " " << outcome.run.description << " line " << outcome.run.where.line
      << "\n"
      << code;
  return outcome.output;
}

// A case of a table: code and what it writes.
struct OutputCase {
  const char* name;
  const char* code;
  const char* output;
};

// A case of a table: code and the error that ends the page (number and line of "<%\n" + code).
struct ErrorCase {
  const char* name;
  const char* code;
  int32_t number;
  int line;
};

// Each case runs after prefix (shared declarations), on one site; an error's line counts from the
// first line of the case's code.
inline void ExpectOutputs(const std::string& prefix, const std::vector<OutputCase>& cases) {
  VbsSite site;
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Output(site, prefix + c.code), c.output) << c.code;
  }
}

inline void ExpectErrors(const std::string& prefix, const std::vector<ErrorCase>& cases) {
  const int prefix_lines = static_cast<int>(std::count(prefix.begin(), prefix.end(), '\n'));
  VbsSite site;
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    PageOutcome outcome = site.Run("<%\n" + prefix + c.code + "\n%>");
    EXPECT_EQ(outcome.run.outcome, host::PageRun::Outcome::kFailed) << c.code;
    EXPECT_EQ(outcome.run.number, c.number) << c.code << "\n" << outcome.run.description;
    EXPECT_EQ(outcome.run.where.line, prefix_lines + c.line + 1) << c.code;
  }
}

inline void ExpectOutputs(const std::vector<OutputCase>& cases) { ExpectOutputs("", cases); }
inline void ExpectErrors(const std::vector<ErrorCase>& cases) { ExpectErrors("", cases); }

}  // namespace mirelda::script::vbscript::testing

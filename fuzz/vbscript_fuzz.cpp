// libFuzzer target: arbitrary text as a VBScript page, compiled and, when it compiles, run
// against the in-memory host with a short time limit and a small memory limit. The first byte
// chooses how the text is cut: bit 0 splits it at "%%" into code and literal pieces, bit 1 makes
// the first piece an expression ("<%= %>"). Compile errors must carry the compilation source and
// a place; a run must end completed, ended or failed with a number.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/page/page_source.h"
#include "host/test_host/test_host.h"
#include "script/vbscript/engine.h"

namespace {

using namespace mirelda;

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "vbscript fuzz: %s\n", what);
  std::abort();
}

host::PageSource PageOf(std::string_view text, uint8_t mode) {
  host::PageSource source;
  source.url_path = "/fuzz.asp";
  source.files.push_back("/fuzz.asp");
  source.directives.language = "vbscript";
  bool code = true;
  bool first = true;
  for (;;) {
    size_t cut = mode & 1 ? text.find("%%") : std::string_view::npos;
    host::Segment segment;
    segment.text = std::string(text.substr(0, cut));
    if (code) {
      segment.kind = first && (mode & 2) ? host::SegmentKind::kExpression : host::SegmentKind::kCode;
      segment.language = "vbscript";
    }
    source.segments.push_back(std::move(segment));
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + 2);
    code = !code;
    first = false;
  }
  return source;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static auto engine = script::vbscript::MakeVBScriptEngine();
  static auto runner = engine->NewRunner();
  static auto* site = new host::TestHost();
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  host::PageSource source = PageOf(text, data[0]);
  std::shared_ptr<const host::CompiledScript> script;
  try {
    script = engine->Compile(source);
  } catch (const host::PageError& e) {
    Check(e.source() == "Microsoft VBScript compilation error", "a compile error of another source");
    Check(e.number() >= 1001 && e.number() <= 1058, "a compile error number out of range");
    Check(e.where().line >= 1, "a compile error without its line");
    return 0;
  }
  site->NewPage("/fuzz.asp");
  site->RunPage([&](host::TestContext& context) {
    host::PageRunInput input;
    input.context = &context;
    input.time_limit = std::chrono::milliseconds(200);
    input.deadline = std::chrono::steady_clock::now() + input.time_limit;
    input.memory_limit = size_t{4} << 20;
    host::PageRun run = runner->Run(*script, input);
    if (run.outcome == host::PageRun::Outcome::kFailed) {
      Check(run.number != 0, "a failed run without an error number");
    }
  });
  return 0;
}

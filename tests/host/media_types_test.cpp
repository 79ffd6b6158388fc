// Content types from a mime.types list over the built-in table.
#include "host/http/media_types.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace mirelda::host {
namespace {

using mirelda::testing::TempDir;

TEST(MediaTypes, AListOverridesAndExtendsTheBuiltInTable) {
  TempDir dir;
  std::ofstream(dir / "mime.types") << "# comment line\n"
                                       "\n"
                                       "text/css\t\t\t\t\tcss\n"
                                       "image/vnd.microsoft.icon ico\n"
                                       "text/markdown md markdown   # a trailing comment\n"
                                       "application/x-Foo FOO\n"
                                       "application/none\n"
                                       "bad\\r\\ntype bad\n"
                                       "no-slash nos\n"
                                       "text/x\x01y ctl\n"
                                       "text/plain a;b\n";
  MediaTypes types = MediaTypes::Load(dir / "mime.types");
  struct Case {
    const char* file;
    const char* type;
  };
  const Case cases[] = {
      {"style.css", "text/css; charset=utf-8"},  // the table's charset stays
      {"favicon.ico", "image/vnd.microsoft.icon"},
      {"read.MD", "text/markdown"},
      {"x.markdown", "text/markdown"},
      {"y.foo", "application/x-foo"},
      {"app.js", "text/javascript; charset=utf-8"},  // only in the table
  };
  for (const Case& c : cases) EXPECT_EQ(types.Of(c.file), c.type) << c.file;
  for (const char* file : {"a.bad", "a.nos", "a.ctl", "a.a;b", "noextension", "dot."}) {
    EXPECT_EQ(types.Of(file), "application/octet-stream") << file;
  }
}

TEST(MediaTypes, TheSystemListOrTheTableAloneAndClearErrors) {
  EXPECT_EQ(MediaTypes().Of("a.png"), "image/png");
  EXPECT_EQ(MediaTypes().Of("a.md"), "application/octet-stream");
  if (std::filesystem::exists(kSystemMediaTypes)) {
    MediaTypes system = MediaTypes::Load(kSystemMediaTypes);
    EXPECT_EQ(system.Of("a.css"), "text/css; charset=utf-8");
    EXPECT_EQ(system.Of("a.odt"), "application/vnd.oasis.opendocument.text");
  }
  TempDir dir;
  for (const std::filesystem::path& bad : {dir / "missing.types", dir.path()}) {
    try {
      MediaTypes::Load(bad);
      ADD_FAILURE() << bad << " was taken";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(bad.string()), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace mirelda::host

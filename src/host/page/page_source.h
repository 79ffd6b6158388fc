// A script page as the page parser hands it to the script engines: the literal text and the code
// of the page and its includes, in page order, each piece with the file, line and column it came
// from, and the directives of the page. It knows no script language beyond the names of the
// languages its code pieces are written in. Immutable once parsed; shared by every thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mirelda::host {

// A place in the files of a site.
struct SourceLocation {
  std::string file;  // URL path of the file in the site: "/inc/menu.inc"
  int line = 0;      // 1-based; 0 when unknown
  int column = 0;    // 1-based; 0 when unknown
};

enum class SegmentKind : uint8_t {
  kLiteral,     // text sent to the browser as it is
  kCode,        // "<% code %>", or the body of a "<script runat="server">" block
  kExpression,  // the expression of "<%= expr %>", whose value is written
};

struct Segment {
  SegmentKind kind = SegmentKind::kLiteral;
  // The canonical name of the language of code and expressions ("vbscript", "javascript");
  // empty for literal text.
  std::string language;
  std::string text;   // UTF-8
  uint32_t file = 0;  // index into PageSource::files
  // Where text begins in that file.
  uint32_t line = 1;
  uint32_t column = 1;
  bool script_block = false;  // code from a "<script runat="server">" block
};

// An object that "<object runat="server" id="..." progid="..." scope="...">" declares: made on
// its first use by name. Pages declare page objects; global.asa also session and application
// objects.
struct ObjectTag {
  enum class Scope : uint8_t { kPage, kSession, kApplication };
  Scope scope = Scope::kPage;
  std::string id;
  std::string prog_id;
  SourceLocation where;
};

// The page's "<%@ ... %>" directives, as given or as the host's defaults fill them in.
struct PageDirectives {
  std::string language;              // canonical name of the page's primary language
  std::optional<int32_t> code_page;  // CODEPAGE: the page's text and its output
  bool session_state = true;         // ENABLESESSIONSTATE
};

// A file the page was made from, as it was when the page was read.
struct FileStamp {
  std::filesystem::path path;
  int64_t mtime_ns = 0;
  off_t size = 0;
};

struct PageSource {
  std::string url_path;            // of the page: "/app/page.asp"
  std::vector<std::string> files;  // URL paths; files[0] is the page
  std::vector<Segment> segments;   // in page order, includes expanded in place
  std::vector<ObjectTag> objects;  // in page order; their tags are not in the literal text
  PageDirectives directives;
  std::vector<FileStamp> dependencies;  // the page and every included file
  uint64_t generation = 0;              // unique per parse in this process
  // The page has code in another language too, which reaches the names this code declares.
  bool reached_by_other_languages = false;

  // The location of a segment's text, moved on by line_offset lines (column given for that line).
  SourceLocation Locate(const Segment& segment, int line_offset = 0, int column = 0) const;
  // True when no file the page was made from has changed since it was read.
  bool IsCurrent() const;
};

}  // namespace mirelda::host

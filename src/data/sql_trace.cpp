#include "data/sql_trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace mirelda::data {

void TraceStatement(TraceDirection direction, std::string_view engine, std::string_view text) {
  const char* target = std::getenv("MIRELDA_TRACE_SQL");
  if (!target || !*target) return;
  std::string line = direction == TraceDirection::kReceived ? "received\t" : "sent\t";
  line.reserve(line.size() + engine.size() + text.size() + 8);
  line += engine;
  line += '\t';
  for (char c : text) {
    if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else {
      line += c;
    }
  }
  line += '\n';

  // Opened for each line: tracing is for tests and diagnosis, and a trace file that is removed or
  // replaced between statements is then picked up again.
  int fd = ::open(target, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  size_t written = 0;
  while (written < line.size()) {
    ssize_t n = ::write(fd, line.data() + written, line.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace mirelda::data

// The statement trace: with MIRELDA_TRACE_SQL=FILE, every statement is appended to FILE once as
// received from the caller and once as sent to the engine, one line each:
//
//   received<TAB>ENGINE<TAB>TEXT
//   sent<TAB>ENGINE<TAB>TEXT
//
// ENGINE is "sqlite" or "postgresql". TEXT is the statement byte for byte, except that a carriage
// return is written as the two characters "\r" and a line feed as "\n". Each line is appended
// with one write, so lines of concurrent connections and processes never interleave.
#pragma once

#include <string_view>

namespace mirelda::data {

enum class TraceDirection { kReceived, kSent };

// Appends one line when MIRELDA_TRACE_SQL names a file; a file that cannot be written is skipped
// quietly, since tracing must never change what a statement does. Safe from any thread.
void TraceStatement(TraceDirection direction, std::string_view engine, std::string_view text);

}  // namespace mirelda::data

#pragma once

// Time stamps on the way from the process's start to its extensions' registrations, for finding
// where a start goes. Off unless ORVALO_START_TRACE names a file; then each mark appends one line
//   "start_trace exec_ms=<since the process started> main_ms=<since the first mark> step=<step>"
// The first mark is taken at the top of main(); exec_ms is as exact as the kernel's record of the
// process's start (a clock tick, 10 ms), main_ms to the microsecond. A mark costs nothing when off.
namespace StartTrace {
void mark(const char *step);
// Marks `step` only the first time it is given (for events that repeat, such as a REGISTER sent).
void markOnce(const char *step);
bool enabled();
} // namespace StartTrace

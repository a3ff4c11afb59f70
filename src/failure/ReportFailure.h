#ifndef PELKAFORGE_FAILURE_REPORTFAILURE_H_
#define PELKAFORGE_FAILURE_REPORTFAILURE_H_

namespace pelkaforge {

// The one way any stage gives up: writes the printf-style message to the
// standard error stream and ends the process with status 1. Open streams are
// flushed and closed by the exit; nothing is undone.
[[noreturn, gnu::format(printf, 1, 2)]] void ReportFailure(const char* format,
                                                           ...);

}  // namespace pelkaforge

#endif  // PELKAFORGE_FAILURE_REPORTFAILURE_H_

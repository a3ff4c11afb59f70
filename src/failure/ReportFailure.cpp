#include "failure/ReportFailure.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace pelkaforge {

void ReportFailure(const char* format, ...) {
  // A failure to write to the error stream cannot be reported anywhere else;
  // the exit status still tells.
  std::va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::exit(EXIT_FAILURE);
}

}  // namespace pelkaforge

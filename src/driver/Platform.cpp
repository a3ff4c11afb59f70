#include "driver/Platform.h"

#include <sys/stat.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "driver/ReportFailure.h"
#endif

namespace pelkaforge {

#ifdef _WIN32

bool StatFile(const char* path, FileFacts& facts) {
  struct _stat64 status {};
  if (_stat64(path, &status) != 0) return false;
  facts.size = status.st_size;
  facts.is_regular = (status.st_mode & _S_IFMT) == _S_IFREG;
  return true;
}

// The C runtime keeps descriptors 0 to 2 reserved even when the process was
// started without standard handles, so a new file never takes their place.
void PrepareStandardStreams() { _setmode(_fileno(stderr), _O_BINARY); }

#else

bool StatFile(const char* path, FileFacts& facts) {
  struct stat status {};
  if (stat(path, &status) != 0) return false;
  facts.size = status.st_size;
  facts.is_regular = S_ISREG(status.st_mode);
  return true;
}

void PrepareStandardStreams() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1) continue;
    // open returns the lowest free descriptor, which is this one. Without it
    // a file opened later could take the descriptor: the run stops instead.
    if (open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY) == -1) {
      ReportFailure("Unable to open file %s (%s)\n", "/dev/null",
                    std::strerror(errno));
    }
  }
}

#endif

}  // namespace pelkaforge

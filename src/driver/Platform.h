#ifndef PELKAFORGE_DRIVER_PLATFORM_H_
#define PELKAFORGE_DRIVER_PLATFORM_H_

#include <cstdint>

// Everything that differs between POSIX systems and Windows lives behind
// these two functions; the rest of the tool uses only standard C++.
namespace pelkaforge {

// What the tool needs to know about a path before opening it.
struct FileFacts {
  std::int64_t size;
  bool is_regular;
};

// Calls stat (its 64-bit form, so that sizes beyond 2 GiB are seen as they
// are) on the path. Returns false, with errno set, when stat fails.
bool StatFile(const char* path, FileFacts& facts);

// Readies the standard streams before any file is opened. Descriptors 0, 1
// and 2 are made sure to be open, so that neither the image nor the output
// can be handed descriptor 2 and receive a message meant for the error
// stream. On Windows the error stream is switched to binary mode, so that
// messages are the same bytes there as elsewhere (no CR before each LF).
void PrepareStandardStreams();

}  // namespace pelkaforge

#endif  // PELKAFORGE_DRIVER_PLATFORM_H_

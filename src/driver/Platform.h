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

// Makes sure descriptors 0, 1 and 2 are open before any file is opened, so
// that neither the image nor the output can be handed descriptor 2 and
// receive an error message meant for the error stream.
void KeepStandardStreamsOpen();

}  // namespace pelkaforge

#endif  // PELKAFORGE_DRIVER_PLATFORM_H_

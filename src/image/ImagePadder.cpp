#include "image/ImagePadder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "failure/ReportFailure.h"
#include "platform/Platform.h"

namespace pelkaforge {

namespace {

[[noreturn]] void ReportPadFailure(const char* path) {
  ReportFailure("Unable to write file %s (%s)\n", path, std::strerror(errno));
}

}  // namespace

void WarnOfPadding() {
  // A warning only: should the error stream fail, the run still goes on.
  std::fputs(
      "Invalid file size (not divisible by 512)\n Will padd with FF to 512 "
      "boundry",
      stderr);
}

void PadImage(const char* path, ImageLayout& layout) {
  WarnOfPadding();

  std::FILE* append = std::fopen(path, "ab");
  if (append == nullptr) {
    ReportFailure("Unable to open file %s (%s)\n", path, std::strerror(errno));
  }
  // Another run may be padding the same image right now. Under the lock the
  // size is taken again, and only what completes the last block of that size
  // is appended: nothing, when the other run has padded it already.
  AcquireFileLock(append);
  std::int64_t size = 0;
  if (!OpenFileSize(append, size)) {
    ReportFailure("Unable to stat file %s (%s)\n", path, std::strerror(errno));
  }
  const std::int64_t pad_count = (BlockSize - size % BlockSize) % BlockSize;
  for (std::int64_t written = 0; written < pad_count; ++written) {
    if (std::fputc(PadByte, append) == EOF) ReportPadFailure(path);
  }
  // The bytes reach the file at this flush (a full disk shows here), while
  // the lock is held, so that a run waiting for it finds them all there.
  if (std::fflush(append) != 0) ReportPadFailure(path);
  ReleaseFileLock(append);
  if (std::fclose(append) != 0) ReportPadFailure(path);
  layout.block_count += 1;
}

}  // namespace pelkaforge

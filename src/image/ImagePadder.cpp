#include "image/ImagePadder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver/ReportFailure.h"

namespace pelkaforge {

void PadImage(const char* path, ImageLayout& layout) {
  // A warning only: should the error stream fail, the run still goes on.
  std::fputs(
      "Invalid file size (not divisible by 512)\n Will padd with FF to 512 "
      "boundry",
      stderr);

  const std::int32_t pad_count = BlockSize - layout.remainder;
  std::FILE* append = std::fopen(path, "ab");
  if (append == nullptr) {
    ReportFailure("Unable to open file %s (%s)\n", path, std::strerror(errno));
  }
  for (std::int32_t written = 0; written < pad_count; ++written) {
    if (std::fputc(PadByte, append) == EOF) {
      ReportFailure("Unable to write file %s (%s)\n", path,
                    std::strerror(errno));
    }
  }
  // The bytes reach the file at the close, so a full disk shows here.
  if (std::fclose(append) != 0) {
    ReportFailure("Unable to write file %s (%s)\n", path, std::strerror(errno));
  }
  layout.block_count += 1;
}

}  // namespace pelkaforge

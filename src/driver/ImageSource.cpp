#include "driver/ImageSource.h"

#include "emitter/SourceEmitter.h"
#include "image/ImageReader.h"

namespace pelkaforge {

void WriteImageSource(std::FILE* input, std::int32_t block_count) {
  WriteBanner();
  WriteArrayHead();
  // Zero-filled, so that an empty image, of which no block is read, has
  // version 0. It outlives the loop: the version is its last byte.
  Block block{};
  for (std::int32_t index = 0; NextBlock(input, block); ++index) {
    WriteBlock(index, block);
  }
  // The measured count, not the number of blocks read: the two differ only
  // when the file changes under the tool.
  WriteArrayTail(block_count, VersionByte(block));
}

}  // namespace pelkaforge

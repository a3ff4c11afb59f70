#include "driver/ImageSource.h"

#include "emitter/SourceEmitter.h"
#include "image/ImageReader.h"

namespace pelkaforge {

std::int32_t WriteImageSource(OutputFile& output, std::FILE* input,
                              const ImageNames& names,
                              std::int32_t block_count) {
  WriteBanner(output);
  WriteArrayHead(output, names);
  // Zero-filled, so that an empty image, of which no block is read, has
  // version 0. It outlives the loop: the version is its last byte.
  Block block{};
  std::int32_t index = 0;
  for (; NextBlock(input, block); ++index) WriteBlock(output, index, block);
  // The measured count, not the number of blocks read: the two differ only
  // when the file changes under the tool.
  WriteArrayTail(output, names, block_count, VersionByte(block));
  return index;
}

}  // namespace pelkaforge

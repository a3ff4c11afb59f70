#include "driver/ImageSource.h"

#include "image/Crc32.h"

namespace pelkaforge {

WrittenImage WriteImageSource(OutputFile& output, ImageBlocks& image,
                              const ImageNames& names, std::int32_t block_count,
                              const SourceOptions& options) {
  WriteBanner(output, options.include);
  WriteArrayHead(output, names, options.attributes);
  WrittenImage written;
  std::uint32_t crc = Crc32Start;
  Sha256State sha;
  // Zero-filled, so that an empty image, of which no block is read, has
  // version 0. It outlives the loop: the version is its last byte.
  Block block{};
  for (; NextBlock(image, block); ++written.block_count) {
    WriteBlock(output, written.block_count, block);
    if (options.crc32) crc = Crc32Update(crc, block.data(), block.size());
    if (options.sha256) Sha256Update(sha, block.data(), block.size());
  }
  // The measured count, not the number of blocks read: the two differ only
  // when the file changes under the tool.
  WriteArrayTail(output, names, block_count, VersionByte(block));
  written.crc32 = crc;
  if (options.sha256) {
    written.sha256 = Sha256Finish(sha);
    WriteSha256Array(output, names, written.sha256);
  }
  return written;
}

}  // namespace pelkaforge

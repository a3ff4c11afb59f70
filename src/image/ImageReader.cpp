#include "image/ImageReader.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>

#include "failure/ReportFailure.h"
#include "image/ImagePadder.h"
#include "platform/Platform.h"

namespace pelkaforge {

ImageLayout MeasureImage(const char* path) {
  FileFacts facts{};
  if (!StatFile(path, facts)) {
    ReportFailure("Unable to stat file %s (%s)\n", path, std::strerror(errno));
  }
  // A directory, FIFO or device has no size to convert: /dev/zero never ends
  // and a FIFO blocks the build.
  if (!facts.is_regular) {
    ReportFailure("Unable to convert file %s (not a regular file)\n", path);
  }
  if (facts.size > std::numeric_limits<std::int32_t>::max()) {
    ReportFailure("Unable to convert file %s (larger than %d bytes)\n", path,
                  std::numeric_limits<std::int32_t>::max());
  }
  const auto size = static_cast<std::int32_t>(facts.size);
  return ImageLayout{size, size / BlockSize, size % BlockSize};
}

std::FILE* OpenImage(const char* path, InputBuffer& stream_buffer) {
  std::FILE* input = std::fopen(path, "rb");
  if (input == nullptr) {
    ReportFailure("Unable to open file %s (%s)\n", path, std::strerror(errno));
  }
  // Should this fail, the stream keeps its default buffer: slower, no less
  // correct.
  std::setvbuf(input, stream_buffer.data(), _IOFBF, stream_buffer.size());
  return input;
}

bool NextBlock(std::FILE* input, Block& block) {
  if (std::feof(input) != 0) return false;
  const std::size_t got = std::fread(block.data(), 1, block.size(), input);
  if (got < block.size() && std::ferror(input) != 0) {
    const int reason = errno;
    std::fclose(input);  // Only read from: its close cannot lose data.
    ReportFailure("Unable to read file (%s)\n", std::strerror(reason));
  }
  if (got == 0) return false;
  // As padding completes it, and never with bytes of the block before.
  if (got < block.size()) {
    std::memset(block.data() + got, PadByte, block.size() - got);
  }
  return true;
}

int VersionByte(const Block& block) { return block[BlockSize - 1]; }

bool NextBlock(ImageBlocks& blocks, Block& block) {
  if (blocks.file != nullptr) return NextBlock(blocks.file, block);
  if (blocks.next == blocks.held_size) return false;
  std::memcpy(block.data(), blocks.held + blocks.next, block.size());
  blocks.next += block.size();
  return true;
}

Sha256Digest FileSha256(const char* path) {
  InputBuffer buffer;
  std::FILE* input = OpenImage(path, buffer);
  Sha256State state;
  Block piece;
  std::size_t got = 0;
  while ((got = std::fread(piece.data(), 1, piece.size(), input)) > 0) {
    Sha256Update(state, piece.data(), got);
  }
  if (std::ferror(input) != 0) {
    ReportFailure("Unable to read file %s (%s)\n", path, std::strerror(errno));
  }
  std::fclose(input);  // Only read from: its close cannot lose data.
  return Sha256Finish(state);
}

}  // namespace pelkaforge

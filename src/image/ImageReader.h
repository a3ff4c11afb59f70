#ifndef PELKAFORGE_IMAGE_IMAGEREADER_H_
#define PELKAFORGE_IMAGE_IMAGEREADER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "image/Sha256.h"

namespace pelkaforge {

// The unit in which an image is padded, read and emitted.
constexpr int BlockSize = 512;

using Block = std::array<std::uint8_t, BlockSize>;

// What measuring learns about the input. The padder raises block_count when
// it completes a partial last block; size and remainder keep the measured
// values.
struct ImageLayout {
  std::int32_t size;
  std::int32_t block_count;
  std::int32_t remainder;
};

// Measures the image at path without opening it. Refuses anything that is
// not a regular file, and sizes that do not fit the layout's 32-bit count.
ImageLayout MeasureImage(const char* path);

// The input stream's buffer, owned by the caller for as long as the stream
// is open. Reading the image in large pieces keeps system calls few; the
// image is still handed out one block at a time.
constexpr std::size_t InputBufferSize = std::size_t{64} * 1024;
using InputBuffer = std::array<char, InputBufferSize>;

// Opens the image for binary reading, buffered in stream_buffer.
std::FILE* OpenImage(const char* path, InputBuffer& stream_buffer);

// Fills block with the next 512 bytes of the image and returns true, or
// returns false at the end of the image, leaving block as it was. A short
// block has its unread tail set to PadByte: so the last block of an image
// that is read unpadded is completed as padding would complete it (and a
// file that shrank under the tool ends in pad bytes, not stale ones).
bool NextBlock(std::FILE* input, Block& block);

// The image's version: the last byte of the last block that was read.
int VersionByte(const Block& block);

// Where the emitter takes an image's blocks from: a raw image file, read a
// block at a time, or an image held in memory whole (read by address).
struct ImageBlocks {
  std::FILE* file = nullptr;
  const std::uint8_t* held = nullptr;  // whole blocks, when file is null
  std::size_t held_size = 0;
  std::size_t next = 0;  // offset of the next held block
};

// NextBlock on the file, or the next held block.
bool NextBlock(ImageBlocks& blocks, Block& block);

// The SHA-256 of the whole file at path, as sha256sum computes it.
Sha256Digest FileSha256(const char* path);

}  // namespace pelkaforge

#endif  // PELKAFORGE_IMAGE_IMAGEREADER_H_

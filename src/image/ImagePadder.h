#ifndef PELKAFORGE_IMAGE_IMAGEPADDER_H_
#define PELKAFORGE_IMAGE_IMAGEPADDER_H_

#include <cstdint>

#include "image/ImageReader.h"

namespace pelkaforge {

// The value of every byte appended to complete a partial last block.
constexpr std::uint8_t PadByte = 0xFF;

// Writes the warning that an image ends in a partial block, which is
// padded, to the error stream. It ends without a line break.
void WarnOfPadding();

// Warns, then appends PadByte to the file at path until its size is a
// multiple of BlockSize, and counts the completed block in layout. The file
// stays padded. Called only when layout.remainder is not zero. Runs that pad
// one file at the same time take turns: the size is taken again under a lock,
// so the file is padded once, whoever comes first.
void PadImage(const char* path, ImageLayout& layout);

}  // namespace pelkaforge

#endif  // PELKAFORGE_IMAGE_IMAGEPADDER_H_

#ifndef PELKAFORGE_DRIVER_IMAGESOURCE_H_
#define PELKAFORGE_DRIVER_IMAGESOURCE_H_

#include <cstdint>
#include <string_view>

#include "emitter/ImageNames.h"
#include "emitter/OutputFile.h"
#include "emitter/SourceEmitter.h"
#include "image/ImageReader.h"
#include "image/Sha256.h"

namespace pelkaforge {

// How the source is written, beyond the image and its names.
struct SourceOptions {
  std::string_view include = DatatypeHeader;  // the file it includes
  std::string_view attributes;  // before the array's type, when not empty
  bool crc32 = false;           // compute the image's CRC-32
  bool sha256 = false;  // compute the image's SHA-256 and define its array
};

// What writing the source learns of the image it wrote.
struct WrittenImage {
  std::int32_t block_count = 0;
  std::uint32_t crc32 = 0;
  Sha256Digest sha256{};
};

// Writes the whole generated source to output: the banner, the array head,
// every block the image gives, and the tail with block_count and the last
// byte as the version, then what options ask for. Both programs convert so.
WrittenImage WriteImageSource(OutputFile& output, ImageBlocks& image,
                              const ImageNames& names, std::int32_t block_count,
                              const SourceOptions& options);

}  // namespace pelkaforge

#endif  // PELKAFORGE_DRIVER_IMAGESOURCE_H_

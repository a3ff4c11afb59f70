#ifndef PELKAFORGE_DRIVER_IMAGESOURCE_H_
#define PELKAFORGE_DRIVER_IMAGESOURCE_H_

#include <cstdint>
#include <cstdio>

#include "emitter/ImageNames.h"
#include "emitter/OutputFile.h"

namespace pelkaforge {

// Writes the whole generated source to output: the banner, the array head,
// every block read from input, and the tail with block_count and the last
// byte read as the version. Both programs convert so. Returns the number of
// blocks written.
std::int32_t WriteImageSource(OutputFile& output, std::FILE* input,
                              const ImageNames& names,
                              std::int32_t block_count);

}  // namespace pelkaforge

#endif  // PELKAFORGE_DRIVER_IMAGESOURCE_H_

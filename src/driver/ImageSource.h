#ifndef PELKAFORGE_DRIVER_IMAGESOURCE_H_
#define PELKAFORGE_DRIVER_IMAGESOURCE_H_

#include <cstdint>
#include <cstdio>

namespace pelkaforge {

// Writes the whole generated source to the open output: the banner, the
// array head, every block read from input, and the tail with block_count
// and the last byte read as the version. Both programs convert so.
void WriteImageSource(std::FILE* input, std::int32_t block_count);

}  // namespace pelkaforge

#endif  // PELKAFORGE_DRIVER_IMAGESOURCE_H_

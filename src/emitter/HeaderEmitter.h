#ifndef PELKAFORGE_EMITTER_HEADEREMITTER_H_
#define PELKAFORGE_EMITTER_HEADEREMITTER_H_

#include <cstdint>

#include "emitter/ImageNames.h"
#include "emitter/OutputFile.h"

namespace pelkaforge {

// The header that declares what the generated source defines, for C and
// C++: the array with its exact length, block_count blocks of 512 bytes, so
// that sizeof gives it, and the count and version variables.
void WriteHeader(OutputFile& output, const ImageNames& names,
                 std::int32_t block_count);

}  // namespace pelkaforge

#endif  // PELKAFORGE_EMITTER_HEADEREMITTER_H_

#ifndef PELKAFORGE_EMITTER_HEADEREMITTER_H_
#define PELKAFORGE_EMITTER_HEADEREMITTER_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "emitter/ImageNames.h"
#include "emitter/OutputFile.h"

namespace pelkaforge {

// What a header declares of an image besides its count and version.
struct HeaderFacts {
  std::int32_t block_count = 0;  // the array's length, in 512-byte blocks
  std::string_view attributes;   // before the array's type, when not empty
  std::optional<std::uint32_t> address;  // where the image's file placed it
  std::optional<std::uint32_t> crc32;
  bool sha256 = false;  // the source defines the SHA-256 array
};

// The header that declares what the generated source defines, for C and
// C++: the array with its exact length, so that sizeof gives it, the count
// and version variables, and the address and check values, as constant
// expressions where they are known. The named form's comments are C89's.
void WriteHeader(OutputFile& output, const ImageNames& names,
                 const HeaderFacts& facts);

}  // namespace pelkaforge

#endif  // PELKAFORGE_EMITTER_HEADEREMITTER_H_

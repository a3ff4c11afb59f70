#ifndef PELKAFORGE_IMAGE_SHA256_H_
#define PELKAFORGE_IMAGE_SHA256_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace pelkaforge {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Whether this processor has instructions that compute SHA-256 (x86-64's
// SHA extensions): much faster than C, and giving the same digest.
bool HasShaInstructions();

// SHA-256 as FIPS 180-4 defines it, over bytes fed in any pieces.
struct Sha256State {
  std::array<std::uint32_t, 8> hash = {0x6a09e667, 0xbb67ae85, 0x3c6ef372,
                                       0xa54ff53a, 0x510e527f, 0x9b05688c,
                                       0x1f83d9ab, 0x5be0cd19};
  std::array<std::uint8_t, 64> pending{};  // of the block being filled
  std::uint64_t length = 0;                // bytes fed so far
  bool sha_instructions = HasShaInstructions();
};

void Sha256Update(Sha256State& state, const std::uint8_t* bytes,
                  std::size_t size);
Sha256Digest Sha256Finish(Sha256State& state);

}  // namespace pelkaforge

#endif  // PELKAFORGE_IMAGE_SHA256_H_

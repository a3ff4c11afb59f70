#include "image/Crc32.h"

#include <array>

namespace pelkaforge {

namespace {

// Slicing by eight: table k gives a byte's effect k bytes further on, so
// that eight bytes take eight lookups and no loop over bits.
using Crc32Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Crc32Tables MakeTables() {
  Crc32Tables tables{};
  for (std::uint32_t value = 0; value < 256; ++value) {
    std::uint32_t crc = value;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    tables[0][value] = crc;
  }
  for (std::size_t k = 1; k < tables.size(); ++k) {
    for (std::uint32_t value = 0; value < 256; ++value) {
      const std::uint32_t previous = tables[k - 1][value];
      tables[k][value] = (previous >> 8) ^ tables[0][previous & 0xFF];
    }
  }
  return tables;
}

constexpr Crc32Tables Tables = MakeTables();

}  // namespace

// The running value is kept complemented between calls, so that a CRC of
// nothing is 0 and every call starts and ends with the final XOR undone.
std::uint32_t Crc32Update(std::uint32_t crc, const std::uint8_t* bytes,
                          std::size_t size) {
  crc = ~crc;
  for (; size >= 8; size -= 8, bytes += 8) {
    const std::uint32_t low =
        crc ^ (bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
               static_cast<std::uint32_t>(bytes[3]) << 24);
    crc = Tables[7][low & 0xFF] ^ Tables[6][low >> 8 & 0xFF] ^
          Tables[5][low >> 16 & 0xFF] ^ Tables[4][low >> 24] ^
          Tables[3][bytes[4]] ^ Tables[2][bytes[5]] ^ Tables[1][bytes[6]] ^
          Tables[0][bytes[7]];
  }
  for (; size > 0; --size, ++bytes) {
    crc = (crc >> 8) ^ Tables[0][(crc ^ *bytes) & 0xFF];
  }
  return ~crc;
}

}  // namespace pelkaforge

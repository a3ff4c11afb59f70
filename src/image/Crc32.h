#ifndef PELKAFORGE_IMAGE_CRC32_H_
#define PELKAFORGE_IMAGE_CRC32_H_

#include <cstddef>
#include <cstdint>

namespace pelkaforge {

// CRC-32/ISO-HDLC, the CRC of zlib, Ethernet and PNG: the reflected
// polynomial 0x04C11DB7, initial value and final XOR 0xFFFFFFFF. Start from
// Crc32Start, feed every byte in order, and finish: "123456789" gives
// 0xCBF43926.
constexpr std::uint32_t Crc32Start = 0;
std::uint32_t Crc32Update(std::uint32_t crc, const std::uint8_t* bytes,
                          std::size_t size);

}  // namespace pelkaforge

#endif  // PELKAFORGE_IMAGE_CRC32_H_

#ifndef PELKAFORGE_IMAGE_ADDRESSIMAGE_H_
#define PELKAFORGE_IMAGE_ADDRESSIMAGE_H_

#include <cstddef>
#include <cstdint>

namespace pelkaforge {

// The most an image read by address may span, from its lowest address to
// its highest: far more than any secondary microcontroller's flash, and
// little enough to hold in memory. A file that spans more (option bytes
// far above the flash, say) holds several regions, one of which is meant.
constexpr std::uint64_t MaxAddressSpan = std::uint64_t{64} << 20;

// The highest address a file may give data: the formats' addresses, and
// the header's declaration of the image's, are 32-bit.
constexpr std::uint64_t MaxAddress = 0xFFFFFFFF;

// The lowest and highest address that hold data, as a file's records or
// sections give them.
struct AddressSpan {
  std::uint64_t low = 0;
  std::uint64_t high = 0;
  bool any = false;  // no data yet: low and high mean nothing
};

// Counts size bytes at address into span.
void ExtendSpan(AddressSpan& span, std::uint64_t address, std::uint64_t size);

// An image read by address: the bytes from the lowest address holding data
// to the highest, every gap and the tail to the next whole 512-byte block
// filled with 0xFF (erased flash). It lives in the tool's one allocation,
// which also holds a bit for each byte, set once the byte is placed, so
// that no address is given data twice.
struct AddressImage {
  const char* path = nullptr;     // of the file it is read from
  std::uint32_t address = 0;      // of bytes[0]
  std::size_t size = 0;           // whole blocks
  std::uint8_t* bytes = nullptr;  // size bytes, then the placed bits
};

// Makes the image for the span read from the file at path. Refuses a span
// with no data, or one of more than MaxAddressSpan bytes.
AddressImage AllocateAddressImage(const char* path, const AddressSpan& span);

void FreeAddressImage(AddressImage& image);

// Where size bytes for address go, marked as placed; or null when a byte
// there was placed already, with taken set to that byte's address. A range
// outside the image means that the file changed since its span was taken:
// the run stops.
std::uint8_t* ClaimBytes(AddressImage& image, std::uint64_t address,
                         std::size_t size, std::uint64_t& taken);

}  // namespace pelkaforge

#endif  // PELKAFORGE_IMAGE_ADDRESSIMAGE_H_

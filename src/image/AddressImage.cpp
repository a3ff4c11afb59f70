#include "image/AddressImage.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "failure/ReportFailure.h"
#include "image/ImageReader.h"

namespace pelkaforge {

namespace {

// The bits of the placed map's byte at index that stand for offsets in
// [start, end).
std::uint8_t RangeMask(std::size_t index, std::size_t start, std::size_t end) {
  const std::size_t low = std::max(start, index * 8) - index * 8;
  const std::size_t high = std::min(end, index * 8 + 8) - index * 8;
  return static_cast<std::uint8_t>(((1U << high) - 1) & ~((1U << low) - 1));
}

}  // namespace

void ExtendSpan(AddressSpan& span, std::uint64_t address, std::uint64_t size) {
  const std::uint64_t last = address + size - 1;
  if (!span.any) {
    span = {address, last, true};
    return;
  }
  span.low = std::min(span.low, address);
  span.high = std::max(span.high, last);
}

AddressImage AllocateAddressImage(const char* path, const AddressSpan& span) {
  if (!span.any) ReportFailure("Unable to convert file %s (no data)\n", path);
  const std::uint64_t length = span.high - span.low + 1;
  if (length > MaxAddressSpan) {
    ReportFailure(
        "Unable to convert file %s (its data spans 0x%08llX to 0x%08llX, "
        "more than 64 MiB)\n",
        path, static_cast<unsigned long long>(span.low),
        static_cast<unsigned long long>(span.high));
  }
  AddressImage image;
  image.address = static_cast<std::uint32_t>(span.low);
  image.size = static_cast<std::size_t>((length + BlockSize - 1) / BlockSize *
                                        BlockSize);
  const std::size_t bits = image.size / 8;
  // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): the tool's one allocation
  image.bytes = static_cast<std::uint8_t*>(std::malloc(image.size + bits));
  if (image.bytes == nullptr) {
    ReportFailure("Unable to convert file %s (no memory for %lu bytes)\n", path,
                  static_cast<unsigned long>(image.size + bits));
  }
  std::memset(image.bytes, 0xFF, image.size);
  std::memset(image.bytes + image.size, 0, bits);
  return image;
}

void FreeAddressImage(AddressImage& image) {
  std::free(image.bytes);  // NOLINT(cppcoreguidelines-no-malloc)
  image.bytes = nullptr;
}

bool InImage(const AddressImage& image, std::uint64_t address,
             std::size_t size) {
  return address >= image.address && address - image.address <= image.size &&
         size <= image.size - (address - image.address);
}

std::uint8_t* ClaimBytes(AddressImage& image, std::uint64_t address,
                         std::size_t size, std::uint64_t& taken) {
  const std::size_t start = address - image.address;
  const std::size_t end = start + size;
  std::uint8_t* placed = image.bytes + image.size;
  // A byte of the map at a time: records are short, sections long.
  for (std::size_t index = start / 8; index * 8 < end; ++index) {
    const unsigned found = placed[index] & RangeMask(index, start, end);
    if (found != 0) {
      taken = image.address + index * 8 +
              static_cast<unsigned>(std::countr_zero(found));
      return nullptr;
    }
  }
  for (std::size_t index = start / 8; index * 8 < end; ++index) {
    placed[index] |= RangeMask(index, start, end);
  }
  return image.bytes + start;
}

}  // namespace pelkaforge

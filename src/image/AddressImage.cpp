#include "image/AddressImage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "failure/ReportFailure.h"
#include "image/ImageReader.h"

namespace pelkaforge {

namespace {

bool IsPlaced(const std::uint8_t* placed, std::size_t offset) {
  return (placed[offset / 8] >> (offset % 8) & 1) != 0;
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
  image.path = path;
  image.address = static_cast<std::uint32_t>(span.low);
  image.size = static_cast<std::size_t>((length + BlockSize - 1) / BlockSize *
                                        BlockSize);
  const std::size_t bits = image.size / 8;
  // NOLINTNEXTLINE(cppcoreguidelines-no-malloc): the tool's one allocation
  image.bytes = static_cast<std::uint8_t*>(std::malloc(image.size + bits));
  if (image.bytes == nullptr) {
    ReportFailure("Unable to convert file %s (no memory for %zu bytes)\n", path,
                  image.size + bits);
  }
  std::memset(image.bytes, 0xFF, image.size);
  std::memset(image.bytes + image.size, 0, bits);
  return image;
}

void FreeAddressImage(AddressImage& image) {
  std::free(image.bytes);  // NOLINT(cppcoreguidelines-no-malloc)
  image.bytes = nullptr;
}

std::uint8_t* ClaimBytes(AddressImage& image, std::uint64_t address,
                         std::size_t size, std::uint64_t& taken) {
  if (address < image.address || address - image.address > image.size ||
      size > image.size - (address - image.address)) {
    ReportFailure("Unable to convert file %s (it changed while it was read)\n",
                  image.path);
  }
  const std::size_t start = address - image.address;
  std::uint8_t* placed = image.bytes + image.size;
  for (std::size_t offset = start; offset < start + size; ++offset) {
    if (IsPlaced(placed, offset)) {
      taken = image.address + offset;
      return nullptr;
    }
  }
  for (std::size_t offset = start; offset < start + size; ++offset) {
    placed[offset / 8] |= static_cast<std::uint8_t>(1U << (offset % 8));
  }
  return image.bytes + start;
}

}  // namespace pelkaforge

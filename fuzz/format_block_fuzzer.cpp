// Block formatting against the plainest possible formatter: the first four
// input bytes give the block's number, the rest its bytes (zeros after the
// input ends). Any difference aborts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "emitter/SourceEmitter.h"

namespace {

std::string ReferenceText(std::int32_t index, const pelkaforge::Block& block) {
  std::string text = "    // block " + std::to_string(index) + "\n";
  char element[8];
  for (std::size_t i = 0; i < block.size(); ++i) {
    if (i % 16 == 0) text += "    ";
    std::snprintf(element, sizeof element, "0x%02x, ", block[i]);
    text += element;
    if (i % 16 == 15) text += "\n";
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::int32_t index = 0;
  if (size >= sizeof index) {
    std::memcpy(&index, data, sizeof index);
    data += sizeof index;
    size -= sizeof index;
  }
  pelkaforge::Block block{};
  std::memcpy(block.data(), data, size < block.size() ? size : block.size());

  std::array<char, pelkaforge::BlockTextCapacity> text;
  const std::size_t length = pelkaforge::FormatBlock(index, block, text);
  if (std::string_view(text.data(), length) != ReferenceText(index, block)) {
    std::abort();
  }
  return 0;
}

#include "emitter/SourceEmitter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>

namespace pelkaforge {

namespace {

constexpr std::string_view BlockComment = "    // block ";
constexpr std::string_view RowIndent = "    ";

// Each pair of bytes in a row becomes twelve characters, "0x%02x, " twice,
// stored as one 16-byte word: the first byte's text from FirstOfPair (at
// offsets 0 to 5), OR-ed with the second's from SecondOfPair (6 to 11). The
// four zero bytes after them are overwritten by what follows. One store per
// two image bytes keeps the loop at a few instructions per byte.
constexpr std::size_t PairLength = 12;
using PairSlot = std::array<std::uint8_t, 16>;
using PairTable = std::array<PairSlot, 256>;

constexpr PairTable MakePairTable(std::size_t offset) {
  constexpr std::string_view HexDigits = "0123456789abcdef";
  PairTable table{};
  for (std::size_t value = 0; value < table.size(); ++value) {
    const char text[] = {'0', 'x', HexDigits[value / 16], HexDigits[value % 16],
                         ',', ' '};
    for (std::size_t i = 0; i < sizeof text; ++i) {
      table[value][offset + i] = static_cast<std::uint8_t>(text[i]);
    }
  }
  return table;
}

constexpr PairTable FirstOfPair = MakePairTable(0);
constexpr PairTable SecondOfPair = MakePairTable(PairLength / 2);

// Byte k of eight loaded as one word: one load instead of eight keeps the
// loop's loads for the tables.
constexpr std::size_t ByteOf(std::uint64_t word, int k) {
  const int shift =
      std::endian::native == std::endian::little ? 8 * k : 56 - 8 * k;
  return (word >> shift) & 0xFF;
}

void PutPair(char* out, const PairSlot& first, const PairSlot& second) {
  PairSlot pair;
  for (std::size_t i = 0; i < pair.size(); ++i) pair[i] = first[i] | second[i];
  std::memcpy(out, pair.data(), pair.size());
}

}  // namespace

void WriteBanner(OutputFile& output, std::string_view include) {
  WriteText(output, GeneratedComment);
  WriteText(output, "\n#include \"");
  WriteText(output, include);
  WriteText(output, "\"\n\n");
}

void WriteArrayHead(OutputFile& output, const ImageNames& names,
                    std::string_view attributes) {
  WriteText(output, "\n  ");
  if (!attributes.empty()) {
    WriteText(output, attributes);
    WriteText(output, " ");
  }
  // Its frame and the longest name.
  WriteFormatted(output, 40 + sizeof names.array,
                 "const tUBYTE %s[] =\n"
                 "  {\n",
                 names.array.data());
}

std::size_t FormatBlock(std::int32_t index, const Block& block,
                        std::span<char, BlockTextCapacity> text) {
  char* out = text.data();
  out = std::copy(BlockComment.begin(), BlockComment.end(), out);
  out = std::to_chars(out, text.data() + text.size(), index).ptr;
  *out++ = '\n';

  const std::uint8_t* eight_bytes = block.data();
  for (int row = 0; row < RowsPerBlock; ++row) {
    out = std::copy(RowIndent.begin(), RowIndent.end(), out);
    for (int half = 0; half < 2; ++half) {
      std::uint64_t word = 0;
      std::memcpy(&word, eight_bytes, sizeof word);
      eight_bytes += sizeof word;
      for (int pair = 0; pair < 4; ++pair) {
        PutPair(out, FirstOfPair[ByteOf(word, 2 * pair)],
                SecondOfPair[ByteOf(word, 2 * pair + 1)]);
        out += PairLength;
      }
    }
    *out++ = '\n';
  }
  return static_cast<std::size_t>(out - text.data());
}

void WriteBlock(OutputFile& output, std::int32_t index, const Block& block) {
  const std::span<char, BlockTextCapacity> text(
      ReserveText(output, BlockTextCapacity), BlockTextCapacity);
  CommitText(output, FormatBlock(index, block, text));
}

void WriteArrayTail(OutputFile& output, const ImageNames& names,
                    std::int32_t block_count, int version) {
  // The doubled count is the length in 256-byte units. Pelkaforge's form
  // writes it as it is, even where it no longer fits the tUBYTE it
  // initialises. The tail's frame, two types, two names and two numbers of
  // up to 11 characters fit in the capacity.
  WriteFormatted(output, 80 + 2 * sizeof names.array,
                 "  };\n"
                 "\n"
                 "  %s %s = %d;\n\n"
                 "  %s %s = %d;\n",
                 names.blocks_type, names.blocks.data(), 2 * block_count,
                 names.version_type, names.version.data(), version);
}

void WriteSha256Array(OutputFile& output, const ImageNames& names,
                      const Sha256Digest& digest) {
  WriteFormatted(output, 40 + sizeof names.sha256,
                 "\n"
                 "  const tUBYTE %s[32] =\n"
                 "  {\n",
                 names.sha256.data());
  for (std::size_t row = 0; row < digest.size(); row += BytesPerRow) {
    WriteText(output, RowIndent);
    for (std::size_t i = row; i < row + BytesPerRow; ++i) {
      WriteFormatted(output, 8, "0x%02x, ", digest[i]);
    }
    WriteText(output, "\n");
  }
  WriteText(output, "  };\n");
}

}  // namespace pelkaforge

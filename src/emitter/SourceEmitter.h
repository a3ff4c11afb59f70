#ifndef PELKAFORGE_EMITTER_SOURCEEMITTER_H_
#define PELKAFORGE_EMITTER_SOURCEEMITTER_H_

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/ImageReader.h"

namespace pelkaforge {

// Created in the current working directory; not configurable.
constexpr const char* OutputFileName = "SecondaryMicroImage.c";

constexpr int RowsPerBlock = 32;
constexpr int BytesPerRow = 16;
static_assert(RowsPerBlock * BytesPerRow == BlockSize);

// Room for the text of one block: its comment line with the widest index
// ("    // block -2147483648\n"), 32 rows of four spaces, 16 elements of six
// characters and a line break, and four spare bytes that let FormatBlock
// store each pair of elements as one 16-byte word.
constexpr std::size_t BlockTextCapacity =
    25 + RowsPerBlock * (4 + BytesPerRow * 6 + 1) + 4;

// Refuses an input that is the output file under any name (a path, a hard or
// symbolic link): writing the output would destroy the image.
void RefuseOutputAsInput(const char* input_path, const char* output_path);

// Creates or truncates OutputFileName for text writing; the file is written
// in place, and a failed run leaves what was written.
void OpenOutput();

// Opens a new temporary file beside path (creating the folders it needs),
// which CloseOutput renames to path, replacing any file there at once. A
// failed run removes it: an earlier file at path stays as it was, and runs
// at the same time never mix their text. The temporary file is always a new
// one, never a file or link that exists already.
void OpenReplacement(const char* path);

// The comment box and the include line.
void WriteBanner();

// A blank line, the array's declaration and its opening brace.
void WriteArrayHead();

// The block's comment line and its 32 rows, under its 0-based number.
void WriteBlock(std::int32_t index, const Block& block);

// The closing brace, the length in 256-byte units (twice block_count) and the
// version.
void WriteArrayTail(std::int32_t block_count, int version);

// Flushes and closes the output, so that a failed write is never a success,
// and puts a replacement in its place.
void CloseOutput();

// Writes the text WriteBlock emits for the block into text and returns its
// length, at most BlockTextCapacity - 4.
std::size_t FormatBlock(std::int32_t index, const Block& block,
                        std::span<char, BlockTextCapacity> text);

}  // namespace pelkaforge

#endif  // PELKAFORGE_EMITTER_SOURCEEMITTER_H_

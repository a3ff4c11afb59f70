#ifndef PELKAFORGE_IMAGE_IMAGEFORMAT_H_
#define PELKAFORGE_IMAGE_IMAGEFORMAT_H_

#include <cstdio>
#include <optional>

namespace pelkaforge {

// How an image file is read: raw bytes, or one of the formats a firmware
// build writes, which place their bytes at addresses.
enum class ImageFormat { kBin, kIntelHex, kSRecord, kElf };

// The format --format names (bin, ihex, srec, elf), if any.
std::optional<ImageFormat> FormatNamed(const char* name);

// The format a file's extension stands for, whatever its case: Intel HEX for
// .hex .ihx .ihex, S-record for .srec .s19 .s28 .s37 .mot, ELF for .elf .axf,
// raw bytes for any other.
ImageFormat FormatOfPath(const char* path);

// The format's name for people ("Intel HEX") and for --format ("ihex").
const char* FormatTitle(ImageFormat format);
const char* FormatOption(ImageFormat format);

// The format of a file about to be taken as raw bytes, when it is an ELF file
// or its first line is a whole, valid Intel HEX or S-record record:
// converted as bytes, it would make a firmware of its text. Reads the
// file's first bytes only: through the stream image, open on path, which it
// leaves at the start again; or opening path and closing it again.
std::optional<ImageFormat> DisguisedFormat(std::FILE* image, const char* path);
std::optional<ImageFormat> DisguisedFormat(const char* path);

}  // namespace pelkaforge

#endif  // PELKAFORGE_IMAGE_IMAGEFORMAT_H_

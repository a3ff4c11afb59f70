#ifndef PELKAFORGE_IMAGE_TEXTRECORDS_H_
#define PELKAFORGE_IMAGE_TEXTRECORDS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "image/AddressImage.h"

// What Intel HEX and S-record files share: lines of hex digits, one record
// a line, each with a byte count, an address, data and a checksum. A file
// is read twice: once to learn its span of addresses and to check every
// line, then to place each record's data in the image made for that span.
namespace pelkaforge {

// Why a line is refused, for the message that names the file and line.
using Reason = std::array<char, 96>;

// One record as its line gives it.
struct TextRecord {
  int type = 0;               // Intel HEX 0x00 to 0xFF, S-record 0 to 9
  std::uint32_t address = 0;  // its address field
  std::size_t size = 0;       // bytes of data
  std::array<std::uint8_t, 255> data{};
};

// The 1-based position in text of its first character that is not a hex
// digit (of either case), or 0 when all are.
std::size_t FindNonHexDigit(std::string_view text);

// Decodes an even number of hex digits, digits.size() / 2 bytes, into out.
// Returns the 1-based position of the first character that is not a hex
// digit, or 0 when all are.
std::size_t DecodeHex(std::string_view digits, std::uint8_t* out);

// The most bytes a record's line gives: a byte count, the bytes it counts
// (at most 255) and the few around them.
constexpr std::size_t MaxRecordBytes = 1 + 255 + 4;

// Decodes a record's hex digits, which start at column first_column of its
// line: the first pair is its byte count, and the line must give that many
// bytes and around more. Writes them all into bytes (MaxRecordBytes) and
// the count into count; or returns false with the reason written (a stray
// character before a wrong length).
bool DecodeRecord(std::string_view digits, std::size_t first_column,
                  std::size_t around, std::uint8_t* bytes, std::size_t& count,
                  Reason& reason);

// What a line means for the image once read in its context.
struct RecordMeaning {
  enum class Kind { kNothing, kData, kEnd } kind = Kind::kNothing;
  std::uint64_t address = 0;  // of the record's data
};

// What earlier lines set for later ones.
struct RecordContext {
  std::uint64_t linear_base = 0;   // Intel HEX: extended linear address
  std::uint64_t segment_base = 0;  // Intel HEX: extended segment address
  unsigned long data_records = 0;  // S-record: counted for S5 and S6
};

// Reads a non-empty line of a format into record and what it means, or
// returns false with the reason written.
using RecordInterpreter = bool (*)(std::string_view line,
                                   RecordContext& context, TextRecord& record,
                                   RecordMeaning& meaning, Reason& reason);

// Reads the text file at path, of the format interpret reads, into an image.
// Empty lines are passed over; every other line must be a record, the last
// of them an end record, after which only blanks and a Ctrl-Z may follow. A
// failure ends the run, naming the file and line.
AddressImage ReadTextImage(const char* path, RecordInterpreter interpret);

}  // namespace pelkaforge

#endif  // PELKAFORGE_IMAGE_TEXTRECORDS_H_

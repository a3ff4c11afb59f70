#include "image/TextRecords.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "failure/ReportFailure.h"

namespace pelkaforge {

namespace {

// Each character's value as a hex digit, or 0xFF for any other.
constexpr std::array<std::uint8_t, 256> HexValues = [] {
  std::array<std::uint8_t, 256> values{};
  values.fill(0xFF);
  for (int digit = 0; digit < 10; ++digit) values['0' + digit] = digit;
  for (int letter = 0; letter < 6; ++letter) {
    values['a' + letter] = 10 + letter;
    values['A' + letter] = 10 + letter;
  }
  return values;
}();

std::uint8_t HexValue(char c) {
  return HexValues[static_cast<unsigned char>(c)];
}

// Lines of a file, read in large pieces. Longer lines than the buffer holds
// are handed out in parts; no record is near that long, so the first part
// is refused.
constexpr std::size_t LineBufferSize = std::size_t{64} * 1024;

struct LineReader {
  std::FILE* file = nullptr;
  const char* path = nullptr;
  AddressImage* image = nullptr;  // being filled, on the second reading
  std::array<char, LineBufferSize> buffer;
  std::size_t start = 0;  // of the unread text in buffer
  std::size_t end = 0;
  bool at_end = false;  // the file has been read to its end
};

// Every refusal lets go of the file and the image first: a reader leaves
// nothing open or allocated behind it, whatever becomes of the run.
void Release(LineReader& reader) {
  std::fclose(reader.file);  // Only read from: its close cannot lose data.
  if (reader.image != nullptr) FreeAddressImage(*reader.image);
}

// Refuses the file, at a line when number is not 0.
[[noreturn]] void Refuse(LineReader& reader, long number, const char* reason) {
  Release(reader);
  if (number == 0) {
    ReportFailure("Unable to convert file %s (%s)\n", reader.path, reason);
  }
  ReportFailure("Unable to convert file %s (line %ld: %s)\n", reader.path,
                number, reason);
}

// Refills the buffer behind the unread text; false when nothing was added.
bool Refill(LineReader& reader) {
  if (reader.at_end) return false;
  const std::size_t left = reader.end - reader.start;
  std::memmove(reader.buffer.data(), reader.buffer.data() + reader.start, left);
  reader.start = 0;
  reader.end = left;
  const std::size_t got = std::fread(reader.buffer.data() + left, 1,
                                     reader.buffer.size() - left, reader.file);
  if (got < reader.buffer.size() - left) {
    if (std::ferror(reader.file) != 0) {
      const int reason = errno;
      Release(reader);
      ReportFailure("Unable to read file %s (%s)\n", reader.path,
                    std::strerror(reason));
    }
    reader.at_end = true;
  }
  reader.end += got;
  return got > 0;
}

// The next line without its line end (LF, or CR LF); false after the last.
bool NextLine(LineReader& reader, std::string_view& line) {
  for (;;) {
    const char* begin = reader.buffer.data() + reader.start;
    const std::size_t length = reader.end - reader.start;
    const char* newline =
        static_cast<const char*>(std::memchr(begin, '\n', length));
    std::size_t taken = 0;
    if (newline != nullptr) {
      taken = static_cast<std::size_t>(newline - begin);
      reader.start += taken + 1;
    } else if (length == reader.buffer.size() ||
               (reader.at_end && length > 0)) {
      taken = length;  // a last line without a line end, or a huge one
      reader.start += taken;
    } else if (Refill(reader)) {
      continue;
    } else {
      return false;
    }
    line = std::string_view(begin, taken);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
  }
}

// One reading of the file: into span when image is null, else into image.
void ReadLines(const char* path, RecordInterpreter interpret, AddressSpan& span,
               AddressImage* image) {
  LineReader reader;
  reader.path = path;
  reader.image = image;
  reader.file = std::fopen(path, "rb");
  if (reader.file == nullptr) {
    ReportFailure("Unable to open file %s (%s)\n", path, std::strerror(errno));
  }
  RecordContext context;
  TextRecord record;
  Reason reason{};
  bool ended = false;
  long number = 0;
  std::string_view line;
  while (NextLine(reader, line)) {
    ++number;
    // After the end record, what holds no data is passed over, as objcopy
    // passes it: blanks, and an end of file as MS-DOS wrote it, Ctrl-Z.
    if (line.empty() || (ended && line.find_first_not_of(" \t\x1a") ==
                                      std::string_view::npos)) {
      continue;
    }
    if (ended) Refuse(reader, number, "data after the end record");
    RecordMeaning meaning;
    if (!interpret(line, context, record, meaning, reason)) {
      Refuse(reader, number, reason.data());
    }
    if (meaning.kind == RecordMeaning::Kind::kEnd) ended = true;
    if (meaning.kind != RecordMeaning::Kind::kData || record.size == 0) {
      continue;
    }
    if (meaning.address + record.size - 1 > MaxAddress) {
      Refuse(reader, number, "data beyond 32-bit addresses");
    }
    if (image == nullptr) {
      ExtendSpan(span, meaning.address, record.size);
      continue;
    }
    if (!InImage(*image, meaning.address, record.size)) {
      Refuse(reader, 0, "it changed while it was read");
    }
    std::uint64_t taken = 0;
    std::uint8_t* place =
        ClaimBytes(*image, meaning.address, record.size, taken);
    if (place == nullptr) {
      std::snprintf(reason.data(), reason.size(),
                    "data for 0x%08llX, which an earlier line gave",
                    static_cast<unsigned long long>(taken));
      Refuse(reader, number, reason.data());
    }
    std::memcpy(place, record.data.data(), record.size);
  }
  if (!ended) Refuse(reader, 0, "no end record");
  std::fclose(reader.file);  // Only read from: its close cannot lose data.
}

}  // namespace

std::size_t FindNonHexDigit(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (HexValue(text[i]) > 0x0F) return i + 1;
  }
  return 0;
}

std::size_t DecodeHex(std::string_view digits, std::uint8_t* out) {
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    const std::uint8_t high = HexValue(digits[i]);
    const std::uint8_t low = HexValue(digits[i + 1]);
    if ((high | low) > 0x0F) return high > 0x0F ? i + 1 : i + 2;
    *out++ = static_cast<std::uint8_t>(high << 4 | low);
  }
  return 0;
}

bool DecodeRecord(std::string_view digits, std::size_t first_column,
                  std::size_t around, std::uint8_t* bytes, std::size_t& count,
                  Reason& reason) {
  // The count first, to know the record's length; then the whole record
  // decoded and checked in one go.
  std::uint8_t counted = 0;
  if (digits.size() >= 2)
    DecodeHex(std::string_view(digits.data(), 2), &counted);
  count = counted;
  const std::size_t expected = 2 * (count + around);
  const std::size_t column = digits.size() == expected
                                 ? DecodeHex(digits, bytes)
                                 : FindNonHexDigit(digits);
  if (column != 0) {
    std::snprintf(reason.data(), reason.size(), "column %lu: not a hex digit",
                  static_cast<unsigned long>(column + first_column - 1));
    return false;
  }
  if (digits.size() != expected) {
    std::snprintf(reason.data(), reason.size(), "%s than its byte count",
                  digits.size() < expected ? "shorter" : "longer");
    return false;
  }
  return true;
}

AddressImage ReadTextImage(const char* path, RecordInterpreter interpret) {
  AddressSpan span;
  ReadLines(path, interpret, span, nullptr);
  AddressImage image = AllocateAddressImage(path, span);
  ReadLines(path, interpret, span, &image);
  return image;
}

}  // namespace pelkaforge

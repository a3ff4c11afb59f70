#include "image/IntelHexReader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace pelkaforge {

namespace {

// The data bytes each type of record other than data must have.
bool HasLength(const TextRecord& record, std::size_t size, Reason& reason) {
  if (record.size == size) return true;
  std::snprintf(reason.data(), reason.size(),
                "record type %02X with %lu bytes of data, not %lu", record.type,
                static_cast<unsigned long>(record.size),
                static_cast<unsigned long>(size));
  return false;
}

std::uint64_t Value16(const TextRecord& record) {
  return static_cast<std::uint64_t>(record.data[0]) << 8 | record.data[1];
}

bool InterpretIntelHex(std::string_view line, RecordContext& context,
                       TextRecord& record, RecordMeaning& meaning,
                       Reason& reason) {
  if (!ParseIntelHexRecord(line, record, reason)) return false;
  switch (record.type) {
    case 0x00:
      // As objcopy reads it: both bases added, never wrapping at 64 KiB.
      meaning = {RecordMeaning::Kind::kData,
                 context.linear_base + context.segment_base + record.address};
      return true;
    case 0x01:
      meaning.kind = RecordMeaning::Kind::kEnd;
      return HasLength(record, 0, reason);
    case 0x02:
      if (!HasLength(record, 2, reason)) return false;
      context.segment_base = Value16(record) << 4;
      return true;
    case 0x04:
      if (!HasLength(record, 2, reason)) return false;
      context.linear_base = Value16(record) << 16;
      return true;
    case 0x03:
    case 0x05:
      return HasLength(record, 4, reason);
    default:
      std::snprintf(reason.data(), reason.size(), "unknown record type %02X",
                    record.type);
      return false;
  }
}

}  // namespace

bool ParseIntelHexRecord(std::string_view line, TextRecord& record,
                         Reason& reason) {
  if (line.front() != ':') {
    std::snprintf(reason.data(), reason.size(), "not a record");
    return false;
  }
  std::string_view digits = line;
  digits.remove_prefix(1);
  // Count, address, type and checksum around the data.
  std::uint8_t bytes[MaxRecordBytes] = {};
  std::size_t count = 0;
  if (!DecodeRecord(digits, 2, 5, bytes, count, reason)) return false;
  unsigned sum = 0;
  for (std::size_t i = 0; i < count + 4; ++i) sum += bytes[i];
  const unsigned checksum = (0x100 - sum % 0x100) % 0x100;
  if (bytes[count + 4] != checksum) {
    std::snprintf(reason.data(), reason.size(),
                  "wrong checksum %02X, %02X expected", bytes[count + 4],
                  checksum);
    return false;
  }
  record.address = static_cast<std::uint32_t>(bytes[1] << 8 | bytes[2]);
  record.type = bytes[3];
  record.size = count;
  std::memcpy(record.data.data(), bytes + 4, count);
  return true;
}

AddressImage ReadIntelHex(const char* path) {
  return ReadTextImage(path, InterpretIntelHex);
}

}  // namespace pelkaforge

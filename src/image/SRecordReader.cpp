#include "image/SRecordReader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace pelkaforge {

namespace {

// The bytes of each type's address; S4 is reserved.
constexpr std::size_t AddressSizes[] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

bool InterpretSRecord(std::string_view line, RecordContext& context,
                      TextRecord& record, RecordMeaning& meaning,
                      Reason& reason) {
  if (!ParseSRecord(line, record, reason)) return false;
  switch (record.type) {
    case 0:
      return true;
    case 1:
    case 2:
    case 3:
      ++context.data_records;
      meaning = {RecordMeaning::Kind::kData, record.address};
      return true;
    default:
      break;
  }
  if (record.size != 0) {
    std::snprintf(reason.data(), reason.size(),
                  "record type S%d with %lu bytes of data, not 0", record.type,
                  static_cast<unsigned long>(record.size));
    return false;
  }
  if (record.type >= 7) {
    meaning.kind = RecordMeaning::Kind::kEnd;
    return true;
  }
  if (record.address != context.data_records) {
    std::snprintf(reason.data(), reason.size(),
                  "count %lu, but %lu data records before it",
                  static_cast<unsigned long>(record.address),
                  context.data_records);
    return false;
  }
  return true;
}

}  // namespace

bool ParseSRecord(std::string_view line, TextRecord& record, Reason& reason) {
  if (line.size() < 2 || line[0] != 'S' || line[1] < '0' || line[1] > '9') {
    std::snprintf(reason.data(), reason.size(), "not a record");
    return false;
  }
  record.type = line[1] - '0';
  const std::size_t address_size = AddressSizes[record.type];
  if (address_size == 0) {
    std::snprintf(reason.data(), reason.size(), "unknown record type S4");
    return false;
  }
  std::string_view digits = line;
  digits.remove_prefix(2);
  // The count covers the address, the data and the checksum.
  std::uint8_t bytes[MaxRecordBytes] = {};
  std::size_t count = 0;
  if (!DecodeRecord(digits, 3, 1, bytes, count, reason)) return false;
  if (count < address_size + 1) {
    std::snprintf(reason.data(), reason.size(),
                  "byte count %lu leaves no room for the address",
                  static_cast<unsigned long>(count));
    return false;
  }
  unsigned sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  const unsigned checksum = ~sum & 0xFF;
  if (bytes[count] != checksum) {
    std::snprintf(reason.data(), reason.size(),
                  "wrong checksum %02X, %02X expected", bytes[count], checksum);
    return false;
  }
  record.address = 0;
  for (std::size_t i = 1; i <= address_size; ++i) {
    record.address = record.address << 8 | bytes[i];
  }
  record.size = count - address_size - 1;
  std::memcpy(record.data.data(), bytes + 1 + address_size, record.size);
  return true;
}

AddressImage ReadSRecords(const char* path) {
  return ReadTextImage(path, InterpretSRecord);
}

}  // namespace pelkaforge

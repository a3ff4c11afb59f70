#ifndef PELKAFORGE_IMAGE_SRECORDREADER_H_
#define PELKAFORGE_IMAGE_SRECORDREADER_H_

#include <string_view>

#include "image/AddressImage.h"
#include "image/TextRecords.h"

namespace pelkaforge {

// Reads line as an S-record: 'S' and the type digit, then hex digits of
// either case for the byte count, the address (2, 3 or 4 bytes, as the type
// says), the data and the checksum, the ones' complement of the sum of the
// bytes before it. Returns false with the reason written when it is not
// one, or is of the reserved type S4.
bool ParseSRecord(std::string_view line, TextRecord& record, Reason& reason);

// Reads the S-record file at path by address: headers (S0, passed over),
// data (S1, S2, S3), counts of the data records before them (S5, S6,
// checked) and the end record (S7, S8, S9), which must end the file.
AddressImage ReadSRecords(const char* path);

}  // namespace pelkaforge

#endif  // PELKAFORGE_IMAGE_SRECORDREADER_H_

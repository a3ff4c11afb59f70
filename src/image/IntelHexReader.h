#ifndef PELKAFORGE_IMAGE_INTELHEXREADER_H_
#define PELKAFORGE_IMAGE_INTELHEXREADER_H_

#include <string_view>

#include "image/AddressImage.h"
#include "image/TextRecords.h"

namespace pelkaforge {

// Reads line as an Intel HEX record: ':', then hex digits of either case
// for the byte count, the address, the type, as many data bytes as the
// count says and the checksum, which must make the bytes sum to zero.
// Returns false with the reason written when it is not one. The type is not
// checked.
bool ParseIntelHexRecord(std::string_view line, TextRecord& record,
                         Reason& reason);

// Reads the Intel HEX file at path by address: data records (type 00),
// extended segment and linear addresses (02, 04), start addresses (03, 05:
// accepted and not needed), and the end-of-file record (01), which must end
// the file.
AddressImage ReadIntelHex(const char* path);

}  // namespace pelkaforge

#endif  // PELKAFORGE_IMAGE_INTELHEXREADER_H_

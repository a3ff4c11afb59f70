#ifndef PELKAFORGE_IMAGE_ELFREADER_H_
#define PELKAFORGE_IMAGE_ELFREADER_H_

#include "image/AddressImage.h"

namespace pelkaforge {

// Reads the ELF file at path (32- or 64-bit, either byte order) by address,
// as objcopy -O binary does: every section that is allocated and has
// contents (.bss and the like add nothing), at its load address. A
// section's load address comes from the loadable segment that holds it, so
// that a .data whose run-time address is in RAM is taken where it lies in
// flash; a section in no segment loads at its own address. A failure ends
// the run, naming the file and the section or offset.
AddressImage ReadElf(const char* path);

}  // namespace pelkaforge

#endif  // PELKAFORGE_IMAGE_ELFREADER_H_

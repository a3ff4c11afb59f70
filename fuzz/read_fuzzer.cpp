// The readers of files by address, Intel HEX, S-record and ELF, on
// arbitrary files: each must either read the file to an image of whole
// blocks or refuse it with one message that names the file, and either way
// leave no stream open and nothing allocated. The input's first byte picks
// the reader; the rest is the file. A refusal, which ends a real run,
// returns here instead.
#include <fcntl.h>
#include <stdlib.h>  // mkdtemp
#include <unistd.h>

#include <csetjmp>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "failure/ReportFailure.h"
#include "image/AddressImage.h"
#include "image/ElfReader.h"
#include "image/IntelHexReader.h"
#include "image/SRecordReader.h"

namespace {

std::jmp_buf refused;
std::string path;
char message[1024];

void RemoveFile() { std::remove(path.c_str()); }

// The lowest descriptor free: it grows when a reader leaves a file open.
int LowestFreeDescriptor() {
  const int probe = open("/dev/null", O_RDONLY);
  close(probe);
  return probe;
}

}  // namespace

namespace pelkaforge {

// In the place of the tool's own, which ends the process.
void ReportFailure(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  std::longjmp(refused, 1);
}

}  // namespace pelkaforge

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  char directory[] = "/tmp/pelkaforge-fuzz-XXXXXX";
  if (mkdtemp(directory) == nullptr) std::abort();
  path = std::string(directory) + "/image";
  std::atexit(RemoveFile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return -1;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data + 1, 1, size - 1, file) != size - 1 ||
      std::fclose(file) != 0) {
    std::abort();
  }
  const int free_descriptor = LowestFreeDescriptor();
  pelkaforge::AddressImage image;
  if (setjmp(refused) == 0) {
    switch (data[0] % 3) {
      case 0:
        image = pelkaforge::ReadIntelHex(path.c_str());
        break;
      case 1:
        image = pelkaforge::ReadSRecords(path.c_str());
        break;
      default:
        image = pelkaforge::ReadElf(path.c_str());
        break;
    }
    if (image.bytes == nullptr || image.size == 0 || image.size % 512 != 0 ||
        image.size > pelkaforge::MaxAddressSpan + 512 ||
        image.address + std::uint64_t{image.size} - 1 >
            pelkaforge::MaxAddress + std::uint64_t{512}) {
      std::abort();
    }
    pelkaforge::FreeAddressImage(image);
  } else if (std::strstr(message, path.c_str()) == nullptr ||
             std::strchr(message, '\n') != message + std::strlen(message) - 1) {
    std::abort();  // a message that names no file, or is not one line
  }
  if (LowestFreeDescriptor() != free_descriptor) std::abort();
  return 0;
}

// Whole conversions of arbitrary images, up to a few blocks, in a private
// directory: the image must end padded with 0xFF to whole blocks, its own
// bytes unchanged, and the output must be exactly the text of the padded
// image as the tests' plain reference writes it. Any difference aborts.
#include <stdlib.h>  // mkdtemp

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

#include "driver/ImageConverter.h"
#include "support/ExpectedSource.h"

namespace {

constexpr std::size_t LargestImage = 4 * 512 + 511;

// The private directory the runs work in, removed when fuzzing ends.
std::filesystem::path work_directory;

void RemoveWorkDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(work_directory, ignored);
}

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // The tool works in the current directory: make it a private one.
  char directory[] = "/tmp/pelkaforge-fuzz-XXXXXX";
  if (mkdtemp(directory) == nullptr) std::abort();
  work_directory = directory;
  std::filesystem::current_path(work_directory);
  std::atexit(RemoveWorkDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size > LargestImage) return -1;  // not added to the corpus
  const std::string image(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out("fw.bin", std::ios::binary | std::ios::trunc);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
  }

  char tool[] = "Pelkaforge";
  char input[] = "fw.bin";
  char* argv[] = {tool, input, nullptr};
  if (pelkaforge::RunImageConverter(2, argv) != 0) std::abort();

  const std::string padded = ReadFile("fw.bin");
  if (padded.size() % 512 != 0 || padded.size() < size ||
      padded.size() - size >= 512 ||
      std::string_view(padded).substr(0, size) != image ||
      padded.find_first_not_of('\xff', size) != std::string::npos) {
    std::abort();
  }
  if (ReadFile("SecondaryMicroImage.c") !=
      pelkaforge::testing::ExpectedSource(padded, "\n")) {
    std::abort();
  }
  return 0;
}

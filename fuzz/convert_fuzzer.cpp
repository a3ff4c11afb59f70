// Whole conversions of arbitrary images, up to a few blocks, in a private
// directory: the image must end padded with 0xFF to whole blocks, its own
// bytes unchanged, and the output must be exactly the text of the padded
// image as the tests' plain reference writes it. pelkaforge-image, run on a
// copy, must write the same text and leave its copy as it was (an empty
// image, which it refuses, is Pelkaforge's alone). Any difference aborts.
// Images that look like HEX, S-record or ELF files, which both refuse, are
// passed over.
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
#include "driver/ImageStep.h"
#include "image/ImageFormat.h"
#include "support/ExpectedSource.h"

namespace {

constexpr std::size_t LargestImage = 4 * 512 + 511;

// The private directory the conversions run in, removed when fuzzing ends,
// and the directory libFuzzer was started in, where it keeps its own files.
std::filesystem::path work_directory;
std::filesystem::path start_directory;

void RemoveWorkDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(work_directory, ignored);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  char directory[] = "/tmp/pelkaforge-fuzz-XXXXXX";
  if (mkdtemp(directory) == nullptr) std::abort();
  work_directory = directory;
  start_directory = std::filesystem::current_path();
  std::atexit(RemoveWorkDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size > LargestImage) return -1;  // not added to the corpus
  const std::string image(reinterpret_cast<const char*>(data), size);
  const std::filesystem::path input_path = work_directory / "fw.bin";
  const std::filesystem::path step_input_path = work_directory / "step.bin";
  for (const std::filesystem::path& path : {input_path, step_input_path}) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
  }

  // Files of another format are refused, not converted: not this target's.
  if (pelkaforge::DisguisedFormat(input_path.c_str())) return -1;

  // The tool writes into the current directory.
  char tool[] = "Pelkaforge";
  char input[] = "fw.bin";
  char* argv[] = {tool, input, nullptr};
  char step[] = "pelkaforge-image";
  char step_input[] = "step.bin";
  char step_output[] = "step.c";
  char* step_argv[] = {step, step_input, step_output, nullptr};
  std::filesystem::current_path(work_directory);
  const int status = pelkaforge::RunImageConverter(2, argv);
  const int step_status =
      size == 0 ? 0 : pelkaforge::RunImageStep(3, step_argv);
  std::filesystem::current_path(start_directory);
  if (status != 0 || step_status != 0) std::abort();

  const std::string padded = ReadFile(input_path);
  if (padded.size() % 512 != 0 || padded.size() < size ||
      padded.size() - size >= 512 ||
      std::string_view(padded).substr(0, size) != image ||
      padded.find_first_not_of('\xff', size) != std::string::npos) {
    std::abort();
  }
  const std::string output = ReadFile(work_directory / "SecondaryMicroImage.c");
  if (output != pelkaforge::testing::ExpectedSource(padded, "\n") ||
      (size != 0 && ReadFile(work_directory / "step.c") != output) ||
      ReadFile(step_input_path) != image) {
    std::abort();
  }
  return 0;
}

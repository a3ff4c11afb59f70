// pelkaforge-image against Pelkaforge, in process: for every image size up
// to four blocks and random sizes beyond, the build step writes what
// Pelkaforge writes for a copy of the image, padded in place, prints the
// same warning with a line break after it, and leaves the image as it was.
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "driver/ImageConverter.h"
#include "driver/ImageStep.h"
#include "support/ExpectedSource.h"
#include "support/ToolRun.h"

namespace pelkaforge::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::size_t> ImageSizes() {
  std::vector<std::size_t> sizes;
  // An empty image is refused by the build step alone.
  for (std::size_t size = 1; size <= 4 * 512; ++size) sizes.push_back(size);
  std::mt19937 generator(7);
  std::uniform_int_distribution<std::size_t> larger(4 * 512 + 1, 1 << 16);
  for (int count = 0; count < 16; ++count) sizes.push_back(larger(generator));
  return sizes;
}

TEST(ImageStepTest, WritesWhatPelkaforgeWritesForTheImagePadded) {
  const TempDir directory;
  const fs::path start = fs::current_path();
  // Both programs write relative to the current folder.
  fs::current_path(directory.work());
  char pelkaforge[] = "Pelkaforge";
  char copy[] = "copy.bin";
  char step[] = "pelkaforge-image";
  char image_name[] = "fw.bin";
  char output[] = "out/step.c";
  char* converter_arguments[] = {pelkaforge, copy, nullptr};
  char* step_arguments[] = {step, image_name, output, nullptr};
  for (const std::size_t size : ImageSizes()) {
    const std::string image = SampleBytes(size, static_cast<unsigned>(size));
    WriteBytes(image_name, image);
    WriteBytes(copy, image);

    ::testing::internal::CaptureStderr();
    const int converter_status = RunImageConverter(2, converter_arguments);
    const int step_status = RunImageStep(3, step_arguments);
    const std::string messages = ::testing::internal::GetCapturedStderr();

    ASSERT_EQ(converter_status, 0) << size << " bytes";
    ASSERT_EQ(step_status, 0) << size << " bytes";
    ASSERT_EQ(messages, size % 512 == 0 ? ""
                                        : std::string(PaddingWarning) +
                                              PaddingWarning + "\n")
        << size << " bytes";
    ASSERT_TRUE(FileHolds(output, ReadBytes("SecondaryMicroImage.c")))
        << size << " bytes";
    ASSERT_TRUE(FileHolds(image_name, image)) << size << " bytes";
  }
  fs::current_path(start);
}

}  // namespace
}  // namespace pelkaforge::testing

// Measuring and block reading of real files, in process.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "image/ImageReader.h"
#include "support/ToolRun.h"

namespace pelkaforge::testing {
namespace {

struct ReadCase {
  std::size_t size;
  std::int32_t block_count;
  std::int32_t remainder;
  int version;
};

void PrintTo(const ReadCase& c, std::ostream* out) {
  *out << c.size << " bytes";
}

class ReaderTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReaderTest, DeliversBlocksInOrderAndTheLastByteAsVersion) {
  const ReadCase& c = GetParam();
  TempDir directory;
  const std::string path = (directory.work() / "fw.bin").string();
  std::string image = SampleBytes(c.size);
  if (c.size % 512 == 0 && c.size > 0) image.back() = '\x07';
  WriteBytes(path, image);

  const ImageLayout layout = MeasureImage(path.c_str());
  EXPECT_EQ(layout.size, static_cast<std::int32_t>(c.size));
  EXPECT_EQ(layout.block_count, c.block_count);
  EXPECT_EQ(layout.remainder, c.remainder);

  // A short last block (here: the padder never ran) ends in 0xFF, never in
  // bytes left from the block before it.
  std::string expected =
      image + std::string((512 - c.size % 512) % 512, '\xff');
  std::string delivered;
  Block block{};
  InputBuffer input_buffer;
  std::FILE* input = OpenImage(path.c_str(), input_buffer);
  while (NextBlock(input, block)) {
    delivered.append(reinterpret_cast<const char*>(block.data()), block.size());
  }
  std::fclose(input);
  EXPECT_EQ(delivered, expected);
  EXPECT_EQ(VersionByte(block), c.version);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReaderTest,
                         ::testing::Values(ReadCase{0, 0, 0, 0},
                                           ReadCase{512, 1, 0, 7},
                                           ReadCase{700, 1, 188, 0xFF},
                                           ReadCase{1536, 3, 0, 7}));

}  // namespace
}  // namespace pelkaforge::testing

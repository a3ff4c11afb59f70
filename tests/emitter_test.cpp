// The text of one block, checked against a printf reference and against the
// literal rows a reader of the generated file sees.
#include <gtest/gtest.h>

#include <string>

#include "emitter/SourceEmitter.h"
#include "support/ExpectedSource.h"
#include "support/ToolRun.h"

namespace pelkaforge::testing {
namespace {

struct BlockCase {
  std::string name;
  std::int32_t index;
  Block block;
  std::string comment;    // the block's first line
  std::string first_row;  // the line after it
};

void PrintTo(const BlockCase& c, std::ostream* out) { *out << c.name; }

Block Counting() {
  Block block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = i & 0xFF;
  return block;
}

Block Filled(std::uint8_t value) {
  Block block{};
  block.fill(value);
  return block;
}

const std::string CountingRow =
    "    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, "
    "0x0b, 0x0c, 0x0d, 0x0e, 0x0f, \n";
const std::string FfRow =
    "    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, "
    "0xff, 0xff, 0xff, 0xff, 0xff, \n";
const std::string ZeroRow =
    "    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, "
    "0x00, 0x00, 0x00, 0x00, 0x00, \n";

const BlockCase BlockCases[] = {
    {"CountingFirst", 0, Counting(), "    // block 0\n", CountingRow},
    {"Nine", 9, Filled(0xFF), "    // block 9\n", FfRow},
    {"TenNoLeadingZero", 10, Filled(0x00), "    // block 10\n", ZeroRow},
    {"Widest", -2147483647 - 1, Filled(0x00), "    // block -2147483648\n",
     ZeroRow},
    {"Largest", 2147483647, Filled(0xFF), "    // block 2147483647\n", FfRow},
};

class FormatBlockTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(FormatBlockTest, WritesCommentThen32RowsOf16Elements) {
  const BlockCase& c = GetParam();
  std::array<char, BlockTextCapacity> text;
  const std::string formatted(text.data(), FormatBlock(c.index, c.block, text));

  ASSERT_EQ(formatted.substr(0, c.comment.size()), c.comment);
  EXPECT_EQ(formatted.substr(c.comment.size(), 101), c.first_row);
  // Every row is four spaces, 16 elements of six characters and a break.
  EXPECT_EQ(formatted.size(), c.comment.size() + 32 * 101);
  if (c.index == 0) {
    // A whole file of this one block, less its banner, head and tail.
    const std::string expected = ExpectedSource(
        std::string(reinterpret_cast<const char*>(c.block.data()), 512), "\n");
    EXPECT_NE(expected.find(formatted), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, FormatBlockTest,
                         ::testing::ValuesIn(BlockCases),
                         [](const ::testing::TestParamInfo<BlockCase>& info) {
                           return info.param.name;
                         });

TEST(FormatBlockTest, SixteenthRowOfCountingBlockEndsWithFf) {
  std::array<char, BlockTextCapacity> text;
  const std::string formatted(text.data(), FormatBlock(0, Counting(), text));
  const std::string row16 = formatted.substr(15 + 15 * 101, 101);
  EXPECT_EQ(row16.substr(row16.size() - 7), "0xff, \n");
}

}  // namespace
}  // namespace pelkaforge::testing

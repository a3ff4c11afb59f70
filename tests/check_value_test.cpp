// The check values against published ones (FIPS 180-4's SHA-256 examples
// and CRC-32's check value, "123456789") and Python's, each fed whole and in
// pieces of sizes that cross SHA-256's 64-byte blocks every way.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

#include "image/Crc32.h"
#include "image/Sha256.h"

namespace pelkaforge::testing {
namespace {

struct CheckValueCase {
  std::string input;
  std::uint32_t crc32;
  std::string sha256;
};

void PrintTo(const CheckValueCase& c, std::ostream* out) {
  *out << c.input.size() << " bytes";
}

const auto* Data(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

std::string Text(const Sha256Digest& digest) {
  std::string text;
  char digits[3];
  for (const std::uint8_t byte : digest) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text;
}

class CheckValueTest : public ::testing::TestWithParam<CheckValueCase> {};

TEST_P(CheckValueTest, MatchesThePublishedValueInAnyPieces) {
  const CheckValueCase& c = GetParam();
  // SHA-256 in C, and with the processor's instructions where it has them.
  for (const bool instructions : {false, HasShaInstructions()}) {
    for (const std::size_t piece :
         {c.input.size() + 1, std::size_t{1}, std::size_t{7}, std::size_t{63},
          std::size_t{64}, std::size_t{65}}) {
      std::uint32_t crc = Crc32Start;
      Sha256State sha;
      sha.sha_instructions = instructions;
      for (std::size_t at = 0; at < c.input.size(); at += piece) {
        const std::size_t size = std::min(piece, c.input.size() - at);
        crc = Crc32Update(crc, Data(c.input) + at, size);
        Sha256Update(sha, Data(c.input) + at, size);
      }
      EXPECT_EQ(crc, c.crc32) << "pieces of " << piece;
      EXPECT_EQ(Text(Sha256Finish(sha)), c.sha256)
          << "pieces of " << piece << (instructions ? ", instructions" : "");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Published, CheckValueTest,
    ::testing::Values(
        CheckValueCase{"", 0,
                       "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca4959"
                       "91b7852b855"},
        CheckValueCase{"abc", 0x352441C2,
                       "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410f"
                       "f61f20015ad"},
        CheckValueCase{"123456789", 0xCBF43926,
                       "15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3"
                       "312448eb225"},
        CheckValueCase{
            "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
            0x171A3F5F,
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        // Python's zlib and hashlib give these.
        CheckValueCase{std::string(1000, 'a'), 0x9A38DA03,
                       "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db"
                       "1b9737ea3"}));

}  // namespace
}  // namespace pelkaforge::testing

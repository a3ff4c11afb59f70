// The generated file, compiled as C by the system's compiler against a
// Datatype.h of the kind a firmware project supplies, holds the image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/ToolRun.h"

namespace pelkaforge::testing {
namespace {

const char* const DatatypeHeader = "typedef unsigned char tUBYTE;\n";

// Links against the generated file's definitions (external only in C), then
// dumps the array as far as the block count says, and the two variables.
const char* const CheckProgram = R"(#include <stdio.h>
#include "Datatype.h"
extern const tUBYTE SecondaryMicroImage[];
extern tUBYTE NumSecondaryMicroImageBlocks;
extern tUBYTE SecondaryMircoVersion;
int main(void) {
  FILE* array = fopen("array.bin", "wb");
  fwrite(SecondaryMicroImage, 1, NumSecondaryMicroImageBlocks * 256u, array);
  fclose(array);
  printf("%d %d\n", NumSecondaryMicroImageBlocks, SecondaryMircoVersion);
  return 0;
}
)";

TEST(GeneratedSourceTest, CompilesAsCAndHoldsThePaddedImage) {
#ifdef _WIN32
  GTEST_SKIP() << "the C compiler runs on the build machine, not under Wine";
#endif
  TempDir directory;
  const auto work = directory.work();
  const std::string image = SampleBytes(1300);
  WriteBytes(work / "fw.bin", image);
  ASSERT_EQ(RunTool(directory, {"fw.bin"}).status, 0);
  WriteBytes(work / "Datatype.h", DatatypeHeader);
  WriteBytes(work / "check.c", CheckProgram);

  const std::string command =
      "cd '" + work.string() + "' && '" + PELKAFORGE_C_COMPILER +
      "' -std=c99 -Wall -Werror " + PELKAFORGE_C_LINK_FLAGS +
      " -o check check.c SecondaryMicroImage.c && " + Emulator() +
      " ./check > figures.txt";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  EXPECT_EQ(ReadBytes(work / "array.bin"), image + std::string(236, '\xff'));
  EXPECT_EQ(ReadBytes(work / "figures.txt"), "6 255\n");
}

}  // namespace
}  // namespace pelkaforge::testing

// The generated files, compiled by the system's compilers against a
// Datatype.h of the kind a firmware project supplies, hold the images.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>

#include "support/ToolRun.h"

namespace pelkaforge::testing {
namespace {

// Guarded, as every image header includes it.
const char* const DatatypeHeader =
    "#ifndef DATATYPE_H\n#define DATATYPE_H\ntypedef unsigned char tUBYTE;\n"
    "#endif\n";

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

// A source written through a linked folder includes its header by the
// folders as the system resolves them, which is how a compiler finds it.
TEST(IncludePathTest, HoldsThroughALinkedFolder) {
#ifdef _WIN32
  GTEST_SKIP() << "needs links, and a C compiler on the build machine";
#else
  TempDir directory;
  const auto work = directory.work();
  std::filesystem::create_directories(work / "deep/a/b");
  std::filesystem::create_directory_symlink("deep/a/b", work / "link");
  WriteBytes(work / "fw.bin", SampleBytes(512));
  WriteBytes(work / "Datatype.h", DatatypeHeader);
  RunOptions step;
  step.image_step = true;
  const RunResult result = RunTool(
      directory, {"--name", "img", "--header", "img.h", "fw.bin", "link/img.c"},
      step);
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string command = "cd '" + work.string() + "' && '" +
                              PELKAFORGE_C_COMPILER +
                              "' -Wall -Werror -c link/img.c -o img.o";
  EXPECT_EQ(std::system(command.c_str()), 0)
      << ReadBytes(work / "link/img.c", 400);
#endif
}

// Two images named apart, the second with the longest name allowed, used
// through their headers alone: their lengths are constants, and their bytes
// and figures are those of the padded images.
const char* const TwoImagesProgram = R"(#include <stdio.h>
#include "radio.h"
#include "abcdefghijklmnopqrstuvw.h"

#ifdef __cplusplus
#define STATIC_ASSERT static_assert
#else
#define STATIC_ASSERT _Static_assert
#endif
STATIC_ASSERT(sizeof radio == 1536, "the padded length");
STATIC_ASSERT(sizeof abcdefghijklmnopqrstuvw == 512, "the length");

int main(void) {
  FILE* arrays = fopen("arrays.bin", "wb");
  fwrite(radio, 1, sizeof radio, arrays);
  fwrite(abcdefghijklmnopqrstuvw, 1, sizeof abcdefghijklmnopqrstuvw, arrays);
  fclose(arrays);
  printf("%lu %d %lu %d\n", radio_blocks, radio_version,
         abcdefghijklmnopqrstuvw_blocks, abcdefghijklmnopqrstuvw_version);
  return 0;
}
)";

struct Language {
  const char* name;
  const char* compiler;
  const char* program;  // its file name
};

void PrintTo(const Language& language, std::ostream* out) {
  *out << language.name;
}

class TwoImagesTest : public ::testing::TestWithParam<Language> {};

TEST_P(TwoImagesTest, LinkThroughTheirHeaders) {
#ifdef _WIN32
  GTEST_SKIP() << "the compilers run on the build machine, not under Wine";
#endif
  TempDir directory;
  const auto work = directory.work();
  const std::string radio_image = SampleBytes(1300);
  std::string other_image = SampleBytes(512, 2);
  other_image.back() = '\x2a';
  WriteBytes(work / "radio.bin", radio_image);
  WriteBytes(work / "other.bin", other_image);
  RunOptions step;
  step.image_step = true;
  // The second's source and header in folders of their own: the source
  // includes its header by its path from the source's folder.
  for (const auto& [name, image, source, header] :
       {std::array<std::string, 4>{"radio", "radio.bin", "radio.c", "radio.h"},
        {"abcdefghijklmnopqrstuvw", "other.bin",
         "src/abcdefghijklmnopqrstuvw.c",
         "include/abcdefghijklmnopqrstuvw.h"}}) {
    const RunResult result = RunTool(
        directory, {"--name", name, "--header", header, image, source}, step);
    ASSERT_EQ(result.status, 0) << result.err;
    // Each header agrees with its file: once the file has defined the
    // array, any other type or length is an error where the header
    // declares it.
    WriteBytes(work / ("agree_" + name + ".c"),
               "#include \"" + source + "\"\n#include \"" + header + "\"\n");
  }
  WriteBytes(work / "Datatype.h", DatatypeHeader);
  WriteBytes(work / GetParam().program, TwoImagesProgram);

  const std::string c_compiler = std::string("'") + PELKAFORGE_C_COMPILER +
                                 "' -Wall -Werror -I. -Iinclude ";
  const std::string command =
      "cd '" + work.string() + "' && " + c_compiler +
      "-std=c99 -pedantic-errors -c agree_radio.c "
      "agree_abcdefghijklmnopqrstuvw.c"
      " && " +
      c_compiler + "-std=c99 -c radio.c src/abcdefghijklmnopqrstuvw.c && '" +
      GetParam().compiler + "' -Wall -Werror -I. -Iinclude " +
      PELKAFORGE_C_LINK_FLAGS + " -o check " + GetParam().program +
      " radio.o abcdefghijklmnopqrstuvw.o && " + Emulator() +
      " ./check > figures.txt";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  EXPECT_EQ(ReadBytes(work / "arrays.bin"),
            radio_image + std::string(236, '\xff') + other_image);
  EXPECT_EQ(ReadBytes(work / "figures.txt"), "6 255 2 42\n");
}

INSTANTIATE_TEST_SUITE_P(
    Languages, TwoImagesTest,
    ::testing::Values(Language{"C", PELKAFORGE_C_COMPILER, "check.c"},
                      Language{"Cpp", PELKAFORGE_CXX_COMPILER, "check.cpp"}),
    [](const ::testing::TestParamInfo<Language>& info) {
      return info.param.name;
    });

}  // namespace
}  // namespace pelkaforge::testing

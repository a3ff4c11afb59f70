// Whole runs of the built tool in private directories: what it prints, its
// status, and what it leaves on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "driver/Version.h"
#include "image/Sha256.h"
#include "support/ExpectedSource.h"
#include "support/ToolRun.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace pelkaforge::testing {
namespace {

namespace fs = std::filesystem;

const std::string Usage = "usage: Pelkaforge <.bin filename> [ IO | EX ]\n";
const std::string Warning = PaddingWarning;
const std::string StepUsage =
    "usage: pelkaforge-image [options] [--] <image file> <output file>\n";
const std::string OldOutput = "the output of an earlier run\n";

enum class Output {
  kAbsent,     // none before the run, none after
  kOld,        // an earlier run's output, left as it was
  kConverted,  // an earlier run's output, replaced by the input's conversion
  kRemoved,    // an earlier run's output, removed
  kIsInput,    // the input under another name, left as it was
  kUnchecked,  // not a file the run could change
};

enum class Needs { kNothing, kPosix, kNobody, kStrace };

struct RunCase {
  std::string name;
  std::size_t input_size;  // of "fw.bin", made before the run
  std::vector<std::string> arguments;
  std::string err;
  int status;
  Output output;
  std::size_t pad = 0;  // 0xFF bytes the run must append to fw.bin
  Needs needs = Needs::kNothing;
  std::function<void(const fs::path& work)> setup = nullptr;
  RunOptions options = {};
  fs::path input_name = "fw.bin";  // where the image is made
  // The image's bytes, when not input_size sample bytes.
  std::string content = {};
  // The header "SecondaryMicroImage.h", and the name the output and header
  // are converted with (Pelkaforge's names when empty).
  Output header = Output::kAbsent;
  std::string image_name = {};
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RunCase& run, std::ostream* out) { *out << run.name; }

std::string Refused(const std::string& path, const std::string& reason) {
  return "Unable to convert file " + path + " (" + reason + ")\n";
}
const std::string IsOutput = "it is the output file SecondaryMicroImage.c";

// "fw.bin" behind enough "./" to make a path of length characters, from 6 up.
std::string LongPathToImage(std::size_t length) {
  std::string path;
  while (path.size() + 2 + 6 <= length) path += "./";
  return path + std::string(length - path.size() - 6, '/') + "fw.bin";
}

// Only POSIX rows make one; the Windows build skips them before setup.
void MakeFifo([[maybe_unused]] const fs::path& work) {
#ifndef _WIN32
  ASSERT_EQ(mkfifo((work / "pipe.bin").c_str(), 0644), 0);
#endif
}

void MakeImageReadOnly(const fs::path& work) {
  fs::permissions(work / "fw.bin", fs::perms::owner_read |
                                       fs::perms::group_read |
                                       fs::perms::others_read);
}

// Every write to the output then fails with ENOSPC.
void OutputToFullDevice(const fs::path& work) {
  fs::create_symlink("/dev/full", work / "SecondaryMicroImage.c");
}
const std::string DiskFull =
    "Unable to write file SecondaryMicroImage.c (No space left on device)\n";

// The row run with pelkaforge-image, the build step, instead.
RunCase Step(RunCase run) {
  run.options.image_step = true;
  return run;
}

// The row with an earlier header "SecondaryMicroImage.h" that must end so.
RunCase WithHeader(RunCase run, Output header) {
  run.header = header;
  return run;
}

// A build step row that gives the image this name, which is refused.
RunCase NameRefused(std::string row, const std::string& name,
                    const std::string& reason) {
  return Step({std::move(row),
               1000,
               {"--name", name, "fw.bin", "SecondaryMicroImage.c"},
               "Unable to use name \"" + name + "\" (" + reason + ")\n",
               1,
               Output::kOld});
}
const std::string Reserved = "reserved: ";

// The build step's arguments that also ask for the header.
const std::vector<std::string> StepWithHeader = {
    "--header", "SecondaryMicroImage.h", "fw.bin", "SecondaryMicroImage.c"};

// A build step row that asks for the header, in which a system call fails
// under strace: the message names the file, the output stays as it was, and
// the header as the row says.
RunCase StepFault(std::string row, const std::string& file,
                  const std::string& reason, std::vector<std::string> strace,
                  Output header = Output::kOld);

// strace options that fail the run's n-th rename.
std::vector<std::string> FailedRename(int n) {
  return {
      "-e", "trace=rename,renameat,renameat2", "-e",
      "inject=rename,renameat,renameat2:error=EIO:when=" + std::to_string(n)};
}

// Options that let the tool write files of this size at the most.
RunOptions FileSizeLimit(long bytes) {
  RunOptions options;
  options.file_size_limit = bytes;
  return options;
}

// Stands in an strace option for the run's folder: strace matches a file
// that does not exist yet by its absolute path alone.
const std::string WorkFolder = "{work}";

// Options that run the tool under strace with these options. (The leak
// checker of a sanitized build cannot work under strace.)
RunOptions Traced(std::vector<std::string> strace) {
  RunOptions options;
  options.environment = {"ASAN_OPTIONS=detect_leaks=0"};
  options.strace = std::move(strace);
  return options;
}

RunCase StepFault(std::string row, const std::string& file,
                  const std::string& reason, std::vector<std::string> strace,
                  Output header) {
  return WithHeader(
      Step({std::move(row), 1024, StepWithHeader,
            "Unable to write file " + file + " (" + reason + ")\n", 1,
            Output::kOld, 0, Needs::kStrace, nullptr,
            Traced(std::move(strace))}),
      header);
}

// Where the file system cannot lock (some network mounts: taking the lock
// fails with this error), a run pads as when alone.
RunCase PadsWithoutLock(std::string name, const std::string& error) {
  return {std::move(name),
          1000,
          {"fw.bin"},
          Warning,
          0,
          Output::kConverted,
          24,
          Needs::kStrace,
          nullptr,
          Traced({"-e", "trace=flock", "-e", "inject=flock:error=" + error})};
}

// A setup that leaves in the output the text a run on the 1024 sample
// bytes writes, with these line ends.
std::function<void(const fs::path&)> ConvertedWith(std::string line_end) {
  return [line_end](const fs::path& work) {
    WriteBytes(work / "SecondaryMicroImage.c",
               ExpectedSource(SampleBytes(1024), line_end));
  };
}

// The SHA-256 of the 1024 sample bytes, as sha256sum prints it.
std::string SampleSha256() {
  const std::string image = SampleBytes(1024);
  Sha256State state;
  Sha256Update(state, reinterpret_cast<const std::uint8_t*>(image.data()),
               image.size());
  std::string text;
  char digits[3];
  for (const std::uint8_t byte : Sha256Finish(state)) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text;
}

// An Intel HEX file's first lines and an ELF file's identification.
const std::string HexText =
    ":020000040800F2\n:0400000012345678E8\n:00000001FF\n";
const std::string ElfStart = std::string(
                                 "\x7f"
                                 "ELF\x01\x01\x01",
                                 7) +
                             std::string(993, '\0');

RunCase Checked(std::string row, std::vector<std::string> arguments,
                std::string err, Output output,
                std::function<void(const fs::path&)> setup = nullptr,
                Output header = Output::kAbsent) {
  arguments.insert(arguments.begin(), "--check");
  const int status = err.empty() ? 0 : 1;
  RunCase run{
      std::move(row), 1024, std::move(arguments), std::move(err),  status,
      output,         0,    Needs::kNothing,      std::move(setup)};
  run.header = header;
  return Step(run);
}

const std::string CheckFailed = "Check failed: SecondaryMicroImage.";

const std::vector<RunCase> RunCases = {
    {"NoArgument", 1024, {}, Usage, 1, Output::kOld},
    {"WholeBlocks", 1024, {"fw.bin"}, "", 0, Output::kConverted},
    {"OneBlock", 512, {"fw.bin"}, "", 0, Output::kConverted},
    {"ThreeBlocks", 1536, {"fw.bin"}, "", 0, Output::kConverted},
    {"EmptyImage", 0, {"fw.bin"}, "", 0, Output::kConverted},
    {"IOIgnored", 1024, {"fw.bin", "IO"}, "", 0, Output::kConverted},
    {"EXIgnored", 1024, {"fw.bin", "EX"}, "", 0, Output::kConverted},
    {"AnyWordsIgnored", 1024, {"fw.bin", "-h", "x"}, "", 0, Output::kConverted},
    {"Pads1000", 1000, {"fw.bin"}, Warning, 0, Output::kConverted, 24},
    {"Pads511", 511, {"fw.bin"}, Warning, 0, Output::kConverted, 1},
    {"Pads513", 513, {"fw.bin"}, Warning, 0, Output::kConverted, 511},
    {"Pads1", 1, {"fw.bin"}, Warning, 0, Output::kConverted, 511},
    {"MissingInput",
     1000,
     {"missing.bin"},
     "Unable to stat file missing.bin (No such file or directory)\n",
     1,
     Output::kOld},
    {"Directory",
     1000,
     {"dir.bin"},
     Refused("dir.bin", "not a regular file"),
     1,
     Output::kOld,
     0,
     Needs::kNothing,
     [](const fs::path& work) { fs::create_directory(work / "dir.bin"); }},
    {"TooLarge",
     1000,
     {"big.bin"},
     Refused("big.bin", "larger than 2147483647 bytes"),
     1,
     Output::kOld,
     0,
     Needs::kNothing,
     [](const fs::path& work) {
       WriteBytes(work / "big.bin", "");
       fs::resize_file(work / "big.bin", std::uintmax_t{1} << 31);
     }},
    {"TooLargeAndPartial",
     1000,
     {"big.bin"},
     Refused("big.bin", "larger than 2147483647 bytes"),
     1,
     Output::kOld,
     0,
     Needs::kNothing,
     [](const fs::path& work) {
       WriteBytes(work / "big.bin", "");
       fs::resize_file(work / "big.bin", (std::uintmax_t{1} << 32) + 1000);
     }},
    {"InputIsOutputByName",
     1000,
     {"SecondaryMicroImage.c"},
     Refused("SecondaryMicroImage.c", IsOutput),
     1,
     Output::kIsInput,
     0,
     Needs::kNothing,
     [](const fs::path& work) {
       fs::copy_file(work / "fw.bin", work / "SecondaryMicroImage.c");
     }},
    {"InputIsOutputByDotPath",
     1000,
     {"./SecondaryMicroImage.c"},
     Refused("./SecondaryMicroImage.c", IsOutput),
     1,
     Output::kIsInput,
     0,
     Needs::kNothing,
     [](const fs::path& work) {
       fs::copy_file(work / "fw.bin", work / "SecondaryMicroImage.c");
     }},
    {"InputIsOutputByHardLink",
     1000,
     {"fw.bin"},
     Refused("fw.bin", IsOutput),
     1,
     Output::kIsInput,
     0,
     Needs::kPosix,
     [](const fs::path& work) {
       fs::create_hard_link(work / "fw.bin", work / "SecondaryMicroImage.c");
     }},
    {"OutputIsLinkToInput",
     1000,
     {"fw.bin"},
     Refused("fw.bin", IsOutput),
     1,
     Output::kIsInput,
     0,
     Needs::kPosix,
     [](const fs::path& work) {
       fs::create_symlink("fw.bin", work / "SecondaryMicroImage.c");
     }},
    {"InputIsLinkToOutput",
     1000,
     {"link.bin"},
     Refused("link.bin", IsOutput),
     1,
     Output::kIsInput,
     0,
     Needs::kPosix,
     [](const fs::path& work) {
       fs::copy_file(work / "fw.bin", work / "SecondaryMicroImage.c");
       fs::create_symlink("SecondaryMicroImage.c", work / "link.bin");
     }},
    // A file of the output's name in another folder is another file.
    {"InputNamedAsOutputElsewhere",
     1024,
     {"sub/SecondaryMicroImage.c"},
     "",
     0,
     Output::kConverted,
     0,
     Needs::kNothing,
     nullptr,
     {},
     "sub/SecondaryMicroImage.c"},
    {"SpacesInPath",
     1000,
     {"my image.bin"},
     Warning,
     0,
     Output::kConverted,
     24,
     Needs::kNothing,
     nullptr,
     {},
     u8"my image.bin"},
    {"NonAsciiPath",
     1024,
     {"pr\xc3\xbc"
      "fung.bin"},
     "",
     0,
     Output::kConverted,
     0,
     Needs::kNothing,
     nullptr,
     {},
     u8"pr\u00fcfung.bin"},
    {"NonAsciiPathMissing",
     1000,
     {"pr\xc3\xbc"
      "fung-1.bin"},
     "Unable to stat file pr\xc3\xbc"
     "fung-1.bin (No such file or directory)\n",
     1,
     Output::kOld},
    // Started without standard streams: the run still converts and pads,
    // and the warning goes nowhere. (That no message can reach the output
    // is checked by the read failures below.)
    {"StandardStreamsClosed",
     1000,
     {"fw.bin"},
     "",
     0,
     Output::kConverted,
     24,
     Needs::kNothing,
     nullptr,
     RunOptions{.as_nobody = false,
                .closed_streams = {0, 1, 2},
                .file_size_limit = 0,
                .environment = {},
                .image_step = false,
                .strace = {}}},
    // The longest path a POSIX system resolves (4095 characters and the end
    // of string) works; one more is refused before anything is touched.
    {"PathOf4095Characters",
     1000,
     {LongPathToImage(4095)},
     Warning,
     0,
     Output::kConverted,
     24,
     Needs::kPosix},
    {"PathOf4096Characters",
     1000,
     {LongPathToImage(4096)},
     "Unable to stat file " + LongPathToImage(4096) + " (File name too long)\n",
     1,
     Output::kOld,
     0,
     Needs::kPosix},
    // Names are bytes there: one that is not UTF-8 is used and echoed as is.
    {"PathNotUtf8",
     1000,
     {"\xff\xfe-image.bin"},
     Warning,
     0,
     Output::kConverted,
     24,
     Needs::kPosix,
     nullptr,
     {},
     "\xff\xfe-image.bin"},
    {"PathNotUtf8Missing",
     1000,
     {"\xff\xfe-missing.bin"},
     "Unable to stat file \xff\xfe-missing.bin (No such file or directory)\n",
     1,
     Output::kOld,
     0,
     Needs::kPosix},
    {"Fifo",
     1000,
     {"pipe.bin"},
     Refused("pipe.bin", "not a regular file"),
     1,
     Output::kOld,
     0,
     Needs::kPosix,
     MakeFifo},
    {"Device",
     1000,
     {"/dev/zero"},
     Refused("/dev/zero", "not a regular file"),
     1,
     Output::kOld,
     0,
     Needs::kPosix},
    {"ReadOnlyInputToPad",
     1000,
     {"fw.bin"},
     Warning + "Unable to open file fw.bin (Permission denied)\n",
     1,
     Output::kOld,
     0,
     Needs::kNobody,
     MakeImageReadOnly},
    {"UnreadableInput",
     1024,
     {"fw.bin"},
     "Unable to open file fw.bin (Permission denied)\n",
     1,
     Output::kOld,
     0,
     Needs::kNobody,
     [](const fs::path& work) {
       fs::permissions(work / "fw.bin", fs::perms::owner_write);
     }},
    {"OutputNotCreatable",
     1024,
     {"fw.bin"},
     "Unable to open file SecondaryMicroImage.c (Permission denied)\n",
     1,
     Output::kAbsent,
     0,
     Needs::kNobody,
     [](const fs::path& work) {
       fs::permissions(work, fs::perms::all & ~fs::perms::others_write);
     }},
    {"OutputDiskFull",
     1024,
     {"fw.bin"},
     DiskFull,
     1,
     Output::kUnchecked,
     0,
     Needs::kPosix,
     OutputToFullDevice},
    // The whole text still sits in the stream's buffer: only the final
    // close can find the full disk.
    {"OutputDiskFullAtClose",
     0,
     {"fw.bin"},
     DiskFull,
     1,
     Output::kUnchecked,
     0,
     Needs::kPosix,
     OutputToFullDevice},
    {"PadWriteFails",
     1000,
     {"fw.bin"},
     Warning + "Unable to write file fw.bin (File too large)\n",
     1,
     Output::kOld,
     0,
     Needs::kPosix,
     nullptr,
     FileSizeLimit(1000)},
    // The padding is flushed under the lock, but a network file system may
    // report a failed write only at the close.
    {"PadCloseFails",
     1000,
     {"fw.bin"},
     Warning + "Unable to write file fw.bin (Input/output error)\n",
     1,
     Output::kOld,
     24,
     Needs::kStrace,
     nullptr,
     Traced({"-P", "fw.bin", "-e", "trace=close", "-e",
             "inject=close:error=EIO"})},
    PadsWithoutLock("PadsWithoutLock", "ENOLCK"),
    PadsWithoutLock("PadsWithoutLockSupport", "EOPNOTSUPP"),
    // The build step never changes the image: its output is that of the
    // image padded, and only a complete file replaces an earlier one.
    Step({"StepNoArgument", 1000, {}, StepUsage, 1, Output::kOld}),
    Step({"StepThreeArguments",
          1000,
          {"fw.bin", "SecondaryMicroImage.c", "EX"},
          StepUsage,
          1,
          Output::kOld}),
    Step({"StepUnknownOption",
          1000,
          {"--output", "SecondaryMicroImage.c"},
          StepUsage,
          1,
          Output::kOld}),
    Step({"StepPads1000",
          1000,
          {"fw.bin", "SecondaryMicroImage.c"},
          Warning + "\n",
          0,
          Output::kConverted}),
    Step({"StepReadOnlyImage",
          1,
          {"fw.bin", "SecondaryMicroImage.c"},
          Warning + "\n",
          0,
          Output::kConverted,
          0,
          Needs::kNobody,
          MakeImageReadOnly}),
    Step({"StepOutputIsImage",
          1000,
          {"fw.bin", "./fw.bin"},
          Refused("fw.bin", "it is the output file ./fw.bin"),
          1,
          Output::kOld}),
    // Output folders can be shared: a name taken, even by a link to the
    // image, is passed over.
    Step({"StepTemporaryNameTaken",
          1024,
          {"fw.bin", "SecondaryMicroImage.c"},
          "",
          0,
          Output::kConverted,
          0,
          Needs::kPosix,
          [](const fs::path& work) {
            fs::create_symlink("fw.bin", work / "SecondaryMicroImage.c.0.tmp");
          }}),
    Step({"StepOutputNotCreatable",
          1024,
          {"fw.bin", "SecondaryMicroImage.c"},
          "Unable to open file SecondaryMicroImage.c (Permission denied)\n",
          1,
          Output::kOld,
          0,
          Needs::kNobody,
          [](const fs::path& work) {
            fs::permissions(work, fs::perms::all & ~fs::perms::others_write);
          }}),
    Step({"StepWriteFails",
          1000,
          {"fw.bin", "SecondaryMicroImage.c"},
          Warning + "\nUnable to write file SecondaryMicroImage.c (File too "
                    "large)\n",
          1,
          Output::kOld,
          0,
          Needs::kPosix,
          nullptr,
          FileSizeLimit(2000)}),
    // The end of the file reaches the disk at the close: a close that fails
    // (the last flush on a full disk) must never put a truncated file in
    // place, where a build and its cache would take it as made.
    Step({"StepCloseFails",
          1000,
          {"fw.bin", "SecondaryMicroImage.c"},
          Warning + "\nUnable to write file SecondaryMicroImage.c "
                    "(Input/output error)\n",
          1,
          Output::kOld,
          0,
          Needs::kStrace,
          nullptr,
          Traced({"-P", WorkFolder + "/SecondaryMicroImage.c.0.tmp", "-e",
                  "trace=close", "-e", "inject=close:error=EIO"})}),
    // An empty image makes an array C does not allow; in a build it means
    // the step that made the image failed.
    Step({"StepEmptyImage",
          0,
          {"fw.bin", "SecondaryMicroImage.c"},
          "Unable to convert file fw.bin (empty)\n",
          1,
          Output::kOld}),
    Step({"StepEndOfOptions",
          1024,
          {"--", "-x.bin", "SecondaryMicroImage.c"},
          "",
          0,
          Output::kConverted,
          0,
          Needs::kNothing,
          nullptr,
          {},
          "-x.bin"}),
    Step({"StepOptionTwice",
          1024,
          {"--name", "a", "--name", "b", "fw.bin", "SecondaryMicroImage.c"},
          StepUsage,
          1,
          Output::kOld}),
    Step({"StepOptionWithoutValue",
          1024,
          {"--header"},
          StepUsage,
          1,
          Output::kOld}),
    Step({"StepOptionAfterPaths",
          1024,
          {"fw.bin", "SecondaryMicroImage.c", "--name", "a"},
          StepUsage,
          1,
          Output::kOld}),
    NameRefused("NameLeadingDigit", "2nd_image", "not a C identifier"),
    NameRefused("NameWithDash", "app-image", "not a C identifier"),
    NameRefused("NameCKeyword", "register", "a keyword of C or C++"),
    NameRefused("NameCppKeyword", "class", "a keyword of C or C++"),
    NameRefused("NameLeadingUnderscore", "_image",
                Reserved + "it begins with an underscore"),
    NameRefused("NameDoubleUnderscore", "app__image",
                Reserved + "it holds two underscores together"),
    NameRefused("NameTrailingUnderscore", "image_",
                Reserved + "it ends with an underscore, and its _blocks and "
                           "_version would hold two together"),
    NameRefused("Name24Characters", std::string(24, 'a'),
                "longer than 23 characters"),
    Step({"StepHeaderIsOutput",
          1024,
          {"--header", "SecondaryMicroImage.c", "fw.bin",
           "SecondaryMicroImage.c"},
          "Unable to write file SecondaryMicroImage.c (it is both the output "
          "file and the header)\n",
          1,
          Output::kOld}),
    // Neither exists yet, nor the folder the header's path goes through: no
    // file identity to compare before the run.
    Step({"StepHeaderIsNewOutputSpeltOtherwise",
          1024,
          {"--header", "new/../SecondaryMicroImage.c", "fw.bin",
           "SecondaryMicroImage.c"},
          "Unable to write file SecondaryMicroImage.c (it is both the output "
          "file and the header)\n",
          1,
          Output::kAbsent}),
    // Through a folder that does not exist yet, which the run makes.
    Step({"StepOutputIsImageThroughNewFolder",
          1024,
          {"fw.bin", "new/../fw.bin"},
          Refused("fw.bin", "it is the output file new/../fw.bin"),
          1,
          Output::kAbsent}),
    Step({"StepHeaderIsImage",
          1024,
          {"--header", "./fw.bin", "fw.bin", "SecondaryMicroImage.c"},
          Refused("fw.bin", "it is the output file ./fw.bin"),
          1,
          Output::kOld}),
    // 127 blocks, 254 units of 256 bytes: the most a tUBYTE holds.
    Step({"StepCount254",
          127 * 512,
          {"fw.bin", "SecondaryMicroImage.c"},
          "",
          0,
          Output::kConverted}),
    Step({"StepCountAbove255",
          70000,
          {"fw.bin", "SecondaryMicroImage.c"},
          Warning +
              "\nNumSecondaryMicroImageBlocks is 274, more than a tUBYTE "
              "holds: --header declares SecondaryMicroImage with its exact "
              "length (70144 bytes)\n",
          0,
          Output::kConverted}),
    WithHeader(
        Step({"StepCountAbove255WithHeader", 70000, StepWithHeader,
              Warning + "\nNumSecondaryMicroImageBlocks is 274, more than "
                        "a tUBYTE holds: sizeof SecondaryMicroImage, "
                        "declared in SecondaryMicroImage.h, is the exact "
                        "length (70144 bytes)\n",
              0, Output::kConverted}),
        Output::kConverted),
    [] {
      RunCase run =
          WithHeader(Step({"StepNamedWithHeader",
                           1000,
                           {"--header", "SecondaryMicroImage.h", "--name",
                            "radio2", "fw.bin", "SecondaryMicroImage.c"},
                           Warning + "\n",
                           0,
                           Output::kConverted}),
                     Output::kConverted);
      run.image_name = "radio2";
      return run;
    }(),
    // Two outputs, one promise: whichever fails, neither name holds a new
    // file without the other, and no temporary file is left.
    StepFault("StepHeaderWriteFails", "SecondaryMicroImage.h",
              "No space left on device",
              {"-P", WorkFolder + "/SecondaryMicroImage.h.0.tmp", "-e",
               "trace=write", "-e", "inject=write:error=ENOSPC"}),
    StepFault("StepHeaderCloseFails", "SecondaryMicroImage.h",
              "Input/output error",
              {"-P", WorkFolder + "/SecondaryMicroImage.h.0.tmp", "-e",
               "trace=close", "-e", "inject=close:error=EIO"}),
    // The header is put in place first (the first rename), the source
    // second: once the source fails to follow, the new header goes, since
    // it would declare an array the old source does not hold.
    StepFault("StepHeaderPlacingFails", "SecondaryMicroImage.h",
              "Input/output error", FailedRename(1)),
    StepFault("StepSourcePlacingFails", "SecondaryMicroImage.c",
              "Input/output error", FailedRename(2), Output::kRemoved),
    // A firmware build's HEX or ELF file is never padded, nor taken for
    // the bytes of its text.
    [] {
      RunCase run{"HexNotPadded",
                  0,
                  {"fw.bin"},
                  Refused("fw.bin",
                          "it looks like Intel HEX: "
                          "pelkaforge-image --format ihex reads it"),
                  1,
                  Output::kOld};
      run.content = HexText;
      return run;
    }(),
    [] {
      RunCase run{"ElfNotPadded",
                  0,
                  {"fw.bin"},
                  Refused("fw.bin",
                          "it looks like ELF: pelkaforge-image "
                          "--format elf reads it"),
                  1,
                  Output::kOld};
      run.content = ElfStart;
      return run;
    }(),
    // Committed outputs checked: nothing is written either way, and CR LF
    // line ends are as good as LF.
    Checked("CheckSame", {"fw.bin", "SecondaryMicroImage.c"}, "",
            Output::kConverted, ConvertedWith(TextLineEnd())),
    // The other system's line ends: LF on Windows, CR LF elsewhere.
    Checked("CheckSameWithOtherLineEnds", {"fw.bin", "SecondaryMicroImage.c"},
            "", Output::kUnchecked,
            ConvertedWith(TextLineEnd() == "\n" ? "\r\n" : "\n")),
    Checked("CheckDiffers", {"fw.bin", "SecondaryMicroImage.c"},
            CheckFailed + "c differs from what this run writes, from line 1\n",
            Output::kOld),
    Checked("CheckDiffersLater", {"fw.bin", "SecondaryMicroImage.c"},
            CheckFailed + "c differs from what this run writes, from line 20\n",
            Output::kUnchecked,
            [](const fs::path& work) {
              std::string text = ExpectedSource(SampleBytes(1024), "\n");
              std::size_t at = 0;
              for (int line = 1; line < 20; ++line)
                at = text.find('\n', at) + 1;
              text[at + 6] = text[at + 6] == '0' ? '1' : '0';
              WriteBytes(work / "SecondaryMicroImage.c", text);
            }),
    Checked("CheckLonger", {"fw.bin", "SecondaryMicroImage.c"},
            CheckFailed + "c differs from what this run writes, from line 83\n",
            Output::kUnchecked,
            [](const fs::path& work) {
              WriteBytes(work / "SecondaryMicroImage.c",
                         ExpectedSource(SampleBytes(1024), "\n") + "\n");
            }),
    Checked("CheckMissing", {"fw.bin", "SecondaryMicroImage.c"},
            CheckFailed + "c is missing\n", Output::kAbsent),
    Checked("CheckHeaderMissing", StepWithHeader,
            CheckFailed + "h is missing\n", Output::kConverted,
            ConvertedWith(TextLineEnd())),
    // The image pinned by its SHA-256.
    Step(
        {"PinMatches",
         1024,
         {"--expect-sha256", SampleSha256(), "fw.bin", "SecondaryMicroImage.c"},
         "",
         0,
         Output::kConverted}),
    Step({"PinDiffers",
          1024,
          {"--expect-sha256", std::string(64, 'A'), "fw.bin",
           "SecondaryMicroImage.c"},
          Refused("fw.bin", "its SHA-256 is " + SampleSha256() + ", not the " +
                                std::string(64, 'A') + " expected"),
          1,
          Output::kOld}),
    Step({"PinNotSha256",
          1024,
          {"--expect-sha256", "abc", "fw.bin", "SecondaryMicroImage.c"},
          StepUsage,
          1,
          Output::kOld}),
    Step({"Crc32WithoutHeader",
          1024,
          {"--crc32", "fw.bin", "SecondaryMicroImage.c"},
          StepUsage,
          1,
          Output::kOld}),
    NameRefused("NameEmpty", "", "not a C identifier"),
    NameRefused("NameOfTheType", "tUBYTE",
                "the name of the type the files use"),
    Step({"AttributesDigraph",
          1024,
          {"--attributes", "x %> int y", "fw.bin", "SecondaryMicroImage.c"},
          "Unable to use attributes \"x %> int y\" ('%>' could end the "
          "declaration)\n",
          1,
          Output::kOld}),
    Step({"EmptyOutputPath", 1024, {"fw.bin", ""}, StepUsage, 1, Output::kOld}),
    // A link where an output goes would be replaced by the file, not
    // written through: refused, the link and what it leads to kept.
    Step({"OutputIsLink",
          1024,
          {"fw.bin", "link.c"},
          "Unable to write file link.c (not a regular file)\n",
          1,
          Output::kOld,
          0,
          Needs::kPosix,
          [](const fs::path& work) {
            fs::create_symlink("SecondaryMicroImage.c", work / "link.c");
          }}),
    [] {
      RunCase run =
          WithHeader(Step({"NameAfterEquals",
                           1000,
                           {"--header=SecondaryMicroImage.h", "--name=radio2",
                            "fw.bin", "SecondaryMicroImage.c"},
                           Warning + "\n",
                           0,
                           Output::kConverted}),
                     Output::kConverted);
      run.image_name = "radio2";
      return run;
    }(),
    Step({"AttributesEndingTheDeclaration",
          1024,
          {"--attributes", "x; int y", "fw.bin", "SecondaryMicroImage.c"},
          "Unable to use attributes \"x; int y\" (';' could end the "
          "declaration)\n",
          1,
          Output::kOld}),
    // A folder where an output goes is refused before anything is written:
    // the header stays as it was.
    WithHeader(Step({"OutputIsFolder",
                     1024,
                     {"--header", "SecondaryMicroImage.h", "fw.bin", "out.c"},
                     "Unable to write file out.c (not a regular file)\n",
                     1,
                     Output::kOld,
                     0,
                     Needs::kNothing,
                     [](const fs::path& work) {
                       fs::create_directory(work / "out.c");
                     }}),
               Output::kOld),
    // A folder by its spelling, whether or not it exists.
    Step({"OutputNamesFolder",
          1024,
          {"fw.bin", "new/"},
          "Unable to write file new/ (not a regular file)\n",
          1,
          Output::kAbsent}),
};

// The temporary files in the folder, as the build step names them.
std::vector<fs::path> TemporaryFiles(const fs::path& folder) {
  std::vector<fs::path> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".tmp") found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

class RunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunTest, PrintsExitsAndLeavesFilesAsExpected) {
  const RunCase& run = GetParam();
#ifdef _WIN32
  if (run.needs != Needs::kNothing) {
    GTEST_SKIP() << "needs a POSIX system: links, FIFOs, devices, permission "
                    "bits, file size limits, strace or paths as raw bytes";
  }
#endif
  if (run.needs == Needs::kNobody && !CanRunAsNobody()) {
    GTEST_SKIP() << "needs root and setpriv to run as an unprivileged user";
  }
  if (run.needs == Needs::kStrace && !CanTrace()) {
    GTEST_SKIP() << "needs strace and a natively built tool";
  }
  TempDir directory;
  const fs::path work = directory.work();
  const std::string image =
      run.content.empty() ? SampleBytes(run.input_size) : run.content;
  const fs::path input = work / run.input_name;
  fs::create_directories(input.parent_path());
  WriteBytes(input, image);
  const fs::path output = work / "SecondaryMicroImage.c";
  const fs::path header = work / "SecondaryMicroImage.h";
  for (const auto& [path, state] :
       {std::pair{output, run.output}, std::pair{header, run.header}}) {
    if (state == Output::kOld || state == Output::kConverted ||
        state == Output::kRemoved) {
      WriteBytes(path, OldOutput + std::string(9000, 'x'));
    }
  }
  if (run.setup) run.setup(work);
  RunOptions options = run.options;
  options.as_nobody = run.needs == Needs::kNobody;
  for (std::string& word : options.strace) {
    if (word.starts_with(WorkFolder)) {
      word.replace(0, WorkFolder.size(), work.string());
    }
  }
  const std::vector<fs::path> temporary_files = TemporaryFiles(work);

  const RunResult result = RunTool(directory, run.arguments, options);

  EXPECT_EQ(result.err, run.err);
  EXPECT_EQ(result.status, run.status);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(FileHolds(input, image + std::string(run.pad, '\xff')));
  // Padded to whole blocks on disk or, by the build step, as it is read.
  const std::string padded =
      image + std::string((512 - image.size() % 512) % 512, '\xff');
  for (const auto& [path, state] :
       {std::pair{output, run.output}, std::pair{header, run.header}}) {
    switch (state) {
      case Output::kAbsent:
      case Output::kRemoved:
        EXPECT_FALSE(fs::exists(path)) << path;
        break;
      case Output::kOld:
        EXPECT_TRUE(FileHolds(path, OldOutput + std::string(9000, 'x')));
        break;
      case Output::kConverted:
        // The header's declarations are checked against the source by a
        // compiler (compile_test.cpp); here, that it declares this image.
        if (path == header) {
          const std::string name =
              run.image_name.empty() ? "SecondaryMicroImage" : run.image_name;
          EXPECT_NE(ReadBytes(path).find("extern const tUBYTE " + name + "[" +
                                         std::to_string(padded.size()) + "];"),
                    std::string::npos);
        } else {
          // The named source includes its header.
          EXPECT_TRUE(FileHolds(
              path, run.image_name.empty()
                        ? ExpectedSource(padded)
                        : ExpectedSource(padded, TextLineEnd(), run.image_name,
                                         "SecondaryMicroImage.h")));
        }
        break;
      case Output::kIsInput:
        EXPECT_TRUE(FileHolds(path, image));
        break;
      case Output::kUnchecked:
        break;
    }
  }
  // Whatever the outcome, no run leaves a temporary file behind.
  EXPECT_EQ(TemporaryFiles(work), temporary_files);
}

INSTANTIATE_TEST_SUITE_P(Runs, RunTest, ::testing::ValuesIn(RunCases),
                         [](const ::testing::TestParamInfo<RunCase>& info) {
                           return info.param.name;
                         });

// Answers on standard output, whatever follows, and converts nothing.
TEST(StepOptionsTest, HelpAndVersionAnswerOnStandardOutput) {
  RunOptions options;
  options.image_step = true;
  for (const auto& [option, answer] :
       {std::pair<std::string, std::string>{"--help", StepUsage + "\n"},
        {"--version", "pelkaforge-image " + std::string(VersionLine)}}) {
    TempDir directory;
    RunResult result = RunTool(directory, {option, "fw.bin", "x"}, options);
    std::erase(result.out, '\r');  // Windows's text mode
    EXPECT_EQ(result.out.substr(0, answer.size()), answer) << option;
    EXPECT_EQ(result.err, "") << option;
    EXPECT_EQ(result.status, 0) << option;
    EXPECT_TRUE(fs::is_empty(directory.work())) << option;
  }
}

TEST(RunTwiceTest, SecondRunFindsWholeBlocksAndWritesTheSameFile) {
  TempDir directory;
  WriteBytes(directory.work() / "fw.bin", SampleBytes(1000));
  const RunResult first = RunTool(directory, {"fw.bin"});
  const std::string first_output =
      ReadBytes(directory.work() / "SecondaryMicroImage.c");
  const RunResult second = RunTool(directory, {"fw.bin"});

  EXPECT_EQ(first.err, Warning);
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(fs::file_size(directory.work() / "fw.bin"), 1024U);
  EXPECT_TRUE(
      FileHolds(directory.work() / "SecondaryMicroImage.c", first_output));
}

// Two runs started together on one image that needs padding, each in a
// folder of its own, as a parallel build starts them: whether the image ends
// padded once and both outputs are exact.
bool PairPadsOnce(const RunOptions& options) {
  const std::string image = SampleBytes(1000);
  const std::string padded = image + std::string(24, '\xff');
  const TempDir shared;
  const TempDir first;
  const TempDir second;
  const std::string path = (shared.work() / "fw.bin").string();
  WriteBytes(path, image);
  const StartedRun first_run = StartTool(first, {path}, options);
  const StartedRun second_run = StartTool(second, {path}, options);
  const RunResult results[] = {FinishTool(first_run), FinishTool(second_run)};
  bool right = FileHolds(path, padded);
  for (const RunResult& result : results) {
    // A run that measured the image after the other padded it has nothing
    // to warn about.
    right = right && result.status == 0 &&
            (result.err == Warning || result.err.empty());
  }
  const std::string expected = ExpectedSource(padded);
  for (const TempDir* run_directory : {&first, &second}) {
    right = right && FileHolds(run_directory->work() / "SecondaryMicroImage.c",
                               expected);
  }
  return right;
}

// Without the padding lock about half of such pairs both pad, leaving the
// image 24 bytes too long and both outputs wrong: so many pairs cannot all
// pass by chance.
TEST(ConcurrentRunsTest, PadTheirSharedImageOnce) {
  constexpr int Pairs = 100;
  int wrong_pairs = 0;
  for (int pair = 0; pair < Pairs; ++pair)
    wrong_pairs += PairPadsOnce({}) ? 0 : 1;
  EXPECT_EQ(wrong_pairs, 0) << "of " << Pairs << " pairs";
}

// With every size query and every write of both runs slowed by 200 ms, the
// runs overlap between measuring the image and padding it every time, not
// by chance: without the lock both pad, and should the padding reach the
// file only after the lock is released, the second measures too early.
TEST(ConcurrentRunsTest, PadOnceWhenEveryStepIsSlow) {
  if (!CanTrace()) GTEST_SKIP() << "needs strace and a natively built tool";
  EXPECT_TRUE(PairPadsOnce(Traced({"-e", "trace=fstat,newfstatat,write", "-e",
                                   "inject=fstat,newfstatat:delay_exit=200000",
                                   "-e", "inject=write:delay_enter=200000"})));
}

// The LD_PRELOAD library that makes a chosen fread fail, built with glibc
// only.
#ifdef PELKAFORGE_FAIL_FREAD_SHIM
const char* const FailFreadShim = PELKAFORGE_FAIL_FREAD_SHIM;
#else
const char* const FailFreadShim = nullptr;
#endif

struct ReadFailure {
  int blocks_read;  // before the read that fails
  std::vector<int> closed_streams;
  std::string err;
};

void PrintTo(const ReadFailure& failure, std::ostream* out) {
  *out << failure.blocks_read << " blocks read, "
       << failure.closed_streams.size() << " streams closed";
}

// A read that fails part way: the message names no file, and the output
// keeps the banner, the head and every block read before the failure. Run
// without standard input and error, the image and the output would take
// their descriptors, and the message would land in the output, were they
// not reopened first.
class ReadFailureTest : public ::testing::TestWithParam<ReadFailure> {};

TEST_P(ReadFailureTest, KeepsEveryBlockReadBeforeTheFailure) {
  if (FailFreadShim == nullptr) {
    GTEST_SKIP() << "needs an LD_PRELOAD shim over glibc to fail a read";
  }
  const int blocks_read = GetParam().blocks_read;
  TempDir directory;
  const std::string image = SampleBytes(200 * 512);
  WriteBytes(directory.work() / "fw.bin", image);
  const RunOptions options{
      .as_nobody = false,
      .closed_streams = GetParam().closed_streams,
      .file_size_limit = 0,
      .environment = {std::string("LD_PRELOAD=") + FailFreadShim,
                      // The first read looks at the start of the image.
                      "PELKAFORGE_FAIL_FREAD=" +
                          std::to_string(blocks_read + 2),
                      "ASAN_OPTIONS=verify_asan_link_order=0"},
      .image_step = false,
      .strace = {}};

  const RunResult result = RunTool(directory, {"fw.bin"}, options);

  EXPECT_EQ(result.err, GetParam().err);
  EXPECT_EQ(result.status, 1);
  const std::string complete = ExpectedSource(
      image.substr(0, static_cast<std::size_t>(blocks_read) * 512));
  EXPECT_TRUE(FileHolds(directory.work() / "SecondaryMicroImage.c",
                        complete.substr(0, complete.find("  };"))));
  EXPECT_TRUE(FileHolds(directory.work() / "fw.bin", image));
}

const std::string ReadError = "Unable to read file (Input/output error)\n";

INSTANTIATE_TEST_SUITE_P(BlocksRead, ReadFailureTest,
                         ::testing::Values(ReadFailure{0, {}, ReadError},
                                           ReadFailure{1, {}, ReadError},
                                           ReadFailure{50, {}, ReadError},
                                           ReadFailure{199, {}, ReadError},
                                           ReadFailure{50, {0, 2}, ""},
                                           ReadFailure{50, {0, 1, 2}, ""}));

}  // namespace
}  // namespace pelkaforge::testing

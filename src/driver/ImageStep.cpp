#include "driver/ImageStep.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/ImageSource.h"
#include "driver/Version.h"
#include "emitter/HeaderEmitter.h"
#include "emitter/ImageNames.h"
#include "emitter/OutputFile.h"
#include "failure/ReportFailure.h"
#include "image/ImagePadder.h"
#include "image/ImageReader.h"
#include "platform/Platform.h"

namespace pelkaforge {

namespace {

constexpr const char* Usage =
    "usage: pelkaforge-image [--name IDENT] [--header FILE] [--] "
    "<.bin filename> <output file>\n";

constexpr const char* Help =
    "\n"
    "Writes to <output file> the C source that Pelkaforge writes for the\n"
    "image, padded with 0xFF to whole 512-byte blocks as it is read: the\n"
    "image itself is never changed. The outputs are replaced only by\n"
    "complete files, and the folders they need are created.\n"
    "\n"
    "  --name IDENT   name the array IDENT, its count IDENT_blocks and its\n"
    "                 version IDENT_version: a C identifier of at most 23\n"
    "                 characters, neither a keyword nor reserved\n"
    "  --header FILE  also write FILE, a header for C and C++ that declares\n"
    "                 them, the array with its exact length\n"
    "  --             end of options: the paths after it may begin with '-'\n"
    "  --help         print this text and exit\n"
    "  --version      print the version and exit\n";

// What the command line asks for; name and header_path are null when their
// options are not given.
struct StepArguments {
  const char* image_path = nullptr;
  const char* output_path = nullptr;
  const char* name = nullptr;
  const char* header_path = nullptr;
};

// Whatever follows the option is not looked at. A build log or a script
// reads the answer, so a failed write of it is a failed run.
[[noreturn]] void Answer(const char* first, const char* second) {
  if (std::fputs(first, stdout) < 0 || std::fputs(second, stdout) < 0 ||
      std::fflush(stdout) != 0) {
    ReportFailure("Unable to write file %s (%s)\n", "standard output",
                  std::strerror(errno));
  }
  std::exit(EXIT_SUCCESS);
}

// Where the value of option goes, or null for an option the step does not
// know.
const char** ValueOf(const char* option, StepArguments& arguments) {
  if (std::strcmp(option, "--name") == 0) return &arguments.name;
  if (std::strcmp(option, "--header") == 0) return &arguments.header_path;
  return nullptr;
}

// Options come first, each at most once, then the two paths; "--" ends the
// options, so that a path may begin with '-'. --help and --version answer at
// once.
StepArguments ParseArguments(int argc, char* argv[]) {
  StepArguments arguments;
  int next = 1;
  for (; next < argc && argv[next][0] == '-'; ++next) {
    const char* option = argv[next];
    if (std::strcmp(option, "--") == 0) {
      ++next;
      break;
    }
    if (std::strcmp(option, "--help") == 0) Answer(Usage, Help);
    if (std::strcmp(option, "--version") == 0) {
      Answer("pelkaforge-image ", VersionLine);
    }
    const char** value = ValueOf(option, arguments);
    if (value == nullptr || *value != nullptr || next + 1 == argc) {
      ReportFailure("%s", Usage);
    }
    *value = argv[++next];
  }
  if (argc - next != 2) ReportFailure("%s", Usage);
  arguments.image_path = argv[next];
  arguments.output_path = argv[next + 1];
  return arguments;
}

// Both would be renamed to one path, the header replacing the source.
void RefuseHeaderAsOutput(const char* output_path, const char* header_path) {
  if (std::strcmp(output_path, header_path) == 0 ||
      SameFile(output_path, header_path)) {
    ReportFailure(
        "Unable to write file %s (it is both the output file and the "
        "header)\n",
        output_path);
  }
}

// The count initialises a tUBYTE: from 128 blocks on it no longer fits, and
// a program that reads it takes a wrong length. The header's array has the
// exact one.
void WarnOfLargeCount(const ImageNames& names, std::int32_t block_count,
                      const char* header_path) {
  const std::int32_t count = 2 * block_count;
  if (count <= 255) return;
  const long long length = static_cast<long long>(block_count) * BlockSize;
  if (header_path != nullptr) {
    std::fprintf(stderr,
                 "%s is %d, more than a tUBYTE holds: sizeof %s, declared in "
                 "%s, is the exact length (%lld bytes)\n",
                 names.blocks.data(), count, names.array.data(), header_path,
                 length);
  } else {
    std::fprintf(stderr,
                 "%s is %d, more than a tUBYTE holds: --header declares %s "
                 "with its exact length (%lld bytes)\n",
                 names.blocks.data(), count, names.array.data(), length);
  }
}

}  // namespace

int RunImageStep(int argc, char* argv[]) {
  // Should a closed standard stream stay closed, a file opened later could
  // take its descriptor and receive messages: the run stops instead.
  if (!PrepareStandardStreams()) {
    ReportFailure("Unable to open file %s (%s)\n", "/dev/null",
                  std::strerror(errno));
  }
  const StepArguments arguments = ParseArguments(argc, argv);
  const ImageNames names =
      arguments.name != nullptr ? NamesFor(arguments.name) : DefaultNames();

  ImageLayout layout = MeasureImage(arguments.image_path);
  // Its array would have no element, which C does not allow; in a build, an
  // empty image means that the step that made it failed.
  if (layout.size == 0) {
    ReportFailure("Unable to convert file %s (empty)\n", arguments.image_path);
  }
  RefuseOutputAsInput(arguments.image_path, arguments.output_path);
  if (arguments.header_path != nullptr) {
    RefuseOutputAsInput(arguments.image_path, arguments.header_path);
    RefuseHeaderAsOutput(arguments.output_path, arguments.header_path);
  }
  // The image stays as it is: its last block is completed as it is read.
  // The warning is Pelkaforge's, ended so that a build log's next line
  // starts on a line of its own.
  if (layout.remainder != 0) {
    WarnOfPadding();
    std::fputc('\n', stderr);
    layout.block_count += 1;
  }
  WarnOfLargeCount(names, layout.block_count, arguments.header_path);

  InputBuffer input_buffer;
  std::FILE* input = OpenImage(arguments.image_path, input_buffer);
  OutputFile& source = OpenReplacement(arguments.output_path);
  OutputFile* header = arguments.header_path != nullptr
                           ? &OpenReplacement(arguments.header_path)
                           : nullptr;
  const std::int32_t blocks_written =
      WriteImageSource(source, input, names, layout.block_count);
  // The length of the array the source holds, whatever the image did.
  if (header != nullptr) WriteHeader(*header, names, blocks_written);
  CloseOutputs();

  std::fclose(input);  // Only read from: its close cannot lose data.
  return 0;
}

}  // namespace pelkaforge

#include "driver/ImageStep.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/ImageSource.h"
#include "driver/Version.h"
#include "emitter/SourceEmitter.h"
#include "failure/ReportFailure.h"
#include "image/ImagePadder.h"
#include "image/ImageReader.h"
#include "platform/Platform.h"

namespace pelkaforge {

namespace {

constexpr const char* Usage =
    "usage: pelkaforge-image <.bin filename> <output file>\n";

constexpr const char* Help =
    "\n"
    "Writes to <output file> the C source that Pelkaforge writes for the\n"
    "image, padded with 0xFF to whole 512-byte blocks as it is read: the\n"
    "image itself is never changed. The output is replaced only by a\n"
    "complete file, and the folders it needs are created.\n"
    "\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n";

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

// An image whose name begins with '-' is given as "./-name".
[[noreturn]] void AnswerOption(const char* option) {
  if (std::strcmp(option, "--help") == 0) Answer(Usage, Help);
  if (std::strcmp(option, "--version") == 0) {
    Answer("pelkaforge-image ", VersionLine);
  }
  ReportFailure("%s", Usage);
}

}  // namespace

int RunImageStep(int argc, char* argv[]) {
  // Should a closed standard stream stay closed, a file opened later could
  // take its descriptor and receive messages: the run stops instead.
  if (!PrepareStandardStreams()) {
    ReportFailure("Unable to open file %s (%s)\n", "/dev/null",
                  std::strerror(errno));
  }
  if (argc >= 2 && argv[1][0] == '-') AnswerOption(argv[1]);
  if (argc != 3) ReportFailure("%s", Usage);
  const char* image_path = argv[1];
  const char* output_path = argv[2];

  ImageLayout layout = MeasureImage(image_path);
  RefuseOutputAsInput(image_path, output_path);
  // The image stays as it is: its last block is completed as it is read.
  // The warning is Pelkaforge's, ended so that a build log's next line
  // starts on a line of its own.
  if (layout.remainder != 0) {
    WarnOfPadding();
    std::fputc('\n', stderr);
    layout.block_count += 1;
  }

  InputBuffer input_buffer;
  std::FILE* input = OpenImage(image_path, input_buffer);
  OpenReplacement(output_path);
  WriteImageSource(input, layout.block_count);
  CloseOutput();

  std::fclose(input);  // Only read from: its close cannot lose data.
  return 0;
}

}  // namespace pelkaforge

#include "driver/ImageStep.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver/ImageSource.h"
#include "emitter/SourceEmitter.h"
#include "failure/ReportFailure.h"
#include "image/ImagePadder.h"
#include "image/ImageReader.h"
#include "platform/Platform.h"

namespace pelkaforge {

int RunImageStep(int argc, char* argv[]) {
  // Should a closed standard stream stay closed, a file opened later could
  // take its descriptor and receive messages: the run stops instead.
  if (!PrepareStandardStreams()) {
    ReportFailure("Unable to open file %s (%s)\n", "/dev/null",
                  std::strerror(errno));
  }
  if (argc != 3) {
    ReportFailure("usage: pelkaforge-image <.bin filename> <output file>\n");
  }
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

#include "driver/ImageConverter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver/ImageSource.h"
#include "emitter/ImageNames.h"
#include "emitter/OutputFile.h"
#include "emitter/SourceEmitter.h"
#include "failure/ReportFailure.h"
#include "image/ImageFormat.h"
#include "image/ImagePadder.h"
#include "image/ImageReader.h"
#include "platform/Platform.h"

namespace pelkaforge {

int RunImageConverter(int argc, char* argv[]) {
  // Should a closed standard stream stay closed, a file opened later could
  // take its descriptor and receive messages: the run stops instead.
  if (!PrepareStandardStreams()) {
    ReportFailure("Unable to open file %s (%s)\n", "/dev/null",
                  std::strerror(errno));
  }
  // The usage line names the tool by this name, whatever it was started as.
  // Arguments after the input path are accepted and never looked at.
  if (argc < 2)
    ReportFailure("usage: Pelkaforge <.bin filename> [ IO | EX ]\n");
  const char* input_path = argv[1];

  ImageLayout layout = MeasureImage(input_path);
  RefuseOutputAsInput(input_path, OutputFileName);
  // A firmware build's HEX or ELF file would be padded, and converted as
  // the bytes of its text: it is left as it is.
  if (const auto format = DisguisedFormat(input_path)) {
    ReportFailure(
        "Unable to convert file %s (it looks like %s: pelkaforge-image "
        "--format %s reads it)\n",
        input_path, FormatTitle(*format), FormatOption(*format));
  }
  if (layout.remainder != 0) PadImage(input_path, layout);

  // The input is opened first, so that a missing input never creates or
  // truncates an output file.
  InputBuffer input_buffer;
  ImageBlocks image;
  image.file = OpenImage(input_path, input_buffer);
  OutputFile& output = OpenOutput(OutputFileName);
  WriteImageSource(output, image, DefaultNames(), layout.block_count, {});
  CloseOutputs();

  std::fclose(image.file);  // Only read from: its close cannot lose data.
  return 0;
}

}  // namespace pelkaforge

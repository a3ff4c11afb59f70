#include "driver/ImageConverter.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "driver/ReportFailure.h"
#include "emitter/SourceEmitter.h"
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
  RefuseOutputAsInput(input_path);
  if (layout.remainder != 0) PadImage(input_path, layout);

  // The input is opened first, so that a missing input never creates or
  // truncates an output file.
  InputBuffer input_buffer;
  std::FILE* input = OpenImage(input_path, input_buffer);
  OpenOutput();
  WriteBanner();
  WriteArrayHead();

  // Zero-filled, so that an empty image, of which no block is read, has
  // version 0. It outlives the loop: the version is its last byte.
  Block block{};
  for (std::int32_t index = 0; NextBlock(input, block); ++index) {
    WriteBlock(index, block);
  }
  // The measured (and padded) count, not the number of blocks read: the two
  // differ only when the file changes under the tool.
  WriteArrayTail(layout.block_count, VersionByte(block));
  CloseOutput();

  std::fclose(input);  // Only read from: its close cannot lose data.
  return 0;
}

}  // namespace pelkaforge

#include "driver/ImageStep.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "driver/ImageSource.h"
#include "driver/StepArguments.h"
#include "emitter/HeaderEmitter.h"
#include "emitter/ImageNames.h"
#include "emitter/IncludePath.h"
#include "emitter/OutputFile.h"
#include "failure/ReportFailure.h"
#include "image/AddressImage.h"
#include "image/ElfReader.h"
#include "image/ImageFormat.h"
#include "image/ImagePadder.h"
#include "image/ImageReader.h"
#include "image/IntelHexReader.h"
#include "image/SRecordReader.h"
#include "platform/Platform.h"

namespace pelkaforge {

namespace {

// Refuses an output that is the image, which it would replace, and a
// header that is the output, which would replace the source. Before the
// outputs are opened (source null), the paths of files that exist are
// known; once they are, and the folders they need made, so is a path
// through a folder that did not exist ("new/../fw.bin"), and the source's
// temporary file tells a new output spelt otherwise.
void RefuseOneFile(const StepArguments& arguments, const OutputFile* source) {
  const char* output_path = arguments.output_path;
  const char* header_path = arguments.header_path;
  RefuseOutputAsInput(arguments.image_path, output_path);
  if (header_path == nullptr) return;
  RefuseOutputAsInput(arguments.image_path, header_path);
  if (std::strcmp(output_path, header_path) == 0 ||
      SameFile(output_path, header_path) ||
      (source != nullptr && WillReplace(*source, header_path))) {
    ReportFailure(
        "Unable to write file %s (it is both the output file and the "
        "header)\n",
        output_path);
  }
}

// Stops unless the image file is the one the build pinned: its SHA-256, as
// sha256sum prints it, is expected (of either case).
void CheckPin(const char* path, const char* expected) {
  const Sha256Digest digest = FileSha256(path);
  std::array<char, 2 * 32 + 1> text{};
  for (std::size_t i = 0; i < digest.size(); ++i) {
    std::snprintf(text.data() + 2 * i, 3, "%02x", digest[i]);
  }
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(expected[i])) != text[i]) {
      ReportFailure(
          "Unable to convert file %s (its SHA-256 is %s, not the %s "
          "expected)\n",
          path, text.data(), expected);
    }
  }
}

AddressImage ReadByAddress(const char* path, ImageFormat format) {
  switch (format) {
    case ImageFormat::kIntelHex:
      return ReadIntelHex(path);
    case ImageFormat::kSRecord:
      return ReadSRecords(path);
    default:
      return ReadElf(path);
  }
}

// Pelkaforge's count initialises a tUBYTE: from 128 blocks on it no longer
// fits, and a program that reads it takes a wrong length. The header's array
// has the exact one. (The named form's count has a type that holds it.)
void WarnOfLargeCount(const ImageNames& names, std::int32_t block_count,
                      const char* header_path) {
  const std::int32_t count = 2 * block_count;
  if (names.named || count <= 255) return;
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

OutputFile& OpenStepOutput(const char* path, bool check) {
  return check ? OpenChecked(path) : OpenReplacement(path);
}

}  // namespace

int RunImageStep(int argc, char* argv[]) {
  // Should a closed standard stream stay closed, a file opened later could
  // take its descriptor and receive messages: the run stops instead.
  if (!PrepareStandardStreams()) {
    ReportFailure("Unable to open file %s (%s)\n", "/dev/null",
                  std::strerror(errno));
  }
  const StepArguments arguments = ParseStepArguments(argc, argv);
  const char* image_path = arguments.image_path;
  const char* header_path = arguments.header_path;
  const ImageNames names =
      arguments.name != nullptr ? NamesFor(arguments.name) : DefaultNames();
  std::string_view attributes;
  if (arguments.attributes != nullptr) {
    CheckAttributes(arguments.attributes);
    attributes = arguments.attributes;
  }
  const ImageFormat format = arguments.format != nullptr
                                 ? *FormatNamed(arguments.format)
                                 : FormatOfPath(image_path);

  ImageLayout layout = MeasureImage(image_path);
  // Its array would have no element, which C does not allow; in a build, an
  // empty image means that the step that made it failed.
  if (layout.size == 0) {
    ReportFailure("Unable to convert file %s (empty)\n", image_path);
  }
  RefuseOneFile(arguments, nullptr);
  RefuseIrregularOutput(arguments.output_path);
  if (header_path != nullptr) RefuseIrregularOutput(header_path);
  if (arguments.expected_sha256 != nullptr) {
    CheckPin(image_path, arguments.expected_sha256);
  }

  InputBuffer input_buffer;
  ImageBlocks image;
  AddressImage held;
  std::optional<std::uint32_t> address;
  if (format == ImageFormat::kBin) {
    image.file = OpenImage(image_path, input_buffer);
    // A HEX or ELF file converted as raw bytes would be a firmware of its
    // text: only an explicit --format bin takes one so.
    if (arguments.format == nullptr) {
      if (const auto looks_like = DisguisedFormat(image.file, image_path)) {
        ReportFailure(
            "Unable to convert file %s (it looks like %s: --format %s reads "
            "it, --format bin takes it as raw bytes)\n",
            image_path, FormatTitle(*looks_like), FormatOption(*looks_like));
      }
    }
    // The image stays as it is: its last block is completed as it is read.
    // The warning is Pelkaforge's, ended so that a build log's next line
    // starts on a line of its own.
    if (layout.remainder != 0) {
      WarnOfPadding();
      std::fputc('\n', stderr);
      layout.block_count += 1;
    }
  } else {
    // Filling the gaps and the last block is what reading by address does:
    // no warning of it.
    held = ReadByAddress(image_path, format);
    image.held = held.bytes;
    image.held_size = held.size;
    layout.block_count = static_cast<std::int32_t>(held.size / BlockSize);
    address = held.address;
  }
  WarnOfLargeCount(names, layout.block_count, header_path);

  OutputFile& source = OpenStepOutput(arguments.output_path, arguments.check);
  OutputFile* header = header_path != nullptr
                           ? &OpenStepOutput(header_path, arguments.check)
                           : nullptr;
  RefuseOneFile(arguments, &source);
  // The named source includes its header, so that a compiler checks that
  // the two agree: by the path between their folders, which exist now.
  IncludeText include;  // written only for the named form with a header
  SourceOptions options;
  if (names.named && header_path != nullptr) {
    include = IncludePath(arguments.output_path, header_path);
    options.include = include.data();
  }
  options.attributes = attributes;
  options.crc32 = arguments.crc32;
  options.sha256 = arguments.sha256;
  const WrittenImage written =
      WriteImageSource(source, image, names, layout.block_count, options);
  if (header != nullptr) {
    HeaderFacts facts;
    // The length of the array the source holds, whatever the image did.
    facts.block_count = written.block_count;
    facts.attributes = attributes;
    facts.address = address;
    if (arguments.crc32) facts.crc32 = written.crc32;
    facts.sha256 = arguments.sha256;
    WriteHeader(*header, names, facts);
  }
  CloseOutputs();

  // Only read from: its close cannot lose data.
  if (image.file != nullptr) std::fclose(image.file);
  FreeAddressImage(held);
  return 0;
}

}  // namespace pelkaforge

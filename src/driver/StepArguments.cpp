#include "driver/StepArguments.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "driver/Version.h"
#include "failure/ReportFailure.h"
#include "image/ImageFormat.h"

namespace pelkaforge {

namespace {

constexpr const char* Usage =
    "usage: pelkaforge-image [options] [--] <image file> <output file>\n";

constexpr const char* Help =
    "\n"
    "Writes to <output file> the C source of the image: its bytes in\n"
    "512-byte blocks, padded with 0xFF to whole blocks as they are read (the\n"
    "image itself is never changed). The outputs are replaced only by\n"
    "complete files, and the folders they need are created.\n"
    "\n"
    "  --name IDENT       name the array IDENT, its count IDENT_blocks and "
    "its\n"
    "                     version IDENT_version: a C identifier of at most 23\n"
    "                     characters, neither a keyword nor reserved\n"
    "  --header FILE      also write FILE, a header for C and C++ that\n"
    "                     declares them, the array with its exact length\n"
    "  --format FORMAT    read the image as bin (raw bytes), ihex (Intel "
    "HEX),\n"
    "                     srec (S-record) or elf; by default .hex .ihx .ihex\n"
    "                     are ihex, .srec .s19 .s28 .s37 .mot srec, .elf .axf\n"
    "                     elf, and any other file bin. The last three are "
    "read\n"
    "                     by address, gaps filled with 0xFF\n"
    "  --attributes TEXT  write TEXT before the array's type, in the source\n"
    "                     and the header (a section, an alignment, progmem)\n"
    "  --crc32            declare IDENT_crc32 in the header: the CRC-32 of "
    "the\n"
    "                     padded image (zlib's); needs --header\n"
    "  --sha256           define IDENT_sha256, the SHA-256 of the padded\n"
    "                     image, and declare it in the header; needs --header\n"
    "  --expect-sha256 HEX\n"
    "                     stop unless the SHA-256 of the image file is HEX\n"
    "  --check            write nothing: succeed when the outputs hold what\n"
    "                     this run would write\n"
    "  --                 end of options: the paths after it may begin with "
    "'-'\n"
    "  --help             print this text and exit\n"
    "  --version          print the version and exit\n"
    "\n"
    "An option's value may also follow it after '=': --name=radio.\n";

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

[[noreturn]] void RefuseUsage() { ReportFailure("%s", Usage); }

// An option and where it goes: a value for the options that take one, a
// flag for the others.
struct Option {
  std::string_view name;
  const char* StepArguments::*value;
  bool StepArguments::*flag;
};

constexpr Option Options[] = {
    {"--name", &StepArguments::name, nullptr},
    {"--header", &StepArguments::header_path, nullptr},
    {"--format", &StepArguments::format, nullptr},
    {"--attributes", &StepArguments::attributes, nullptr},
    {"--expect-sha256", &StepArguments::expected_sha256, nullptr},
    {"--crc32", nullptr, &StepArguments::crc32},
    {"--sha256", nullptr, &StepArguments::sha256},
    {"--check", nullptr, &StepArguments::check},
};

const Option* FindOption(std::string_view name) {
  const auto* found = std::ranges::find(Options, name, &Option::name);
  return found != std::end(Options) ? found : nullptr;
}

bool IsSha256Text(const char* text) {
  return std::strlen(text) == 64 && std::all_of(text, text + 64, [](char c) {
           return std::strchr("0123456789abcdefABCDEF", c) != nullptr;
         });
}

// Reads the option at argv[next], and its value, into arguments; returns
// the index of the next argument.
int TakeOption(int argc, const char* const argv[], int next,
               StepArguments& arguments) {
  const std::string_view word = argv[next];
  const std::size_t equals = word.find('=');
  const Option* option =
      FindOption(std::string_view(word.data(), std::min(equals, word.size())));
  if (option == nullptr) RefuseUsage();
  if (option->flag != nullptr) {
    if (equals != std::string_view::npos || arguments.*option->flag) {
      RefuseUsage();
    }
    arguments.*option->flag = true;
    return next + 1;
  }
  if (arguments.*option->value != nullptr) RefuseUsage();
  if (equals != std::string_view::npos) {
    arguments.*option->value = argv[next] + equals + 1;
    return next + 1;
  }
  if (next + 1 == argc) RefuseUsage();
  arguments.*option->value = argv[next + 1];
  return next + 2;
}

}  // namespace

StepArguments ParseStepArguments(int argc, char* argv[]) {
  StepArguments arguments;
  int next = 1;
  while (next < argc && argv[next][0] == '-') {
    if (std::strcmp(argv[next], "--") == 0) {
      ++next;
      break;
    }
    if (std::strcmp(argv[next], "--help") == 0) Answer(Usage, Help);
    if (std::strcmp(argv[next], "--version") == 0) {
      Answer("pelkaforge-image ", VersionLine);
    }
    next = TakeOption(argc, argv, next, arguments);
  }
  if (argc - next != 2) RefuseUsage();
  arguments.image_path = argv[next];
  arguments.output_path = argv[next + 1];
  // An empty path names no file.
  if (*arguments.image_path == '\0' || *arguments.output_path == '\0' ||
      (arguments.header_path != nullptr && *arguments.header_path == '\0')) {
    RefuseUsage();
  }

  // The check values are declared in the header: without one, they would
  // be computed for nothing.
  if ((arguments.crc32 || arguments.sha256) &&
      arguments.header_path == nullptr) {
    RefuseUsage();
  }
  if (arguments.format != nullptr && !FormatNamed(arguments.format)) {
    RefuseUsage();
  }
  if (arguments.expected_sha256 != nullptr &&
      !IsSha256Text(arguments.expected_sha256)) {
    RefuseUsage();
  }
  return arguments;
}

}  // namespace pelkaforge

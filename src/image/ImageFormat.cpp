#include "image/ImageFormat.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>

#include "failure/ReportFailure.h"
#include "image/IntelHexReader.h"
#include "image/SRecordReader.h"

namespace pelkaforge {

namespace {

struct FormatNames {
  ImageFormat format;
  const char* option;
  const char* title;
};

constexpr FormatNames Names[] = {
    {ImageFormat::kBin, "bin", "raw bytes"},
    {ImageFormat::kIntelHex, "ihex", "Intel HEX"},
    {ImageFormat::kSRecord, "srec", "S-record"},
    {ImageFormat::kElf, "elf", "ELF"},
};

struct Extension {
  std::string_view text;  // lower case, with its dot
  // cppcheck-suppress unusedStructMember ; read through find_if's result
  ImageFormat format;
};

constexpr Extension Extensions[] = {
    {".hex", ImageFormat::kIntelHex},  {".ihx", ImageFormat::kIntelHex},
    {".ihex", ImageFormat::kIntelHex}, {".srec", ImageFormat::kSRecord},
    {".s19", ImageFormat::kSRecord},   {".s28", ImageFormat::kSRecord},
    {".s37", ImageFormat::kSRecord},   {".mot", ImageFormat::kSRecord},
    {".elf", ImageFormat::kElf},       {".axf", ImageFormat::kElf},
};

bool EndsWithIgnoringCase(std::string_view text, std::string_view end) {
  return text.size() >= end.size() &&
         std::equal(end.begin(), end.end(), text.end() - end.size(),
                    [](char lower, char c) {
                      return lower ==
                             std::tolower(static_cast<unsigned char>(c));
                    });
}

const FormatNames& NamesOf(ImageFormat format) {
  return *std::ranges::find(Names, format, &FormatNames::format);
}

}  // namespace

std::optional<ImageFormat> FormatNamed(const char* name) {
  for (const FormatNames& names : Names) {
    if (std::strcmp(names.option, name) == 0) return names.format;
  }
  return std::nullopt;
}

ImageFormat FormatOfPath(const char* path) {
  const auto* found =
      std::find_if(std::begin(Extensions), std::end(Extensions),
                   [path](const Extension& extension) {
                     return EndsWithIgnoringCase(path, extension.text);
                   });
  return found != std::end(Extensions) ? found->format : ImageFormat::kBin;
}

const char* FormatTitle(ImageFormat format) { return NamesOf(format).title; }

const char* FormatOption(ImageFormat format) { return NamesOf(format).option; }

std::optional<ImageFormat> DisguisedFormat(std::FILE* image, const char* path) {
  // The longest record, an Intel HEX one with 255 bytes of data, and its
  // line end.
  char start[2 * (255 + 5) + 3];
  const std::size_t got = std::fread(start, 1, sizeof start, image);
  if ((got < sizeof start && std::ferror(image) != 0) ||
      std::fseek(image, 0, SEEK_SET) != 0) {
    ReportFailure("Unable to read file %s (%s)\n", path, std::strerror(errno));
  }
  const std::string_view bytes(start, got);
  // The ELF identification: magic, a known class, byte order and version.
  if (bytes.size() >= 7 &&
      bytes.starts_with("\x7f"
                        "ELF") &&
      (bytes[4] == 1 || bytes[4] == 2) && (bytes[5] == 1 || bytes[5] == 2) &&
      bytes[6] == 1) {
    return ImageFormat::kElf;
  }
  // The first line that is not empty, whole (ended by its line break, or
  // by the end of the file), and a valid record: as the readers pass over
  // empty lines.
  std::string_view rest = bytes;
  while (!rest.empty() && (rest.front() == '\n' || rest.front() == '\r')) {
    rest.remove_prefix(1);
  }
  std::size_t end = rest.find('\n');
  if (end == std::string_view::npos) {
    if (got == sizeof start) return std::nullopt;  // longer than any record
    end = rest.size();
  }
  std::string_view line(rest.data(), end);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return std::nullopt;
  TextRecord record;
  Reason refusal{};
  if (ParseIntelHexRecord(line, record, refusal)) return ImageFormat::kIntelHex;
  if (ParseSRecord(line, record, refusal)) return ImageFormat::kSRecord;
  return std::nullopt;
}

std::optional<ImageFormat> DisguisedFormat(const char* path) {
  std::FILE* image = std::fopen(path, "rb");
  if (image == nullptr) {
    ReportFailure("Unable to open file %s (%s)\n", path, std::strerror(errno));
  }
  const std::optional<ImageFormat> format = DisguisedFormat(image, path);
  std::fclose(image);  // Only read from: its close cannot lose data.
  return format;
}

}  // namespace pelkaforge

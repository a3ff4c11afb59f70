#include "emitter/IncludePath.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "failure/ReportFailure.h"
#include "platform/Platform.h"

namespace pelkaforge {

namespace {

// A path as its folders and name, the first being its root: "" for "/" on
// POSIX systems, "C:" for a drive on Windows.
constexpr std::size_t MaxParts = MaxPathLength / 2 + 1;

struct PathParts {
  std::array<char, 2 * MaxPathLength + 2> text;
  std::array<std::string_view, MaxParts> parts;
  std::size_t count = 0;
};

// The absolute path to path, split into its parts, with "." and ".." gone
// (a ".." above the root stays at the root, as the system takes it).
void SplitAbsolute(const char* path, PathParts& split) {
  if (!AbsolutePath(path, split.text.data(), split.text.size())) {
    ReportFailure("Unable to write file %s (%s)\n", path, std::strerror(errno));
  }
  std::string_view rest = split.text.data();
  bool root = true;
  while (!rest.empty() || root) {
    const std::size_t slash = rest.find('/');
    const std::string_view part(rest.data(), std::min(slash, rest.size()));
    rest.remove_prefix(slash == std::string_view::npos ? rest.size()
                                                       : slash + 1);
    if (root) {
      split.parts[split.count++] = part;
      root = false;
    } else if (part == "..") {
      if (split.count > 1) --split.count;
    } else if (!part.empty() && part != ".") {
      split.parts[split.count++] = part;
    }
  }
}

void Append(IncludeText& text, std::size_t& length, std::string_view part) {
  std::memcpy(text.data() + length, part.data(), part.size());
  length += part.size();
  text[length] = '\0';
}

}  // namespace

IncludeText IncludePath(const char* source_path, const char* header_path) {
  PathParts source;
  PathParts header;
  SplitAbsolute(source_path, source);
  SplitAbsolute(header_path, header);
  const std::size_t folders = source.count - 1;  // the source's own folder
  std::size_t shared = 0;
  while (shared < folders && shared + 1 < header.count &&
         source.parts[shared] == header.parts[shared]) {
    ++shared;
  }
  IncludeText text;
  text[0] = '\0';
  std::size_t length = 0;
  if (shared == 0) {
    // No shared root: the header's whole path, from its root.
    for (std::size_t i = 0; i < header.count; ++i) {
      Append(text, length, header.parts[i]);
      if (i + 1 < header.count) Append(text, length, "/");
    }
  } else {
    for (std::size_t i = shared; i < folders; ++i) Append(text, length, "../");
    for (std::size_t i = shared; i < header.count; ++i) {
      Append(text, length, header.parts[i]);
      if (i + 1 < header.count) Append(text, length, "/");
    }
  }
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < ' ' || c == '"' || c == '\\' || c == 0x7F) {
      ReportFailure(
          "Unable to write file %s (its path cannot stand in an #include)\n",
          header_path);
    }
  }
  return text;
}

}  // namespace pelkaforge

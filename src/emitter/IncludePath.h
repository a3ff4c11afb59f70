#ifndef PELKAFORGE_EMITTER_INCLUDEPATH_H_
#define PELKAFORGE_EMITTER_INCLUDEPATH_H_

#include <array>
#include <cstddef>

#include "emitter/OutputFile.h"

namespace pelkaforge {

// Room for a path from one folder to a file: a "../" for each folder up,
// then the file's own path.
using IncludeText = std::array<char, 3 * MaxPathLength + 16>;

// The path by which the source at source_path includes the header at
// header_path, as the quoted #include form finds it: from the source's
// folder, with '/' between folders ("radio.h" beside it, "../inc/radio.h"
// elsewhere), or the header's absolute path where the two share no root
// (another drive). Worked out from the paths as written, relative to the
// current folder: ".." steps back a folder, and links are not followed.
// Refuses a header whose path cannot stand in an #include line.
IncludeText IncludePath(const char* source_path, const char* header_path);

}  // namespace pelkaforge

#endif  // PELKAFORGE_EMITTER_INCLUDEPATH_H_

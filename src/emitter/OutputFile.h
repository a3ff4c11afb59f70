#ifndef PELKAFORGE_EMITTER_OUTPUTFILE_H_
#define PELKAFORGE_EMITTER_OUTPUTFILE_H_

#include <array>
#include <cstddef>
#include <cstdio>
#include <string_view>

namespace pelkaforge {

// Text is gathered here and handed to stdio in large writes, which it passes
// to the system without copying them again. Large enough for few, big
// writes; small enough to stay in the processor's cache and keep the whole
// process within a few MiB.
constexpr std::size_t OutputBufferSize = std::size_t{1} << 18;

// Room for a temporary file's name: the output's path and a suffix.
constexpr std::size_t MaxPathLength = 4096;
constexpr std::size_t TemporaryPathCapacity = MaxPathLength + 16;

// One output file from its opening to its close. Written in place, the
// stream writes path itself; as a replacement, it writes a temporary file
// beside path, named in temporary until it is put in place or removed.
// Checked, its text is compared with the file at path, read through the
// stream, and nothing is written.
struct OutputFile {
  std::FILE* file = nullptr;
  const char* path = nullptr;
  std::array<char, TemporaryPathCapacity> temporary{};
  bool checked = false;
  bool missing = false;     // checked, and there is no file at path
  long line = 1;            // checked: the line being compared
  long differs_from = 0;    // checked: the first line that differs, or 0
  bool after_cr = false;    // checked: the file's CR came before an LF
  std::size_t pending = 0;  // characters of text not yet written
  std::array<char, OutputBufferSize> text;
};

// Refuses an input that is the output file under any name (a path, a hard or
// symbolic link): writing the output would destroy the image.
void RefuseOutputAsInput(const char* input_path, const char* output_path);

// Refuses an output path that names anything but a regular file (a folder,
// a device, a link), before any output is opened: a rename would replace
// it.
void RefuseIrregularOutput(const char* path);

// Whether path names the file that replacement will become, under another
// spelling ("./y.c" for "y.c", a folder through a link or a ".."): false for
// an output not opened as a replacement.
bool WillReplace(const OutputFile& replacement, const char* path);

// Creates or truncates path for text writing; the file is written in place,
// and a failed run leaves what was written.
OutputFile& OpenOutput(const char* path);

// Opens a new temporary file beside path (creating the folders it needs),
// which CloseOutputs renames to path, replacing any file there at once. A
// failed run removes it: an earlier file at path stays as it was, and runs
// at the same time never mix their text. The temporary file is always a new
// one, never a file or link that exists already.
OutputFile& OpenReplacement(const char* path);

// Opens the file at path to compare the text written to the output with
// it; a missing file differs from any text. CloseOutputs tells.
OutputFile& OpenChecked(const char* path);

// Room for size characters of text after the pending ones (at most
// OutputBufferSize), which CommitText then counts as written.
char* ReserveText(OutputFile& output, std::size_t size);
void CommitText(OutputFile& output, std::size_t size);

void WriteText(OutputFile& output, std::string_view text);

// Writes the printf-style text, which must fit in capacity characters.
[[gnu::format(printf, 3, 4)]] void WriteFormatted(OutputFile& output,
                                                  std::size_t capacity,
                                                  const char* format, ...);

// Flushes and closes every open output, so that a failed write is never a
// success, then puts the replacements in place, the last opened first: the
// first, the main output, lands last, so that until it does a build sees no
// finished run. Should one fail to land, those placed before it are removed,
// so that no name holds a file that does not belong with the others.
// Checked outputs end the run with a failure naming the first, in the order
// they were opened, that is missing or differs from its text (a CR LF in
// the file standing for a line break).
void CloseOutputs();

}  // namespace pelkaforge

#endif  // PELKAFORGE_EMITTER_OUTPUTFILE_H_

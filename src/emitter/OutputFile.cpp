#include "emitter/OutputFile.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "failure/ReportFailure.h"
#include "platform/Platform.h"

namespace pelkaforge {

namespace {

// Names tried for a temporary file before giving up: others may be taken
// by runs going on now, or left by runs that were killed.
constexpr int TemporaryNamesTried = 1000;

// A run writes the generated source and, for the build step, its header.
constexpr std::size_t MaxOutputs = 2;

// The outputs open now, in the order they were opened. A process may
// convert many times (the tests do): the table is emptied by every close.
struct OpenOutputs {
  std::array<OutputFile, MaxOutputs> files;
  std::size_t count = 0;
  bool finished_at_exit = false;  // FinishAtExit is registered
};
OpenOutputs outputs;

[[noreturn]] void ReportWriteFailure(OutputFile& output) {
  // Nothing of the failed text is written again at exit.
  output.pending = 0;
  ReportFailure("Unable to write file %s (%s)\n", output.path,
                std::strerror(errno));
}

void WritePending(OutputFile& output) {
  if (std::fwrite(output.text.data(), 1, output.pending, output.file) !=
      output.pending) {
    ReportWriteFailure(output);
  }
  output.pending = 0;
}

// A run that fails with outputs open (a read error) ends here. A file
// written in place keeps everything formatted so far, as stdio would have,
// and the exit then flushes and closes it; errors are moot, the run has
// failed. A replacement's temporary file is removed, so that the earlier
// output stays as it was.
void FinishAtExit() {
  for (std::size_t i = 0; i < outputs.count; ++i) {
    OutputFile& output = outputs.files[i];
    if (output.temporary[0] != '\0') {
      if (output.file != nullptr) std::fclose(output.file);
      std::remove(output.temporary.data());
    } else if (output.file != nullptr && output.pending != 0) {
      std::fwrite(output.text.data(), 1, output.pending, output.file);
    }
  }
}

OutputFile& Opened(std::FILE* file, const char* path) {
  // Once per process, however often a process converts.
  if (!outputs.finished_at_exit) {
    outputs.finished_at_exit = std::atexit(FinishAtExit) == 0;
  }
  OutputFile& output = outputs.files[outputs.count++];
  output.file = file;
  output.path = path;
  output.pending = 0;
  return output;
}

// Creates a file of a name of its own beside path, "<path>.<n>.tmp", and
// the folders it needs, naming it in temporary; returns nullptr, with errno
// set, when none can be.
std::FILE* CreateTemporaryBeside(
    const char* path, std::array<char, TemporaryPathCapacity>& name) {
  if (std::strlen(path) > MaxPathLength) {
    errno = ENAMETOOLONG;
    return nullptr;
  }
  for (int attempt = 0; attempt < TemporaryNamesTried; ++attempt) {
    std::snprintf(name.data(), name.size(), "%s.%d.tmp", path, attempt);
    std::FILE* file = CreateNewFile(name.data());
    if (file == nullptr && errno == ENOENT) {
      CreateParentFolders(name.data());
      file = CreateNewFile(name.data());
    }
    if (file != nullptr || errno != EEXIST) return file;
  }
  return nullptr;  // errno is EEXIST
}

}  // namespace

void RefuseOutputAsInput(const char* input_path, const char* output_path) {
  // File identity, not names: an output that does not exist yet is no image.
  if (SameFile(input_path, output_path)) {
    ReportFailure("Unable to convert file %s (it is the output file %s)\n",
                  input_path, output_path);
  }
}

OutputFile& OpenOutput(const char* path) {
  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) {
    ReportFailure("Unable to open file %s (%s)\n", path, std::strerror(errno));
  }
  return Opened(file, path);
}

OutputFile& OpenReplacement(const char* path) {
  // The name goes straight into the table's next entry, which keeps it
  // until the file is put in place or removed; the exit reads only counted
  // entries, so a failure here leaves nothing to undo.
  std::FILE* file =
      CreateTemporaryBeside(path, outputs.files[outputs.count].temporary);
  if (file == nullptr) {
    ReportFailure("Unable to open file %s (%s)\n", path, std::strerror(errno));
  }
  return Opened(file, path);
}

char* ReserveText(OutputFile& output, std::size_t size) {
  if (output.text.size() - output.pending < size) WritePending(output);
  return output.text.data() + output.pending;
}

void CommitText(OutputFile& output, std::size_t size) {
  output.pending += size;
}

void WriteText(OutputFile& output, std::string_view text) {
  std::memcpy(ReserveText(output, text.size()), text.data(), text.size());
  CommitText(output, text.size());
}

void WriteFormatted(OutputFile& output, std::size_t capacity,
                    const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(ReserveText(output, capacity), capacity,
                                    format, arguments);
  va_end(arguments);
  CommitText(output, static_cast<std::size_t>(length));
}

void CloseOutputs() {
  for (std::size_t i = 0; i < outputs.count; ++i) {
    OutputFile& output = outputs.files[i];
    WritePending(output);
    // The end of the file may still sit in stdio's buffer: the close writes
    // it.
    const bool closed = std::fclose(output.file) == 0;
    output.file = nullptr;
    if (!closed) ReportWriteFailure(output);
  }
  // The paths placed so far, which go again should a later one fail.
  std::array<const char*, MaxOutputs> placed{};
  std::size_t placed_count = 0;
  for (std::size_t left = outputs.count; left > 0; --left) {
    OutputFile& output = outputs.files[left - 1];
    if (output.temporary[0] == '\0') continue;
    if (!MoveIntoPlace(output.temporary.data(), output.path)) {
      const int reason = errno;
      for (std::size_t i = 0; i < placed_count; ++i) std::remove(placed[i]);
      errno = reason;
      ReportWriteFailure(output);
    }
    output.temporary[0] = '\0';
    placed[placed_count++] = output.path;
  }
  outputs.count = 0;
}

}  // namespace pelkaforge

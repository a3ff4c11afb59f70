#include "emitter/OutputFile.h"

#include <algorithm>
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

[[noreturn]] void ReportCheckReadFailure(const OutputFile& output) {
  ReportFailure("Unable to read file %s (%s)\n", output.path,
                std::strerror(errno));
}

// Compares the pending text with the checked file's next bytes, as far as
// they agree. The text's line breaks are LF; the file's may be CR LF.
void ComparePending(OutputFile& output) {
  const char* expected = output.text.data();
  std::size_t at = 0;
  std::array<char, 4096> chunk;
  while (at < output.pending && output.differs_from == 0) {
    // Never more than the text left: each byte of the file stands for one
    // character of it at most.
    const std::size_t got =
        std::fread(chunk.data(), 1, std::min(chunk.size(), output.pending - at),
                   output.file);
    if (got == 0) {
      if (std::ferror(output.file) != 0) ReportCheckReadFailure(output);
      output.differs_from = output.line;  // the file ends early
    }
    for (std::size_t i = 0; i < got && output.differs_from == 0; ++i) {
      const char c = chunk[i];
      if (c == '\r' && !output.after_cr && expected[at] == '\n') {
        output.after_cr = true;
        continue;
      }
      output.after_cr = false;
      if (c != expected[at]) {
        output.differs_from = output.line;
        break;
      }
      if (c == '\n') ++output.line;
      ++at;
    }
  }
  output.pending = 0;
}

void WritePending(OutputFile& output) {
  if (output.checked) {
    if (output.file != nullptr) ComparePending(output);
    output.pending = 0;
    return;
  }
  if (std::fwrite(output.text.data(), 1, output.pending, output.file) !=
      output.pending) {
    ReportWriteFailure(output);
  }
  output.pending = 0;
}

// Compares what is left, and that the file ends where the text does.
void FinishCheck(OutputFile& output) {
  if (output.file == nullptr) return;
  ComparePending(output);
  if (output.differs_from == 0 && std::fgetc(output.file) != EOF) {
    output.differs_from = output.line;
  }
  if (std::ferror(output.file) != 0) ReportCheckReadFailure(output);
  std::fclose(output.file);  // Only read from: its close cannot lose data.
  output.file = nullptr;
}

// A run that fails with outputs open (a read error) ends here. A file
// written in place keeps everything formatted so far, as stdio would have,
// and the exit then flushes and closes it; errors are moot, the run has
// failed. A replacement's temporary file is removed, so that the earlier
// output stays as it was.
void FinishAtExit() {
  for (std::size_t i = 0; i < outputs.count; ++i) {
    OutputFile& output = outputs.files[i];
    if (output.checked) continue;  // only read from
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
  output.checked = false;
  output.missing = false;
  output.line = 1;
  output.differs_from = 0;
  output.after_cr = false;
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
      const int folder_failure = CreateParentFolders(name.data());
      file = CreateNewFile(name.data());
      // Why a folder could not be made says more than that it is missing.
      if (file == nullptr && errno == ENOENT && folder_failure != 0) {
        errno = folder_failure;
      }
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

void RefuseIrregularOutput(const char* path) {
  // A link would be replaced by the file, not written through: /dev/stdout
  // is one.
  FileFacts facts{};
  if (NamesFolder(path) || IsLink(path) ||
      (StatFile(path, facts) && !facts.is_regular)) {
    ReportFailure("Unable to write file %s (not a regular file)\n", path);
  }
}

bool WillReplace(const OutputFile& replacement, const char* path) {
  // A file yet to be made has no identity to compare, but its temporary
  // has: path with the temporary's suffix names that very file when path
  // and the replacement's are one.
  if (replacement.temporary[0] == '\0') return false;
  const char* suffix =
      replacement.temporary.data() + std::strlen(replacement.path);
  std::array<char, TemporaryPathCapacity> beside{};
  const int length =
      std::snprintf(beside.data(), beside.size(), "%s%s", path, suffix);
  return length > 0 && static_cast<std::size_t>(length) < beside.size() &&
         SameFile(replacement.temporary.data(), beside.data());
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

OutputFile& OpenChecked(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr && errno != ENOENT && errno != ENOTDIR) {
    ReportFailure("Unable to open file %s (%s)\n", path, std::strerror(errno));
  }
  OutputFile& output = Opened(file, path);
  output.temporary[0] = '\0';
  output.checked = true;
  output.missing = file == nullptr;
  return output;
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
    if (output.checked) {
      FinishCheck(output);
      continue;
    }
    WritePending(output);
    // The end of the file may still sit in stdio's buffer: the close writes
    // it.
    const bool closed = std::fclose(output.file) == 0;
    output.file = nullptr;
    if (!closed) ReportWriteFailure(output);
  }
  for (std::size_t i = 0; i < outputs.count; ++i) {
    const OutputFile& output = outputs.files[i];
    if (output.missing) {
      outputs.count = 0;
      ReportFailure("Check failed: %s is missing\n", output.path);
    }
    if (output.differs_from != 0) {
      outputs.count = 0;
      ReportFailure(
          "Check failed: %s differs from what this run writes, from line "
          "%ld\n",
          output.path, output.differs_from);
    }
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

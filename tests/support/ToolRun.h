#ifndef PELKAFORGE_TESTS_SUPPORT_TOOLRUN_H_
#define PELKAFORGE_TESTS_SUPPORT_TOOLRUN_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace pelkaforge::testing {

// A private directory under the system's temporary directory, removed with
// everything in it when the object goes. The tool runs in work(); what it
// prints is captured beside it, so it never lands among its files.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path work() const { return root_ / "work"; }

 private:
  std::filesystem::path root_;
};

struct RunOptions {
  // Runs the tool as an unprivileged user (uid and gid 65534), so that
  // permission bits apply even when the tests run as root.
  bool as_nobody = false;
  // Standard streams (0, 1, 2) the tool starts without.
  std::vector<int> closed_streams;
  // Largest file the tool may write, in bytes; 0 for no limit.
  long file_size_limit = 0;
  // "NAME=value" entries added to the tool's environment.
  std::vector<std::string> environment;
  // Runs pelkaforge-image, the build step, instead of Pelkaforge.
  bool image_step = false;
  // When not empty, the tool runs under strace with these options (delaying
  // or failing chosen system calls), strace's own output discarded.
  std::vector<std::string> strace;
  // A run still going after this long is killed, and the test fails with
  // "did not finish in N s": a broken tool fails the suite, never hangs it.
  int time_limit_seconds = 30;
};

struct RunResult {
  int status = -1;  // -1 when the run was killed at its time limit
  std::string out;
  std::string err;
};

// A run of the tool that has been started and not yet waited for.
struct StartedRun {
  std::intptr_t process = 0;  // the process id, or on Windows its handle
  std::filesystem::path out_path;
  std::filesystem::path err_path;
  int time_limit_seconds = 0;
};

// Runs the built tool in directory with the arguments after its name. On
// POSIX systems the environment can change what runs: PELKAFORGE_TOOL_DIR
// names the folder of another build of the programs, PELKAFORGE_TOOL_WRAPPER a
// command (words separated by spaces) that runs it, such as valgrind with its
// options, unless a standard stream is to be closed.
RunResult RunTool(const TempDir& directory,
                  const std::vector<std::string>& arguments,
                  const RunOptions& options = {});

// RunTool in two halves, for runs that must overlap: StartTool returns once
// the tool has been started, FinishTool waits for it (up to its time limit).
StartedRun StartTool(const TempDir& directory,
                     const std::vector<std::string>& arguments,
                     const RunOptions& options = {});
RunResult FinishTool(const StartedRun& run);

// The command, words separated by spaces, that runs the programs of a build
// for another architecture (qemu-user): empty for a native build.
const char* Emulator();

// Whether RunOptions::strace can work here: strace is installed, and the
// tool runs natively (strace would see an emulator's calls, not the tool's).
bool CanTrace();

// Whether RunOptions::as_nobody can work here: running as root with setpriv.
bool CanRunAsNobody();

// The file's first at_most bytes (all of it by default).
std::string ReadBytes(
    const std::filesystem::path& path,
    std::size_t at_most = std::numeric_limits<std::size_t>::max());
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

// Whether the file holds exactly these bytes. Sizes are compared first, so a
// run that wrote far more than expected never has its file loaded.
::testing::AssertionResult FileHolds(const std::filesystem::path& path,
                                     const std::string& expected);

// Deterministic, patternless bytes: the same size and seed give the same.
std::string SampleBytes(std::size_t size, unsigned seed = 1);

}  // namespace pelkaforge::testing

#endif  // PELKAFORGE_TESTS_SUPPORT_TOOLRUN_H_

#include "support/ToolRun.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace pelkaforge::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device entropy;
  do {
    root_ = fs::temp_directory_path() /
            ("pelkaforge-test-" + std::to_string(entropy()));
  } while (!fs::create_directory(root_));
  fs::create_directory(work());
  // Open to every user, so that a run as an unprivileged user can work here.
  for (const fs::path& path : {root_, work()}) {
    fs::permissions(path, fs::perms::all);
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::permissions(work(), fs::perms::all, ignored);
  fs::remove_all(root_, ignored);
}

std::string ReadBytes(const fs::path& path, std::size_t at_most) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  std::array<char, std::size_t{1} << 16> chunk;
  while (bytes.size() < at_most) {
    in.read(chunk.data(), static_cast<std::streamsize>(
                              std::min(chunk.size(), at_most - bytes.size())));
    if (in.gcount() == 0) break;
    bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
  }
  return bytes;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<long>(bytes.size()));
}

::testing::AssertionResult FileHolds(const fs::path& path,
                                     const std::string& expected) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error) {
    return ::testing::AssertionFailure()
           << path << ": " << error.message() << "; expected "
           << expected.size() << " bytes";
  }
  if (size != expected.size()) {
    return ::testing::AssertionFailure()
           << path << " holds " << size << " bytes, not " << expected.size();
  }
  const std::string found = ReadBytes(path);
  const auto [differs, _] =
      std::mismatch(found.begin(), found.end(), expected.begin());
  if (differs != found.end()) {
    return ::testing::AssertionFailure()
           << path << " differs from byte " << (differs - found.begin());
  }
  return ::testing::AssertionSuccess();
}

// What a run printed, up to a size no correct run comes near.
constexpr std::size_t CaptureLimit = std::size_t{1} << 20;

namespace {

const char* ProgramName(const RunOptions& options) {
  return options.image_step ? PELKAFORGE_IMAGE_STEP_NAME : PELKAFORGE_TOOL_NAME;
}

}  // namespace

RunResult RunTool(const TempDir& directory,
                  const std::vector<std::string>& arguments,
                  const RunOptions& options) {
  return FinishTool(StartTool(directory, arguments, options));
}

std::string SampleBytes(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
  return bytes;
}

#ifdef _WIN32

const char* Emulator() { return ""; }

bool CanTrace() { return false; }

bool CanRunAsNobody() { return false; }

namespace {

std::wstring Widen(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                  static_cast<int>(utf8.size()), wide.data(),
                                  static_cast<int>(wide.size())));
  return wide;
}

// Quotes one argument so that the C runtime's parser gives it back as it is.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

// The programs are built beside the test executables.
fs::path ToolPath(const char* name) {
  std::wstring self(MAX_PATH, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
  return fs::path(self).parent_path() / name;
}

HANDLE CreateCapture(const fs::path& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

StartedRun StartTool(const TempDir& directory,
                     const std::vector<std::string>& arguments,
                     const RunOptions& options) {
  StartedRun run{0, directory.root() / "stdout", directory.root() / "stderr",
                 options.time_limit_seconds};
  std::wstring command_line = Quoted(ToolPath(ProgramName(options)).wstring());
  for (const std::string& argument : arguments) {
    command_line += L" " + Quoted(Widen(argument));
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = CreateCapture(run.out_path);
  startup.hStdError = CreateCapture(run.err_path);
  HANDLE* const standard[] = {&startup.hStdInput, &startup.hStdOutput,
                              &startup.hStdError};
  for (const int stream : options.closed_streams) {
    if (*standard[stream] != INVALID_HANDLE_VALUE) {
      CloseHandle(*standard[stream]);
    }
    *standard[stream] = INVALID_HANDLE_VALUE;
  }
  PROCESS_INFORMATION process{};
  if (CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0,
                     nullptr, directory.work().c_str(), &startup, &process)) {
    CloseHandle(process.hThread);
    run.process = reinterpret_cast<std::intptr_t>(process.hProcess);
  } else {
    ADD_FAILURE() << "could not start the tool";
  }
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  return run;
}

RunResult FinishTool(const StartedRun& run) {
  RunResult result;
  const auto process = reinterpret_cast<HANDLE>(run.process);
  if (process != nullptr) {
    if (WaitForSingleObject(process, run.time_limit_seconds * 1000) ==
        WAIT_TIMEOUT) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, INFINITE);
      ADD_FAILURE() << "did not finish in " << run.time_limit_seconds << " s";
    } else {
      DWORD exit_code = 0;
      GetExitCodeProcess(process, &exit_code);
      result.status = static_cast<int>(exit_code);
    }
    CloseHandle(process);
  }
  result.out = ReadBytes(run.out_path, CaptureLimit);
  result.err = ReadBytes(run.err_path, CaptureLimit);
  return result;
}

#else

const char* Emulator() {
#ifdef PELKAFORGE_EMULATOR
  return PELKAFORGE_EMULATOR;
#else
  return "";
#endif
}

bool CanTrace() {
  return access("/usr/bin/strace", X_OK) == 0 && *Emulator() == '\0';
}

bool CanRunAsNobody() {
  return geteuid() == 0 && access("/usr/bin/setpriv", X_OK) == 0;
}

namespace {

void AppendWords(const char* words, std::vector<std::string>& command) {
  std::istringstream stream(words);
  for (std::string word; stream >> word;) command.push_back(word);
}

void AppendToolCommand(const RunOptions& options,
                       std::vector<std::string>& command) {
  AppendWords(Emulator(), command);
  const char* wrapper = std::getenv("PELKAFORGE_TOOL_WRAPPER");
  // A wrapper such as valgrind cannot start without its standard streams.
  if (wrapper != nullptr && options.closed_streams.empty()) {
    AppendWords(wrapper, command);
  }
  const char* folder = std::getenv("PELKAFORGE_TOOL_DIR");
  command.push_back(
      (fs::path(folder != nullptr ? folder : PELKAFORGE_TOOL_DIR) /
       ProgramName(options))
          .string());
}

}  // namespace

StartedRun StartTool(const TempDir& directory,
                     const std::vector<std::string>& arguments,
                     const RunOptions& options) {
  StartedRun run{0, directory.root() / "stdout", directory.root() / "stderr",
                 options.time_limit_seconds};

  std::vector<std::string> command;
  if (options.as_nobody) {
    command = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
               "--clear-groups"};
  }
  if (!options.strace.empty()) {
    command.insert(command.end(),
                   {"/usr/bin/strace", "-f", "-o", "/dev/null", "--quiet=all"});
    command.insert(command.end(), options.strace.begin(), options.strace.end());
  }
  AppendToolCommand(options, command);
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);

  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int out =
        open(run.out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err =
        open(run.err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(err, 2);
    close(out);
    close(err);
    for (const int stream : options.closed_streams) close(stream);
    if (options.file_size_limit > 0) {
      // Exceeding the limit must fail the write with EFBIG, not kill.
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(options.file_size_limit),
                         static_cast<rlim_t>(options.file_size_limit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    for (const std::string& entry : options.environment) {
      putenv(const_cast<char*>(entry.c_str()));
    }
    if (chdir(directory.work().c_str()) == 0) execvp(argv[0], argv.data());
    _exit(127);
  }
  run.process = child;
  return run;
}

RunResult FinishTool(const StartedRun& run) {
  const auto child = static_cast<pid_t>(run.process);
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::seconds(run.time_limit_seconds);
  int wait_status = 0;
  bool finished = waitpid(child, &wait_status, WNOHANG) == child;
  while (!finished && std::chrono::steady_clock::now() < deadline) {
    usleep(1000);
    finished = waitpid(child, &wait_status, WNOHANG) == child;
  }
  RunResult result;
  if (finished) {
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status)
                                           : 128 + WTERMSIG(wait_status);
  } else {
    kill(child, SIGKILL);
    waitpid(child, &wait_status, 0);
    ADD_FAILURE() << "did not finish in " << run.time_limit_seconds << " s";
  }
  result.out = ReadBytes(run.out_path, CaptureLimit);
  result.err = ReadBytes(run.err_path, CaptureLimit);
  return result;
}

#endif

}  // namespace pelkaforge::testing

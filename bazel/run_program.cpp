// Runs a prebuilt pelkaforge-image for the pelkaforge_image rule, once its
// --version reports the release the rule's options need or a later one:
//
//   run_program --needs 1.1.0 PROGRAM ARGUMENTS...
//
// An older program would print its usage line for an option it does not
// know, or, 1.0.0, read a .hex file's text as raw bytes without a word.
// A program rather than a shell script, so that the action needs no shell
// on any executor. PROGRAM is a path, never looked up on the PATH; its
// arguments reach it unchanged, and its status is this one's.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

#ifdef _WIN32
// The Windows C library joins the arguments with spaces, for the program
// to split again: each is quoted the way it splits them.
std::string Quoted(const char* argument) {
  if (*argument != '\0' && std::strpbrk(argument, " \t\n\v\"") == nullptr) {
    return argument;
  }
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char* at = argument; *at != '\0'; ++at) {
    if (*at == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(*at == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += *at;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + '"';
}

// Starts the program (mode _P_WAIT: runs it) and returns what _spawnv
// does.
intptr_t Spawn(int mode, char* const* arguments) {
  std::vector<std::string> quoted;
  for (char* const* at = arguments; *at != nullptr; ++at) {
    quoted.push_back(Quoted(*at));
  }
  std::vector<const char*> line;
  for (const std::string& argument : quoted) line.push_back(argument.c_str());
  line.push_back(nullptr);
  return _spawnv(mode, arguments[0], line.data());
}

// Runs PROGRAM --version and keeps the start of what it prints, on either
// stream (a program that fails says nothing of its own); whether it ran and
// succeeded. The child inherits descriptors 1 and 2, the pipe's end, for
// the time of the call only.
bool AskVersion(const char* program, std::string& said) {
  char* arguments[] = {const_cast<char*>(program),
                       const_cast<char*>("--version"), nullptr};
  int ends[2];
  if (_pipe(ends, 4096, _O_BINARY | _O_NOINHERIT) != 0) return false;
  std::fflush(stdout);
  const int saved[] = {_dup(1), _dup(2)};
  _dup2(ends[1], 1);
  _dup2(ends[1], 2);
  const intptr_t process = Spawn(_P_NOWAIT, arguments);
  for (int stream = 1; stream <= 2; ++stream) {
    _dup2(saved[stream - 1], stream);
    _close(saved[stream - 1]);
  }
  _close(ends[1]);
  char buffer[256];
  int got;
  while ((got = _read(ends[0], buffer, sizeof buffer)) > 0) {
    if (said.size() < 200) said.append(buffer, static_cast<std::size_t>(got));
  }
  _close(ends[0]);
  if (process == -1) {
    said = std::strerror(errno);
    return false;
  }
  int status = -1;
  return _cwait(&status, process, 0) != -1 && status == 0;
}

// Runs the program and returns its status.
int Run(char* const* arguments) {
  const intptr_t status = Spawn(_P_WAIT, arguments);
  if (status != -1) return static_cast<int>(status);
  std::fprintf(stderr, "Unable to run %s (%s)\n", arguments[0],
               std::strerror(errno));
  return 1;
}
#else
// Runs PROGRAM --version and keeps the start of what it prints, on either
// stream (a program that fails says nothing of its own); whether it ran and
// succeeded.
bool AskVersion(const char* program, std::string& said) {
  char* arguments[] = {const_cast<char*>(program),
                       const_cast<char*>("--version"), nullptr};
  int ends[2];
  if (pipe(ends) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, ends[0]);
  posix_spawn_file_actions_addclose(&actions, ends[1]);
  pid_t process = 0;
  const int failed =
      posix_spawn(&process, program, &actions, nullptr, arguments, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  // Read to the end, so that a program that says much never waits on a
  // full pipe.
  char buffer[256];
  ssize_t got;
  while ((got = read(ends[0], buffer, sizeof buffer)) != 0) {
    if (got == -1 && errno != EINTR) break;
    if (got > 0 && said.size() < 200) {
      said.append(buffer, static_cast<std::size_t>(got));
    }
  }
  close(ends[0]);
  if (failed != 0) {
    said = std::strerror(failed);
    return false;
  }
  int status = 0;
  while (waitpid(process, &status, 0) == -1) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Becomes the program.
int Run(char* const* arguments) {
  execv(arguments[0], arguments);
  std::fprintf(stderr, "Unable to run %s (%s)\n", arguments[0],
               std::strerror(errno));
  return 1;
}
#endif

// "X.Y.Z" as three numbers, each of digits alone.
bool ParseVersion(const char* text, long parts[3]) {
  for (int part = 0; part < 3; ++part) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    parts[part] = std::strtol(text, &end, 10);
    if (*end != (part < 2 ? '.' : '\0')) return false;
    text = part < 2 ? end + 1 : end;
  }
  return true;
}

// Whether the line is "pelkaforge-image X.Y.Z", X.Y.Z at least the release
// needed.
bool RecentEnough(const std::string& line, const long needed[3]) {
  const std::string name = "pelkaforge-image ";
  long found[3];
  if (line.compare(0, name.size(), name) != 0 ||
      !ParseVersion(line.c_str() + name.size(), found)) {
    return false;
  }
  for (int part = 0; part < 3; ++part) {
    if (found[part] != needed[part]) return found[part] > needed[part];
  }
  return true;
}

// The first eight words of what the program said, one space apart.
std::string FirstWords(const std::string& said) {
  std::string words;
  std::size_t at = 0;
  for (int count = 0; count < 8; ++count) {
    at = said.find_first_not_of(" \t\r\n", at);
    if (at == std::string::npos) break;
    const std::size_t end = said.find_first_of(" \t\r\n", at);
    if (!words.empty()) words += ' ';
    words += said.substr(at, end - at);
    at = end;
  }
  return words;
}

}  // namespace

int main(int argc, char* argv[]) {
  long needed[3];
  if (argc < 4 || std::strcmp(argv[1], "--needs") != 0 ||
      !ParseVersion(argv[2], needed)) {
    std::fputs("usage: run_program --needs VERSION PROGRAM [ARGUMENTS...]\n",
               stderr);
    return 1;
  }
  const char* program = argv[3];
  std::string said;
  const bool succeeded = AskVersion(program, said);
  if (!succeeded ||
      !RecentEnough(said.substr(0, said.find_first_of("\r\n")), needed)) {
    // In the words the other helpers use.
    std::fprintf(stderr,
                 "pelkaforge-image %s or later needed: %s --version printed "
                 "\"%s\"%s. Install Pelkaforge %s or later, or name the "
                 "program: --@pelkaforge//bazel:image_program=<label>\n",
                 argv[2], program, FirstWords(said).c_str(),
                 succeeded ? "" : " and failed", argv[2]);
    return 1;
  }
  return Run(argv + 3);
}

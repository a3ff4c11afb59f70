#ifndef PELKAFORGE_DRIVER_STEPARGUMENTS_H_
#define PELKAFORGE_DRIVER_STEPARGUMENTS_H_

namespace pelkaforge {

// What pelkaforge-image's command line asks for. The strings point into
// argv; each is null when its option is not given.
struct StepArguments {
  const char* image_path = nullptr;
  const char* output_path = nullptr;
  const char* name = nullptr;
  const char* header_path = nullptr;
  const char* format = nullptr;           // bin, ihex, srec or elf
  const char* attributes = nullptr;       // text before the array's type
  const char* expected_sha256 = nullptr;  // 64 hex digits
  bool crc32 = false;
  bool sha256 = false;
  bool check = false;
};

// Options come first, in any order, each at most once, and take their value
// as the next argument or after '=' (--name=radio); "--" ends them, so that
// a path may begin with '-'. Then come exactly two paths. --help and
// --version answer on standard output and end the run; any other misuse
// prints the usage line and ends it with status 1.
StepArguments ParseStepArguments(int argc, char* argv[]);

}  // namespace pelkaforge

#endif  // PELKAFORGE_DRIVER_STEPARGUMENTS_H_

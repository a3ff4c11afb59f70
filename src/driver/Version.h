#ifndef PELKAFORGE_DRIVER_VERSION_H_
#define PELKAFORGE_DRIVER_VERSION_H_

namespace pelkaforge {

// The release, as the CMake project declares it; CI checks the two agree.
// Kept here so that every build system compiles the same text.
constexpr const char* VersionLine = "1.1.0\n";

}  // namespace pelkaforge

#endif  // PELKAFORGE_DRIVER_VERSION_H_

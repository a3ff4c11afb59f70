# Pelkaforge::Pelkaforge for a firmware project that adds this folder while
# cross-compiling: the tool runs on the build machine during the build, so
# it must not be built by the target's compilers (which may not even compile
# C++). It names the program the user gave (PELKAFORGE_EXECUTABLE), and
# nothing is built; or one built from this folder as a project of its own,
# with the build machine's default compilers and no toolchain file.
if(PELKAFORGE_EXECUTABLE)
  set(tool "${PELKAFORGE_EXECUTABLE}")
else()
  include(ExternalProject)
  set(build_dir "${CMAKE_CURRENT_BINARY_DIR}/build-machine")
  set(tool "${build_dir}/Pelkaforge")
  if(CMAKE_HOST_WIN32)
    string(APPEND tool ".exe")
  endif()
  # Always asked to build, which is quick when nothing changed: an edit of
  # the tool's sources then reaches the firmware build.
  ExternalProject_Add(pelkaforge_build_machine_tool
    SOURCE_DIR "${PROJECT_SOURCE_DIR}"
    BINARY_DIR "${build_dir}"
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
    BUILD_COMMAND "${CMAKE_COMMAND}" --build <BINARY_DIR> --target Pelkaforge
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS "${tool}")
endif()
add_executable(Pelkaforge::Pelkaforge IMPORTED GLOBAL)
set_target_properties(Pelkaforge::Pelkaforge PROPERTIES
  IMPORTED_LOCATION "${tool}")

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
  # One configuration, Release, whatever generator the firmware project
  # uses: a multi-config one (Ninja Multi-Config, Visual Studio, Xcode)
  # would otherwise put the program in a folder named after the
  # configuration it chose. Release's output folder is set, so the program
  # lands in bin/ with every generator.
  set(build_dir "${CMAKE_CURRENT_BINARY_DIR}/build-machine")
  set(tool "${build_dir}/bin/Pelkaforge")
  if(CMAKE_HOST_WIN32)
    string(APPEND tool ".exe")
  endif()
  # Always asked to build, which is quick when nothing changed: an edit of
  # the tool's sources then reaches the firmware build.
  ExternalProject_Add(pelkaforge_build_machine_tool
    SOURCE_DIR "${PROJECT_SOURCE_DIR}"
    BINARY_DIR "${build_dir}"
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_CONFIGURATION_TYPES=Release
               "-DCMAKE_RUNTIME_OUTPUT_DIRECTORY_RELEASE=${build_dir}/bin"
    BUILD_COMMAND "${CMAKE_COMMAND}" --build <BINARY_DIR> --config Release
                  --target Pelkaforge
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS "${tool}")
endif()
add_executable(Pelkaforge::Pelkaforge IMPORTED GLOBAL)
set_target_properties(Pelkaforge::Pelkaforge PROPERTIES
  IMPORTED_LOCATION "${tool}")

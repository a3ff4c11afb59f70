# Pelkaforge::Pelkaforge and Pelkaforge::pelkaforge-image for a firmware
# project that adds this folder while cross-compiling: the programs run on
# the build machine during the build, so they must not be built by the
# target's compilers (which may not even compile C++). They are the programs
# the user named (PELKAFORGE_IMAGE_PROGRAM, with Pelkaforge beside it), and
# nothing is built; or ones built from this folder as a project of its own,
# with the build machine's default compilers and no toolchain file.
set(suffix "")
if(CMAKE_HOST_WIN32)
  set(suffix ".exe")
endif()
if(PELKAFORGE_IMAGE_PROGRAM)
  set(step "${PELKAFORGE_IMAGE_PROGRAM}")
  if(NOT EXISTS "${step}" OR IS_DIRECTORY "${step}")
    message(FATAL_ERROR
      "PELKAFORGE_IMAGE_PROGRAM is ${step}, but there is no such program. "
      "Name the pelkaforge-image to run, with its path: "
      "-DPELKAFORGE_IMAGE_PROGRAM=/usr/bin/pelkaforge-image, for example.")
  endif()
  # pelkaforge_add_image passes options that older programs lack; 1.0.0
  # would even convert a .hex file's text as raw bytes without a word.
  set(needed 1.1.0)
  execute_process(COMMAND "${step}" --version
                  RESULT_VARIABLE status OUTPUT_VARIABLE answer
                  ERROR_VARIABLE answer TIMEOUT 30)
  string(REGEX REPLACE "[\r\n].*" "" answer "${answer}")
  if(NOT status EQUAL 0
     OR NOT answer MATCHES "^pelkaforge-image ([0-9]+(\\.[0-9]+)*)$")
    message(FATAL_ERROR
      "PELKAFORGE_IMAGE_PROGRAM is ${step}, which does not answer "
      "--version as pelkaforge-image ${needed} does (status ${status}: "
      "${answer}). Name pelkaforge-image ${needed} or later, or leave "
      "PELKAFORGE_IMAGE_PROGRAM empty to build it from this folder.")
  elseif(CMAKE_MATCH_1 VERSION_LESS needed)
    message(FATAL_ERROR
      "PELKAFORGE_IMAGE_PROGRAM is ${step}, which is ${answer}: this "
      "Pelkaforge needs pelkaforge-image ${needed} or later. Name a newer "
      "one, or leave PELKAFORGE_IMAGE_PROGRAM empty to build it from this "
      "folder.")
  endif()
  get_filename_component(step_dir "${step}" DIRECTORY)
  set(tool "${step_dir}/Pelkaforge${suffix}")
else()
  include(ExternalProject)
  # One configuration, Release, whatever generator the firmware project
  # uses: a multi-config one (Ninja Multi-Config, Visual Studio, Xcode)
  # would otherwise put the programs in a folder named after the
  # configuration it chose. Release's output folder is set, so the programs
  # land in bin/ with every generator. Only a multi-config generator reads
  # CMAKE_CONFIGURATION_TYPES: given to another, CMake warns of it unused.
  set(build_dir "${CMAKE_CURRENT_BINARY_DIR}/build-machine")
  set(tool "${build_dir}/bin/Pelkaforge${suffix}")
  set(step "${build_dir}/bin/pelkaforge-image${suffix}")
  set(configuration -DCMAKE_BUILD_TYPE=Release)
  get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
  if(multi_config)
    set(configuration -DCMAKE_CONFIGURATION_TYPES=Release)
  endif()
  # Always asked to build, which is quick when nothing changed: an edit of
  # the sources then reaches the firmware build.
  ExternalProject_Add(pelkaforge_build_machine_tool
    SOURCE_DIR "${PROJECT_SOURCE_DIR}"
    BINARY_DIR "${build_dir}"
    CMAKE_ARGS ${configuration}
               "-DCMAKE_RUNTIME_OUTPUT_DIRECTORY_RELEASE=${build_dir}/bin"
    BUILD_COMMAND "${CMAKE_COMMAND}" --build <BINARY_DIR> --config Release
                  --target Pelkaforge pelkaforge-image
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS "${tool}" "${step}")
endif()
add_executable(Pelkaforge::Pelkaforge IMPORTED GLOBAL)
set_target_properties(Pelkaforge::Pelkaforge PROPERTIES
  IMPORTED_LOCATION "${tool}")
add_executable(Pelkaforge::pelkaforge-image IMPORTED GLOBAL)
set_target_properties(Pelkaforge::pelkaforge-image PROPERTIES
  IMPORTED_LOCATION "${step}")

# Installs the built tool into a fresh prefix and builds examples/firmware,
# copied, against it the two ways a firmware project takes Pelkaforge in:
# found installed (find_package) and built alongside (add_subdirectory).
# Each time both programs must print their images' figures, the images and
# the example's folder must stay as they were, and a changed image must be
# converted again.
#
#   cmake -DBUILD_DIR=<tool build> -DSOURCE_DIR=<repository> -DWORK=<scratch>
#         -P install_test.cmake
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE status
                  OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGV}\n${out}")
  endif()
endfunction()

function(expect_output program expected)
  execute_process(COMMAND ${program} OUTPUT_VARIABLE out RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT out STREQUAL "${expected}\n")
    message(FATAL_ERROR
      "${program}: status ${status}, printed '${out}', expected '${expected}'")
  endif()
endfunction()

function(expect_same_files directory reference)
  file(GLOB_RECURSE found RELATIVE ${directory} ${directory}/*)
  file(GLOB_RECURSE expected RELATIVE ${reference} ${reference}/*)
  if(NOT found STREQUAL expected)
    message(FATAL_ERROR "${directory} holds ${found}, not ${expected}")
  endif()
  foreach(name IN LISTS expected)
    file(SHA256 ${directory}/${name} found_hash)
    file(SHA256 ${reference}/${name} expected_hash)
    if(NOT found_hash STREQUAL expected_hash)
      message(FATAL_ERROR "the build changed ${directory}/${name}")
    endif()
  endforeach()
endfunction()

# Builds the example into build (its programs in programs), checks them and
# the example's folder, then gives app a new image and checks it follows.
function(check_example build programs)
  run(${CMAKE_COMMAND} --build ${build})
  expect_output(${programs}/app "image: 1536 bytes, version 7")
  expect_output(${programs}/updater "image: 1024 bytes, version 255")
  expect_same_files(${example} ${SOURCE_DIR}/examples/firmware)

  file(COPY_FILE ${SOURCE_DIR}/examples/blinky.bin ${example}/app.bin)
  file(TOUCH ${example}/app.bin)
  run(${CMAKE_COMMAND} --build ${build})
  expect_output(${programs}/app "image: 1024 bytes, version 3")
  file(COPY_FILE ${SOURCE_DIR}/examples/firmware/app.bin ${example}/app.bin)
endfunction()

file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed
    bin/Pelkaforge${CMAKE_EXECUTABLE_SUFFIX}
    share/man/man1/Pelkaforge.1
    share/doc/pelkaforge/README.md
    share/doc/pelkaforge/LICENSE
    share/doc/pelkaforge/copyright
    lib/cmake/Pelkaforge/PelkaforgeConfig.cmake
    lib/cmake/Pelkaforge/PelkaforgeConfigVersion.cmake
    lib/cmake/Pelkaforge/PelkaforgeAddImage.cmake)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

set(example ${WORK}/example)
file(COPY ${SOURCE_DIR}/examples/firmware/ DESTINATION ${example})

run(${CMAKE_COMMAND} -S ${example} -B ${WORK}/found
    -DCMAKE_PREFIX_PATH=${prefix})
check_example(${WORK}/found ${WORK}/found)

file(WRITE ${WORK}/alongside/CMakeLists.txt "\
cmake_minimum_required(VERSION 3.25)
project(Alongside LANGUAGES C CXX)
add_subdirectory(\"${SOURCE_DIR}\" pelkaforge)
add_subdirectory(\"${example}\" firmware)
")
run(${CMAKE_COMMAND} -S ${WORK}/alongside -B ${WORK}/alongside-build)
check_example(${WORK}/alongside-build ${WORK}/alongside-build/firmware)

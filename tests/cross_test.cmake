# Cross-compiles the images of examples/firmware for an ARM microcontroller
# with an ordinary embedded toolchain file (arm-none-eabi-gcc, C only, every
# package looked for in the target's sysroot), the two ways a firmware
# project takes Pelkaforge in: found installed, and this repository added
# with add_subdirectory, which must build the tool for the build machine.
# Only the image library is built (no program: that would need a linker
# script). Each image's object must hold exactly the padded image, in the
# section its attributes name, and the example's images must stay as they
# were. A named pelkaforge-image older than the helper's options, or one
# that does not answer --version, must stop the configure.
#
#   cmake -DBUILD_DIR=<tool build> -DSOURCE_DIR=<repository> -DWORK=<scratch>
#         -P cross_test.cmake
cmake_minimum_required(VERSION 3.18...4.3)

find_program(cross_gcc arm-none-eabi-gcc)
find_program(cross_ar arm-none-eabi-ar)
find_program(cross_objcopy arm-none-eabi-objcopy)
find_program(cross_nm arm-none-eabi-nm)
if(NOT cross_gcc OR NOT cross_ar OR NOT cross_objcopy OR NOT cross_nm)
  message("SKIPPED: needs arm-none-eabi-gcc and its binutils "
          "(Debian's gcc-arm-none-eabi)")
  return()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/support/run.cmake)

# The image's object, wherever the generator put it under build, holds in
# section exactly the image padded to padded_size bytes.
function(expect_image build name image_file padded_size section)
  file(GLOB_RECURSE objects ${build}/*/${name}.c.o ${build}/*/${name}.c.obj)
  list(LENGTH objects count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "${build} holds '${objects}' for ${name}")
  endif()
  set(array ${WORK}/array.bin)
  run(${cross_objcopy} -O binary --only-section=${section} ${objects} ${array})

  file(READ ${image_file} image HEX)
  file(SIZE ${image_file} size)
  math(EXPR pad "${padded_size} - ${size}")
  string(REPEAT "ff" ${pad} padding)
  # The constant count and version may lie beside the array, in either
  # order: the array is where its symbol says.
  execute_process(COMMAND ${cross_nm} --defined-only ${objects}
                  OUTPUT_VARIABLE symbols)
  if(NOT symbols MATCHES "([0-9a-f]+) [Rr] ${name}\n")
    message(FATAL_ERROR "${objects} defines no ${name}: ${symbols}")
  endif()
  math(EXPR offset "0x${CMAKE_MATCH_1}")
  file(READ ${array} array OFFSET ${offset} LIMIT ${padded_size} HEX)
  if(NOT array STREQUAL "${image}${padding}")
    message(FATAL_ERROR "${objects}: the array is not ${image_file} "
                        "padded to ${padded_size} bytes")
  endif()
endfunction()

function(check_cross_build build)
  run(${CMAKE_COMMAND} --build ${build} --target firmware_images)
  expect_no_warning()
  expect_image(${build} app_image ${example}/app.bin 1536 .rodata)
  # Its attributes, quotes and all, reached the compiler as written.
  expect_image(${build} updater_image ${example}/images/updater.bin 1024
               .updater)
  foreach(image app.bin images/updater.bin)
    file(SHA256 ${example}/${image} found)
    file(SHA256 ${SOURCE_DIR}/examples/firmware/${image} expected)
    if(NOT found STREQUAL expected)
      message(FATAL_ERROR "the build changed ${image}")
    endif()
  endforeach()
endfunction()

file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
set(example ${WORK}/example)
file(COPY ${SOURCE_DIR}/examples/firmware/ DESTINATION ${example})

set(toolchain ${WORK}/arm-none-eabi.cmake)
file(WRITE ${toolchain} "\
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_C_FLAGS_INIT \"-mcpu=cortex-m0 -mthumb\")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_FIND_ROOT_PATH ${WORK}/sysroot)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
")

run(${CMAKE_COMMAND} -S ${example} -B ${WORK}/found
    -DCMAKE_TOOLCHAIN_FILE=${toolchain} -DCMAKE_PREFIX_PATH=${prefix})
check_cross_build(${WORK}/found)

file(WRITE ${WORK}/alongside/CMakeLists.txt "\
cmake_minimum_required(VERSION 3.18...4.3)
project(Alongside LANGUAGES C)
add_subdirectory(\"${SOURCE_DIR}\" pelkaforge)
add_subdirectory(\"${example}\" firmware)
")
run(${CMAKE_COMMAND} -S ${WORK}/alongside -B ${WORK}/alongside-build
    -DCMAKE_TOOLCHAIN_FILE=${toolchain})
expect_no_warning()
check_cross_build(${WORK}/alongside-build)

# A pelkaforge-image the firmware team has, named: nothing is built.
run(${CMAKE_COMMAND} -S ${WORK}/alongside -B ${WORK}/named-build
    -DCMAKE_TOOLCHAIN_FILE=${toolchain}
    -DPELKAFORGE_IMAGE_PROGRAM=${prefix}/bin/pelkaforge-image)
check_cross_build(${WORK}/named-build)
if(EXISTS ${WORK}/named-build/pelkaforge/build-machine)
  message(FATAL_ERROR "a named pelkaforge-image was built all the same")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${WORK}/alongside -B ${WORK}/misnamed-build
          -DCMAKE_TOOLCHAIN_FILE=${toolchain}
          -DPELKAFORGE_IMAGE_PROGRAM=${WORK}/no-such-program
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
string(REGEX REPLACE "[ \n]+" " " out "${out}")
if(status EQUAL 0 OR NOT out MATCHES
   "PELKAFORGE_IMAGE_PROGRAM is .*/no-such-program, but there is no such program. Name the pelkaforge-image")
  message(FATAL_ERROR "a missing program was not named: ${out}")
endif()
# What pelkaforge-image 1.0.0 answers, and a program that does not answer
# (Pelkaforge takes --version for an image's path).
file(WRITE ${WORK}/old/pelkaforge-image "#!/bin/sh\necho 'pelkaforge-image 1.0.0'\n")
run(chmod +x ${WORK}/old/pelkaforge-image)
foreach(case "old/pelkaforge-image;which is pelkaforge-image 1.0.0: this Pelkaforge needs pelkaforge-image 1.1.0 or later"
              "prefix/bin/Pelkaforge;which does not answer --version as pelkaforge-image 1.1.0 does \\(status 1: Unable")
  list(GET case 0 program)
  list(GET case 1 expected)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${WORK}/alongside -B ${WORK}/old-build
            -DCMAKE_TOOLCHAIN_FILE=${toolchain}
            -DPELKAFORGE_IMAGE_PROGRAM=${WORK}/${program}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " out "${out}")
  if(status EQUAL 0 OR NOT out MATCHES "PELKAFORGE_IMAGE_PROGRAM is [^ ]*/${program}, ${expected}")
    message(FATAL_ERROR "${program} was taken for pelkaforge-image 1.1.0: ${out}")
  endif()
endforeach()

# A multi-config generator puts each configuration's files in a folder of
# its own; the tool for the build machine must still be found.
find_program(ninja ninja)
if(ninja)
  run(${CMAKE_COMMAND} -S ${WORK}/alongside -B ${WORK}/multi-config-build
      -G "Ninja Multi-Config" -DCMAKE_TOOLCHAIN_FILE=${toolchain})
  expect_no_warning()
  check_cross_build(${WORK}/multi-config-build)
endif()

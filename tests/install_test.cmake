# Installs the built tool into a fresh prefix and builds examples/firmware,
# copied, against it the ways a firmware project takes Pelkaforge in: found
# installed (find_package) with each generator the machine has, built
# alongside (add_subdirectory), and with GNU make through the installed
# pelkaforge.mk. The installed builds run as an ordinary user (when the test
# runs as root, as the unprivileged user 65534), with the example's images
# read-only, as firmware trees often hold them. Each time the program must
# print both images' figures, the example's folder must stay as it was,
# modes included, and a replaced image must be converted again. Two images
# of one name in one program must stop the configure or the link.
#
#   cmake -DBUILD_DIR=<tool build> -DSOURCE_DIR=<repository> -DWORK=<scratch>
#         -P install_test.cmake
cmake_minimum_required(VERSION 3.18...4.3)

include(${CMAKE_CURRENT_LIST_DIR}/support/run.cmake)

# file(CHMOD) needs CMake 3.19.
function(chmod mode path)
  run(chmod ${mode} ${path})
endfunction()

# Runs the command as the ordinary user; root's permissions would hide what
# read-only images do.
function(run_as_user)
  run(${as_user} ${ARGV})
endfunction()

# The program prints what expected-output.txt holds; with a first line of
# its own when one is given.
function(expect_output program)
  file(READ ${reference}/expected-output.txt expected)
  if(ARGN)
    string(REGEX REPLACE "^[^\n]+" "${ARGN}" expected "${expected}")
  endif()
  execute_process(COMMAND ${program} OUTPUT_VARIABLE out RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR
      "${program}: status ${status}, printed '${out}', expected '${expected}'")
  endif()
endfunction()

# The example's folder holds what the repository's does, byte for byte, and
# its images are still read-only.
function(expect_example_unchanged)
  file(GLOB_RECURSE found RELATIVE ${example} ${example}/*)
  file(GLOB_RECURSE expected RELATIVE ${reference} ${reference}/*)
  if(NOT found STREQUAL expected)
    message(FATAL_ERROR "${example} holds ${found}, not ${expected}")
  endif()
  foreach(name IN LISTS expected)
    file(SHA256 ${example}/${name} found_hash)
    file(SHA256 ${reference}/${name} expected_hash)
    if(NOT found_hash STREQUAL expected_hash)
      message(FATAL_ERROR "the build changed ${example}/${name}")
    endif()
  endforeach()
  foreach(image IN LISTS images)
    execute_process(COMMAND stat -c %a ${example}/${image}
                    OUTPUT_VARIABLE mode OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT mode STREQUAL "444")
      message(FATAL_ERROR "the build made ${image} mode ${mode}, not 444")
    endif()
  endforeach()
endfunction()

# Replaces the image with content's bytes, read-only and newer than before.
function(set_image image content)
  file(REMOVE ${example}/${image})
  configure_file(${content} ${example}/${image} COPYONLY)
  file(TOUCH ${example}/${image})
  chmod(444 ${example}/${image})
endfunction()

# Builds with the given command (a build directory's or make's), checks the
# program in programs and the example's folder, then gives app.bin new,
# still read-only bytes and checks that the program follows.
function(check_example programs)
  set(build ${ARGN})
  run_as_user(${build})
  expect_output(${programs}/firmware)
  expect_example_unchanged()

  set_image(app.bin ${SOURCE_DIR}/examples/blinky.bin)
  run_as_user(${build})
  expect_output(${programs}/firmware
                "app_image: 1024 bytes, count 4, version 3, checksum c1bc7605")
  set_image(app.bin ${reference}/app.bin)
  expect_example_unchanged()
endfunction()

execute_process(COMMAND id -u OUTPUT_VARIABLE uid
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(uid STREQUAL "0")
  set(as_user setpriv --reuid=65534 --regid=65534 --clear-groups)
endif()

# Everything the ordinary user touches lives in a folder it can reach
# whatever the path to the build tree.
string(SHA1 work_id "${WORK}")
set(user_work /tmp/pelkaforge-install-test-${work_id})
file(REMOVE_RECURSE ${WORK} ${user_work})
file(MAKE_DIRECTORY ${user_work})
chmod(777 ${user_work})

set(prefix ${user_work}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed
    bin/Pelkaforge${CMAKE_EXECUTABLE_SUFFIX}
    bin/pelkaforge-image${CMAKE_EXECUTABLE_SUFFIX}
    share/man/man1/Pelkaforge.1
    share/man/man1/pelkaforge-image.1
    share/doc/pelkaforge/README.md
    share/doc/pelkaforge/LICENSE
    share/doc/pelkaforge/copyright
    share/pelkaforge/pelkaforge.mk
    share/pelkaforge/scons/pelkaforge.py
    lib/cmake/Pelkaforge/PelkaforgeConfig.cmake
    lib/cmake/Pelkaforge/PelkaforgeConfigVersion.cmake
    lib/cmake/Pelkaforge/PelkaforgeAddImage.cmake)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

set(reference ${SOURCE_DIR}/examples/firmware)
set(example ${user_work}/example)
set(images app.bin images/updater.bin)
file(COPY ${reference}/ DESTINATION ${example})
foreach(image IN LISTS images)
  chmod(444 ${example}/${image})
endforeach()

set(generators "Unix Makefiles")
find_program(ninja ninja)
if(ninja)
  list(APPEND generators Ninja)
endif()
foreach(generator IN LISTS generators)
  string(MAKE_C_IDENTIFIER "${generator}" name)
  set(build ${user_work}/found-${name})
  run_as_user(${CMAKE_COMMAND} -S ${example} -B ${build} -G ${generator}
              -DCMAKE_PREFIX_PATH=${prefix})
  check_example(${build} ${CMAKE_COMMAND} --build ${build})
endforeach()

# A build folder whose path holds a space, as far as make allows.
set(build "${user_work}/make build")
set(make make -C ${example} PELKAFORGE_PREFIX=${prefix} BUILD=${build})
check_example(${build} ${make} -j2)
# Built once more after the image's restoring, then nothing is left to do.
run_as_user(${make})
run_as_user(${make} -q)

# Built alongside, as root: the repository may lie where the ordinary user
# cannot read it.
set(as_user "")
file(WRITE ${WORK}/alongside/CMakeLists.txt "\
cmake_minimum_required(VERSION 3.18...4.3)
project(Alongside LANGUAGES C CXX)
add_subdirectory(\"${SOURCE_DIR}\" pelkaforge)
add_subdirectory(\"${example}\" firmware)
")
# A guest: a warning a newer compiler may give in Pelkaforge's code stops
# nothing, configuring says nothing of Pelkaforge's, and the host's install
# holds nothing of it.
file(WRITE ${WORK}/new-warning.h "#warning \"a newer compiler's warning\"\n")
run(${CMAKE_COMMAND} -S ${WORK}/alongside -B ${WORK}/alongside-build
    "-DCMAKE_CXX_FLAGS=-include ${WORK}/new-warning.h")
expect_no_warning()
check_example(${WORK}/alongside-build/firmware
              ${CMAKE_COMMAND} --build ${WORK}/alongside-build)
run(${CMAKE_COMMAND} --install ${WORK}/alongside-build
    --prefix ${WORK}/alongside-install)
file(GLOB_RECURSE installed ${WORK}/alongside-install/*)
if(installed)
  message(FATAL_ERROR "the host's install holds ${installed}")
endif()

# Fetched with FetchContent, as a firmware project takes a repository: from
# a git repository of the files as they are here.
find_program(git git)
if(git AND EXISTS ${SOURCE_DIR}/.git)
  set(repository ${WORK}/repository)
  execute_process(COMMAND ${git} -C ${SOURCE_DIR} ls-files --cached --others
                          --exclude-standard
                  OUTPUT_VARIABLE tracked OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "\n" ";" tracked "${tracked}")
  foreach(name IN LISTS tracked)
    if(EXISTS ${SOURCE_DIR}/${name})
      get_filename_component(folder ${repository}/${name} DIRECTORY)
      file(COPY ${SOURCE_DIR}/${name} DESTINATION ${folder})
    endif()
  endforeach()
  set(git_here ${git} -C ${repository} -c user.name=test -c user.email=test@test)
  run(${git_here} init -q)
  run(${git_here} add -A)
  run(${git_here} commit -q -m "as tested")
  execute_process(COMMAND ${git} -C ${repository} rev-parse HEAD
                  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(WRITE ${WORK}/fetched/CMakeLists.txt "\
cmake_minimum_required(VERSION 3.18...4.3)
project(Fetched LANGUAGES C CXX)
include(FetchContent)
FetchContent_Declare(pelkaforge GIT_REPOSITORY \"${repository}\" GIT_TAG ${commit})
FetchContent_MakeAvailable(pelkaforge)
add_subdirectory(\"${example}\" firmware)
")
  run(${CMAKE_COMMAND} -S ${WORK}/fetched -B ${WORK}/fetched-build)
  check_example(${WORK}/fetched-build/firmware
                ${CMAKE_COMMAND} --build ${WORK}/fetched-build)
endif()

# Configuring the project <name> (its CMakeLists.txt after a find_package
# of the installed package) must stop with a message matching <expected>.
function(expect_refused name project_languages body expected)
  file(WRITE ${WORK}/${name}/CMakeLists.txt "\
cmake_minimum_required(VERSION 3.18...4.3)
project(${name} LANGUAGES ${project_languages})
find_package(Pelkaforge 1.0 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
${body}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${WORK}/${name} -B ${WORK}/${name}-build
            -DCMAKE_PREFIX_PATH=${prefix}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " out "${out}")
  if(status EQUAL 0 OR NOT out MATCHES "${expected}")
    message(FATAL_ERROR "${name}: status ${status}\n${out}")
  endif()
endfunction()

# Two images of one name for one target, or in one program, and an image
# for a project without C, whose link would fail on the generated file left
# out.
expect_refused(name-twice C "
add_library(images STATIC)
pelkaforge_add_image(images \"${example}/app.bin\" NAME app_image)
pelkaforge_add_image(images \"${example}/images/updater.bin\" NAME app_image)
" "pelkaforge_add_image: target images already holds an image named app_image \\(.*/app.bin\\), so it cannot also hold .*/updater.bin under that name")
expect_refused(unnamed-twice C "
add_library(app_lib STATIC)
pelkaforge_add_image(app_lib \"${example}/app.bin\")
add_library(updater_lib STATIC)
pelkaforge_add_image(updater_lib \"${example}/images/updater.bin\")
add_executable(firmware \"${example}/firmware.c\")
target_link_libraries(firmware app_lib updater_lib)
" "INTERFACE_PELKAFORGE_IMAGE_SecondaryMicroImage property of \"updater_lib\" does not agree")
expect_refused(no-c CXX "
add_library(images STATIC)
pelkaforge_add_image(images \"${example}/app.bin\")
" "the generated SecondaryMicroImage.c is C, and this project has not enabled the C language")

# An image made in the same build, by a custom command in another folder,
# with the generator that cannot see such a file on its own, held by an
# object library; and an image named -x.bin held by a shared library: the
# program that links both includes both headers.
file(WRITE ${WORK}/made/secondary/CMakeLists.txt "\
add_custom_command(OUTPUT secondary.bin
  COMMAND \${CMAKE_COMMAND} -E copy \"${example}/app.bin\" secondary.bin)
add_custom_target(secondary DEPENDS secondary.bin)
")
configure_file(${example}/images/updater.bin ${WORK}/made/-x.bin COPYONLY)
file(WRITE ${WORK}/made/CMakeLists.txt "\
cmake_minimum_required(VERSION 3.18...4.3)
project(Made LANGUAGES C)
find_package(Pelkaforge 1.0 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
include_directories(\"${example}\")
add_subdirectory(secondary)
add_library(app_objects OBJECT)
pelkaforge_add_image(app_objects \${CMAKE_BINARY_DIR}/secondary/secondary.bin
                     NAME app_image DEPENDS secondary)
add_library(updater_shared SHARED)
pelkaforge_add_image(updater_shared -x.bin NAME updater_image)
add_executable(firmware \"${example}/firmware.c\")
target_link_libraries(firmware app_objects updater_shared)
")
run(${CMAKE_COMMAND} -S ${WORK}/made -B ${WORK}/made-build
    -G "Unix Makefiles" -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK}/made-build)
expect_output(${WORK}/made-build/firmware)

# Where CMake cannot see two unnamed images in one program (a static
# library links the second privately), the link stops on it: the image's
# object is never left in an archive.
file(WRITE ${WORK}/hidden/CMakeLists.txt "\
cmake_minimum_required(VERSION 3.18...4.3)
project(Hidden LANGUAGES C)
find_package(Pelkaforge 1.0 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
include_directories(\"${example}\")
add_library(updater_lib STATIC)
pelkaforge_add_image(updater_lib \"${example}/images/updater.bin\")
add_library(drivers STATIC)
target_link_libraries(drivers PRIVATE updater_lib)
pelkaforge_add_image(drivers \"${example}/app.bin\" NAME app_image)
pelkaforge_add_image(drivers \"${example}/images/updater.bin\" NAME updater_image)
add_executable(firmware \"${example}/firmware.c\")
pelkaforge_add_image(firmware \"${example}/app.bin\")
target_link_libraries(firmware drivers)
")
run(${CMAKE_COMMAND} -S ${WORK}/hidden -B ${WORK}/hidden-build
    -DCMAKE_PREFIX_PATH=${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/hidden-build
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(status EQUAL 0 OR NOT out MATCHES "multiple definition of .SecondaryMicroImage")
  message(FATAL_ERROR "two unnamed images linked into one program: ${out}")
endif()

file(REMOVE_RECURSE ${user_work})

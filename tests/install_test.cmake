# Installs the built tool into a fresh prefix and builds examples/firmware,
# copied, against it the ways a firmware project takes Pelkaforge in: found
# installed (find_package) with each generator the machine has, built
# alongside (add_subdirectory), and with GNU make through the installed
# pelkaforge.mk. The installed builds run as an ordinary user (when the test
# runs as root, as the unprivileged user 65534), with the example's images
# read-only, as firmware trees often hold them. Each time the program must
# print both images' figures, the example's folder must stay as it was,
# modes included, and a replaced image must be converted again; with CMake,
# the updater's header must hold its attributes as written, and the
# example's test of its checked-in files must pass, then fail once the image
# is replaced. Two images of one name in one program must stop the configure
# or the link, and each binary of a process must read its own image.
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

# The example's test of its checked-in files, run by ctest in the build
# folder tests: it passes, or fails on the first file that differs.
function(expect_checked_in tests outcome)
  execute_process(COMMAND ${as_user} ${CMAKE_CTEST_COMMAND} --output-on-failure
                  WORKING_DIRECTORY ${tests}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(outcome STREQUAL "passes" AND NOT status EQUAL 0
     OR outcome STREQUAL "fails" AND (status EQUAL 0 OR NOT out MATCHES
        "Check failed: checked_in/app_image\\.[ch] differs from what this run writes"))
    message(FATAL_ERROR "the checked-in files' test should have ${outcome}: ${out}")
  endif()
endfunction()

# Builds with the given command (a build directory's or make's), checks the
# program in programs and the example's folder, then gives app.bin new,
# still read-only bytes and checks that the program follows. A CMake build
# (kind cmake) also holds the updater's header and the example's test.
function(check_example programs kind)
  set(build ${ARGN})
  run_as_user(${build})
  expect_output(${programs}/firmware)
  expect_example_unchanged()
  if(kind STREQUAL "cmake")
    file(READ ${programs}/images/pelkaforge/firmware_images/updater_image.h
         header)
    string(FIND "${header}" [[
extern __attribute__((section(".updater"), aligned(4))) const tUBYTE updater_image[1024];
]] at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the updater's attributes did not reach its header as written:\n${header}")
    endif()
    expect_checked_in(${programs} passes)
  endif()

  set_image(app.bin ${SOURCE_DIR}/examples/blinky.bin)
  run_as_user(${build})
  expect_output(${programs}/firmware
                "app_image: 1024 bytes, count 4, version 3, checksum c1bc7605")
  if(kind STREQUAL "cmake")
    expect_checked_in(${programs} fails)
  endif()
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
  check_example(${build} cmake ${CMAKE_COMMAND} --build ${build})
endforeach()

# A build folder whose path holds a space, as far as make allows.
set(build "${user_work}/make build")
set(make make -C ${example} PELKAFORGE_PREFIX=${prefix} BUILD=${build})
check_example(${build} make ${make} -j2)
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
check_example(${WORK}/alongside-build/firmware cmake
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
  check_example(${WORK}/fetched-build/firmware cmake
                ${CMAKE_COMMAND} --build ${WORK}/fetched-build)
endif()

# Configuring the project <name> (its CMakeLists.txt after a find_package
# of the installed package) must stop with messages matching each of the
# expected ones.
function(expect_refused name project_languages body)
  file(WRITE ${WORK}/${name}/CMakeLists.txt "\
cmake_minimum_required(VERSION 3.18...4.3)
project(${name} LANGUAGES ${project_languages})
find_package(Pelkaforge 1.1 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
${body}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${WORK}/${name} -B ${WORK}/${name}-build
            -DCMAKE_PREFIX_PATH=${prefix}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " out "${out}")
  foreach(expected IN LISTS ARGN)
    if(status EQUAL 0 OR NOT out MATCHES "${expected}")
      message(FATAL_ERROR "${name}: status ${status}, no '${expected}' in\n${out}")
    endif()
  endforeach()
endfunction()

# Every mistake in the calls of one project, each reported: a name given
# twice for one target, a format, pin, check value or attributes that
# cannot be, a pin given as an unset variable, a shared library or module
# whose image could not be its own, and, seen from CMake 3.19 on, an image
# taken from the source folder that a custom command added after it makes
# and an object library's objects taken without its image.
set(late_messages "")
if(NOT CMAKE_VERSION VERSION_LESS 3.19)
  set(late_messages "pelkaforge_add_image: images took late.bin from [^ ]*/mistakes, but a custom command of this folder makes [^ ]*/mistakes-build/late.bin, added after the image. Add that custom command before pelkaforge_add_image"
    "pelkaforge_add_image: objects_user takes \\$<TARGET_OBJECTS:objects>, the objects of an object library that holds an image, without its image. Link it instead")
endif()
expect_refused(mistakes C "
add_library(images STATIC)
pelkaforge_add_image(images \"${example}/app.bin\" NAME app_image)
pelkaforge_add_image(images \"${example}/images/updater.bin\" NAME app_image)
pelkaforge_add_image(images radio.hex NAME radio FORMAT hex)
pelkaforge_add_image(images app.bin NAME pinned SHA256 569f1723)
pelkaforge_add_image(images app.bin NAME checked CHECK_VALUES crc32 md5)
pelkaforge_add_image(images app.bin NAME placed ATTRIBUTES \"aligned(4)\\nconst\")
pelkaforge_add_image(images app.bin NAME unpinned SHA256 \${UNSET})
pelkaforge_add_image(images app.bin NAME costly ATTRIBUTES \"section(\\\"\$(HOME)\\\")\")
add_library(objects OBJECT)
pelkaforge_add_image(objects \"${example}/app.bin\")
add_library(objects_user STATIC \$<TARGET_OBJECTS:objects>)
pelkaforge_add_image(images late.bin NAME late)
add_custom_command(OUTPUT late.bin COMMAND \${CMAKE_COMMAND} -E touch late.bin)
add_library(plugin MODULE)
set(CMAKE_C_COMPILE_OPTIONS_VISIBILITY \"\")
pelkaforge_add_image(plugin \"${example}/app.bin\")
"
  "pelkaforge_add_image: target images already holds an image named app_image \\(.*/app.bin\\), so it cannot also hold .*/updater.bin under that name: give each image of a target a NAME of its own"
  "pelkaforge_add_image: FORMAT hex is not a format pelkaforge-image reads: write FORMAT ihex \\(Intel HEX\\), srec \\(S-record\\), elf \\(ELF\\) or bin \\(raw bytes\\)"
  "pelkaforge_add_image: SHA256 569f1723 is not 64 hex digits: write the SHA-256 of the image file"
  "pelkaforge_add_image: CHECK_VALUES md5 is not a value the header can hold: write crc32 for checked_crc32, sha256 for checked_sha256, or both"
  "pelkaforge_add_image: ATTRIBUTES cannot hold a semicolon or a line break"
  "pelkaforge_add_image: SHA256 is given without a value"
  "pelkaforge_add_image: ATTRIBUTES cannot hold a \\$, which the build tool would read as one of its own variables"
  "pelkaforge_add_image: plugin is a shared library or module, and CMake knows no symbol visibility option for the C compiler \\([^)]*\\): another image named SecondaryMicroImage"
  ${late_messages})
# Two unnamed images in one program, and an image for a project without C,
# whose link would fail on the generated file left out.
expect_refused(unnamed-twice C "
add_library(app_lib STATIC)
pelkaforge_add_image(app_lib \"${example}/app.bin\")
add_library(updater_lib STATIC)
pelkaforge_add_image(updater_lib \"${example}/images/updater.bin\")
add_executable(firmware \"${example}/firmware.c\")
target_link_libraries(firmware app_lib updater_lib)
" "INTERFACE_PELKAFORGE_IMAGE_SecondaryMicroImage \\(one program, two images named SecondaryMicroImage: give each image a NAME of its own\\) property of \"updater_lib\" does not agree")
expect_refused(no-c CXX "
add_library(images STATIC)
pelkaforge_add_image(images \"${example}/app.bin\")
" "the generated SecondaryMicroImage.c is C, and this project has not enabled the C language")

# One project of images that each come to the program a way of their own:
# - made in the same build, by a custom command in another folder, with the
#   generator that cannot see such a file on its own, held by an object
#   library; and named -x.bin, held by a shared library: the program that
#   links both includes both headers (its code compiled as for a shared
#   library, which GCC for x86 needs to read a protected symbol there);
# - made from the updater's image as Intel HEX by a custom command of this
#   folder, named by its file name alone while an older radio.hex lies in
#   the source folder, read by its extension and, with FORMAT bin, as text,
#   with its CRC-32 and SHA-256 declared;
# - images whose target and name, joined by an underscore, would be one
#   (checks and radio_image, checks_radio and image);
# - the updater's, unnamed and pinned by its SHA-256, held by a shared
#   library that a program holding another unnamed image links only
#   through a static library (which CMake does not look through), read by
#   the library, by a shared library that includes its header, and by the
#   program's module of the same image: each binary reads its own.
# A wrong pin stops the build of the library that holds it.
file(WRITE ${WORK}/made/secondary/CMakeLists.txt "\
add_custom_command(OUTPUT secondary.bin
  COMMAND \${CMAKE_COMMAND} -E copy \"${example}/app.bin\" secondary.bin)
add_custom_target(secondary DEPENDS secondary.bin)
")
configure_file(${example}/images/updater.bin ${WORK}/made/-x.bin COPYONLY)
file(WRITE ${WORK}/made/radio.hex ":0100000000FF\n:00000001FF\n")
file(SHA256 ${example}/images/updater.bin updater_sha256)
string(TOUPPER ${updater_sha256} updater_sha256)
string(REPEAT 0 64 wrong_sha256)
set(made_lists [=[
cmake_minimum_required(VERSION 3.18...4.3)
project(Made LANGUAGES C)
find_package(Pelkaforge 1.1 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
include_directories("@example@")
add_subdirectory(secondary)
add_library(app_objects OBJECT)
pelkaforge_add_image(app_objects ${CMAKE_BINARY_DIR}/secondary/secondary.bin
                     NAME app_image DEPENDS secondary)
add_library(updater_shared SHARED)
pelkaforge_add_image(updater_shared -x.bin NAME updater_image)
pelkaforge_add_image(updater_shared "@example@/radio/radio.hex" NAME radio_image)
add_executable(firmware "@example@/firmware.c")
target_compile_options(firmware PRIVATE -fPIC)
target_link_libraries(firmware app_objects updater_shared)

add_custom_command(OUTPUT radio.hex
  COMMAND ${CMAKE_OBJCOPY} -I binary -O ihex --change-addresses 0x08000000
          "@example@/images/updater.bin" radio.hex
  DEPENDS "@example@/images/updater.bin")
add_library(radio_shared SHARED library.c)
pelkaforge_add_image(radio_shared "@example@/images/updater.bin"
                     SHA256 @updater_sha256@)
add_library(reader_shared SHARED dependent.c)
target_link_libraries(reader_shared PRIVATE radio_shared)
add_library(glue STATIC glue.c)
target_link_libraries(glue PRIVATE radio_shared reader_shared)
add_library(radio_module MODULE module.c)
pelkaforge_add_image(radio_module "@example@/images/updater.bin")
add_library(checks_radio STATIC)
pelkaforge_add_image(checks_radio -x.bin NAME image)
add_executable(checks checks.c)
pelkaforge_add_image(checks "@example@/app.bin")
pelkaforge_add_image(checks radio.hex NAME radio_image
                     CHECK_VALUES crc32 sha256)
pelkaforge_add_image(checks radio.hex NAME radio_text FORMAT bin)
set_property(TARGET checks PROPERTY ENABLE_EXPORTS ON)
target_compile_definitions(checks PRIVATE
                           "MODULE_PATH=\"$<TARGET_FILE:radio_module>\"")
target_link_libraries(checks PRIVATE glue checks_radio ${CMAKE_DL_LIBS})
add_dependencies(checks radio_module)

add_library(pinned_wrong STATIC EXCLUDE_FROM_ALL)
pelkaforge_add_image(pinned_wrong -x.bin SHA256 @wrong_sha256@)
]=])
string(CONFIGURE "${made_lists}" made_lists @ONLY)
file(WRITE ${WORK}/made/CMakeLists.txt "${made_lists}")
file(WRITE ${WORK}/made/describe.h [=[
#include <stddef.h>
#include <stdio.h>

/* What a binary reads of an image: its length, and its bytes' FNV-1a. */
static void Describe(const char* who, const unsigned char* bytes, size_t size) {
  unsigned long hash = 2166136261UL;
  for (size_t i = 0; i < size; ++i) {
    hash = ((hash ^ bytes[i]) * 16777619UL) & 0xFFFFFFFFUL;
  }
  printf("%s: %lu bytes, checksum %08lx\n", who, (unsigned long)size, hash);
}
]=])
foreach(binary "library;library.c;LibraryReads" "dependent library;dependent.c;DependentReads"
               "module;module.c;ModuleReads")
  list(GET binary 0 who)
  list(GET binary 1 file)
  list(GET binary 2 function)
  file(WRITE ${WORK}/made/${file} "\
#include \"SecondaryMicroImage.h\"
#include \"describe.h\"
void ${function}(void);
void ${function}(void) {
  Describe(\"${who}\", SecondaryMicroImage, sizeof SecondaryMicroImage);
}
")
endforeach()
file(WRITE ${WORK}/made/glue.c "void Glue(void);\nvoid Glue(void) {}\n")
file(WRITE ${WORK}/made/checks.c [=[
#include <dlfcn.h>

#include "SecondaryMicroImage.h"
#include "describe.h"
#include "image.h"
#include "radio_image.h"
#include "radio_text.h"

void LibraryReads(void);
void DependentReads(void);

int main(void) {
  void* module = dlopen(MODULE_PATH, RTLD_NOW);
  if (module == NULL) {
    printf("%s\n", dlerror());
    return 1;
  }
  Describe("program", SecondaryMicroImage, sizeof SecondaryMicroImage);
  LibraryReads();
  DependentReads();
  ((void (*)(void))dlsym(module, "ModuleReads"))();
  Describe("image", image, sizeof image);
  Describe("radio_image", radio_image, sizeof radio_image);
  printf("radio_image: address %#lx, blocks %lu, crc32 %08lx, sha256 ",
         (unsigned long)radio_image_address, radio_image_blocks,
         (unsigned long)radio_image_crc32);
  for (size_t i = 0; i < sizeof radio_image_sha256; ++i) {
    printf("%02x", radio_image_sha256[i]);
  }
  printf("\nradio_text: %lu bytes, first %c\n", (unsigned long)sizeof radio_text,
         radio_text[0]);
  return 0;
}
]=])
# Ninja where the machine has it, which, unlike make, must be told the
# language of an object library holding images alone.
list(GET generators -1 made_generator)
run(${CMAKE_COMMAND} -S ${WORK}/made -B ${WORK}/made-build
    -G "${made_generator}" -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK}/made-build)
expect_output(${WORK}/made-build/firmware)
file(SIZE ${WORK}/made-build/radio.hex text_size)
math(EXPR text_size "(${text_size} + 511) / 512 * 512")
set(updater "1024 bytes, checksum 2a9064e9")
execute_process(COMMAND ${WORK}/made-build/checks RESULT_VARIABLE status
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
set(expected "\
program: 1536 bytes, checksum d809691d
library: ${updater}
dependent library: ${updater}
module: ${updater}
image: ${updater}
radio_image: ${updater}
radio_image: address 0x8000000, blocks 4, crc32 cf9b5695, sha256 14517bf0927096932888dd9197c9b4be6aa67538aad73a6ed01563ddb3b4812d
radio_text: ${text_size} bytes, first :
")
if(NOT status EQUAL 0 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "checks: status ${status}, printed\n${out}\nnot\n${expected}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/made-build
                        --target pinned_wrong
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
string(TOLOWER ${updater_sha256} updater_sha256)
if(status EQUAL 0 OR NOT out MATCHES "Unable to convert file [^ ]*/-x.bin \\(its SHA-256 is ${updater_sha256}, not the ${wrong_sha256} expected\\)")
  message(FATAL_ERROR "a wrong SHA-256 did not stop the build: ${out}")
endif()

# Where CMake cannot see two unnamed images in one program (a static
# library links the second privately), the link stops on it: the image's
# object is never left in an archive.
file(WRITE ${WORK}/hidden/CMakeLists.txt "\
cmake_minimum_required(VERSION 3.18...4.3)
project(Hidden LANGUAGES C)
find_package(Pelkaforge 1.1 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
include_directories(\"${example}\")
add_library(updater_lib STATIC)
pelkaforge_add_image(updater_lib \"${example}/images/updater.bin\")
add_library(drivers STATIC)
target_link_libraries(drivers PRIVATE updater_lib)
pelkaforge_add_image(drivers \"${example}/app.bin\" NAME app_image)
pelkaforge_add_image(drivers \"${example}/images/updater.bin\" NAME updater_image)
pelkaforge_add_image(drivers \"${example}/radio/radio.hex\" NAME radio_image)
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

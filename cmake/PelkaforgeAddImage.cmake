# pelkaforge_add_image(<target> <image> [NAME <ident>] [FORMAT <format>]
#                      [ATTRIBUTES <text>] [SHA256 <hex>]
#                      [CHECK_VALUES crc32|sha256...] [DEPENDS <targets>...])
#
# Adds the firmware image <image> to <target>, which may be defined in any
# folder of the project: pelkaforge-image writes <ident>.c and the header
# <ident>.h into a folder of the build tree of <target>'s own, reading the
# image and never changing it, whatever its mode. #include "<ident>.h" then
# works in <target>'s sources and in every target that links it. NAME gives
# the array, count and version the names <ident>, <ident>_blocks and
# <ident>_version; without it they are Pelkaforge's own
# (SecondaryMicroImage, NumSecondaryMicroImageBlocks and
# SecondaryMircoVersion) and the file is Pelkaforge's byte for byte. A
# target holds any number of images of distinct names.
#
# A relative <image> is found as CMake finds a target's relative source: in
# the calling folder's build tree when a custom command of that folder makes
# it (or it is marked GENERATED), else in the calling source folder.
# FORMAT (bin, ihex, srec or elf) says how to read it; without it the
# extension decides. ATTRIBUTES is written before the array's type in its
# definition and declaration, as given. SHA256 stops the build unless the
# image file has that SHA-256. CHECK_VALUES crc32 and sha256 add
# <ident>_crc32 and <ident>_sha256 to the header. The files are generated
# again whenever the image or the program changes. When the image is made
# in the same build (a custom command in another folder, or a project added
# with ExternalProject_Add), DEPENDS names the targets that make it: the
# step waits for them. The generated file includes "Datatype.h", which
# <target> supplies, and is compiled as C.
#
# Two images of one name in one program must never build: one would be
# left out without a word. So the image is compiled into no archive: an
# executable or shared library holds it, and one that links a static or
# object library that holds it links the image's object itself. The linker
# then stops on the second image of a name, and CMake stops earlier still
# where it can see both in what a target links. Between the binaries of one
# process on ELF, where the first definition of a name found at run time
# would serve every reference to it, the image's symbols are the holder's
# own: protected in a shared library or module (its dependents may read
# them, its own code always reads its own), hidden in anything else.

function(pelkaforge_add_image target image)
  cmake_parse_arguments(PARSE_ARGV 2 arg ""
                        "NAME;FORMAT;ATTRIBUTES;SHA256" "CHECK_VALUES;DEPENDS")
  # Every mistake in the call is reported, then the configure stops before
  # generating anything.
  set(failed FALSE)
  if(arg_UNPARSED_ARGUMENTS)
    list(JOIN arg_UNPARSED_ARGUMENTS " " unexpected)
    _pelkaforge_refuse(
      "unexpected arguments ${unexpected}: after the target and "
      "the image only NAME <ident>, FORMAT <format>, ATTRIBUTES <text>, "
      "SHA256 <hex>, CHECK_VALUES crc32|sha256... and DEPENDS <targets>... "
      "may follow")
  endif()
  # A missing or empty value (an unset variable) would drop the keyword
  # without a word: a pin that pins nothing, an image of Pelkaforge's names.
  # Before CMake 3.31 an empty one is not counted among the missing.
  set(empty ${arg_KEYWORDS_MISSING_VALUES})
  math(EXPR last "${ARGC} - 1")
  foreach(index RANGE 2 ${last})
    math(EXPR next "${index} + 1")
    if("${ARGV${index}}" MATCHES "^(NAME|FORMAT|ATTRIBUTES|SHA256)$" AND
       next LESS ARGC AND "${ARGV${next}}" STREQUAL "")
      list(APPEND empty "${ARGV${index}}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES empty)
  foreach(keyword IN LISTS empty)
    _pelkaforge_refuse("${keyword} is given without a value")
    unset(arg_${keyword})  # said once: no other message of its value
  endforeach()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "pelkaforge_add_image: no target named ${target}")
  endif()
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(EXECUTABLE|(STATIC|SHARED|MODULE|OBJECT)_LIBRARY)$")
    message(FATAL_ERROR
      "pelkaforge_add_image: ${target} is an ${type}, which builds nothing "
      "to hold the image: add it to an executable or a static, shared, "
      "module or object library")
  endif()
  set(name SecondaryMicroImage)
  set(options "")
  if(DEFINED arg_NAME)
    # pelkaforge-image refuses names C or C++ would; these characters
    # would not even make a file name.
    if(NOT arg_NAME MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
      _pelkaforge_refuse("NAME ${arg_NAME} is not a C identifier")
    endif()
    set(name ${arg_NAME})
    list(APPEND options --name ${name})
  endif()
  if(DEFINED arg_FORMAT)
    if(NOT arg_FORMAT MATCHES "^(bin|ihex|srec|elf)$")
      _pelkaforge_refuse(
        "FORMAT ${arg_FORMAT} is not a format pelkaforge-image reads: write "
        "FORMAT ihex (Intel HEX), srec (S-record), elf (ELF) or bin (raw "
        "bytes), or leave FORMAT out to go by the image's extension")
    endif()
    list(APPEND options --format ${arg_FORMAT})
  endif()
  if(DEFINED arg_ATTRIBUTES)
    # A list separator would split the text, and a line break would end
    # the command in a Makefile; pelkaforge-image refuses both anyway, and
    # judges the rest. A $ would be read as a generator expression, a
    # variable of make's or an escape of Ninja's, not passed as written.
    if(arg_ATTRIBUTES MATCHES "[;\n\r]")
      _pelkaforge_refuse(
        "ATTRIBUTES cannot hold a semicolon or a line break: write the "
        "attributes on one line, as they stand before the array's type")
    endif()
    if(arg_ATTRIBUTES MATCHES "[$]")
      _pelkaforge_refuse(
        "ATTRIBUTES cannot hold a $, which the build tool would read as one "
        "of its own variables")
    endif()
    list(APPEND options --attributes "${arg_ATTRIBUTES}")
  endif()
  if(DEFINED arg_SHA256)
    string(LENGTH "${arg_SHA256}" length)
    if(NOT length EQUAL 64 OR NOT arg_SHA256 MATCHES "^[0-9A-Fa-f]+$")
      _pelkaforge_refuse(
        "SHA256 ${arg_SHA256} is not 64 hex digits: write the SHA-256 of the "
        "image file as `cmake -E sha256sum <image>` or sha256sum prints it")
    endif()
    list(APPEND options --expect-sha256 ${arg_SHA256})
  endif()
  if(arg_CHECK_VALUES)
    list(REMOVE_DUPLICATES arg_CHECK_VALUES)
    foreach(value IN LISTS arg_CHECK_VALUES)
      if(value MATCHES "^(crc32|sha256)$")
        list(APPEND options --${value})
      else()
        _pelkaforge_refuse(
          "CHECK_VALUES ${value} is not a value the header can hold: write "
          "crc32 for ${name}_crc32, sha256 for ${name}_sha256, or both")
      endif()
    endforeach()
  endif()

  # Without C the generated file would be left out of the build, and only
  # the link would fail, on its version's name.
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  list(FIND languages C c_index)
  if(c_index EQUAL -1)
    message(FATAL_ERROR
      "pelkaforge_add_image: the generated ${name}.c is C, and this project "
      "has not enabled the C language. Enable it: project(<name> C CXX), or "
      "enable_language(C).")
  endif()

  # On ELF the first definition of a name found at run time serves every
  # reference to it that is not bound at link time. Hidden keeps an image
  # out of the dynamic symbols altogether; a shared library's or module's
  # image stays exported for its dependents but protected, so that the
  # library's own code reads its own.
  set(visibility "")
  if(CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF")
    set(visibility hidden)
    if(type MATCHES "^(SHARED|MODULE)_LIBRARY$")
      set(visibility protected)
      if(NOT CMAKE_C_COMPILE_OPTIONS_VISIBILITY)
        _pelkaforge_refuse(
          "${target} is a shared library or module, and CMake knows no "
          "symbol visibility option for the C compiler "
          "(${CMAKE_C_COMPILER_ID}): another image named ${name} in the "
          "process that loads it could take the place of its own. Add the "
          "image to the program, or to a static library the program links, "
          "instead")
      endif()
    endif()
  endif()

  # A relative path names what a target's relative source would: a file a
  # custom command of this folder makes, or one marked GENERATED, is the
  # build tree's.
  set(made_here FALSE)
  if(NOT IS_ABSOLUTE "${image}")
    _pelkaforge_made_here("${image}" made_here)
  endif()
  if(made_here)
    get_filename_component(image_path "${image}" ABSOLUTE
                           BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  else()
    get_filename_component(image_path "${image}" ABSOLUTE
                           BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    # As for a source: a file the configure made in the build tree
    # (configure_file, file(GENERATE)) where the source folder has none.
    if(NOT IS_ABSOLUTE "${image}" AND NOT EXISTS "${image_path}" AND
       EXISTS "${CMAKE_CURRENT_BINARY_DIR}/${image}")
      get_filename_component(image_path "${image}" ABSOLUTE
                             BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
    endif()
    # CMake finds a custom command's output whatever the order it sees
    # them in; a command added after this call would leave an older file of
    # the source folder (or none) in its place. The end of the folder tells
    # (CMake 3.19 and later).
    if(NOT IS_ABSOLUTE "${image}" AND NOT CMAKE_VERSION VERSION_LESS 3.19)
      cmake_language(EVAL CODE "
        cmake_language(DEFER CALL _pelkaforge_check_made_later
                       [==[${target}]==] [==[${image}]==])")
    endif()
  endif()

  get_target_property(names ${target} PELKAFORGE_IMAGE_NAMES)
  if(names)
    list(FIND names ${name} earlier)
    if(earlier GREATER -1)
      get_target_property(images ${target} PELKAFORGE_IMAGE_FILES)
      list(GET images ${earlier} earlier_image)
      _pelkaforge_refuse(
        "target ${target} already holds an image named ${name} "
        "(${earlier_image}), so it cannot also hold ${image_path} under "
        "that name: give each image of a target a NAME of its own.")
    endif()
  endif()
  if(failed)
    return()
  endif()
  set_property(TARGET ${target} APPEND PROPERTY PELKAFORGE_IMAGE_NAMES ${name})
  set_property(TARGET ${target} APPEND PROPERTY
               PELKAFORGE_IMAGE_FILES "${image_path}")

  set(folder "${CMAKE_CURRENT_BINARY_DIR}/pelkaforge/${target}")
  set(source "${folder}/${name}.c")
  set(header "${folder}/${name}.h")
  add_custom_command(
    OUTPUT "${source}" "${header}"
    COMMAND Pelkaforge::pelkaforge-image ${options} --header "${header}"
            -- "${image_path}" "${source}"
    DEPENDS "${image_path}" "$<TARGET_FILE:Pelkaforge::pelkaforge-image>"
            ${arg_DEPENDS}
    COMMENT "Generating ${name}.c and ${name}.h for ${target} from ${image}"
    VERBATIM)

  # The image's object, compiled as <target>'s own sources are: with its
  # include directories (which bring "Datatype.h"), definitions and options.
  # Its name is one no other pair of target and image gives: an image's
  # name holds no dot. It is built when <target> is (which depends on it),
  # and only then.
  set(objects pelkaforge.${target}.${name})
  add_library(${objects} OBJECT EXCLUDE_FROM_ALL "${source}" "${header}")
  target_include_directories(${objects} PRIVATE
    "$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>")
  target_compile_definitions(${objects} PRIVATE
    "$<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>")
  target_compile_options(${objects} PRIVATE
    "$<TARGET_PROPERTY:${target},COMPILE_OPTIONS>")
  # After <target>'s options, so that its own visibility does not undo it.
  if(visibility AND CMAKE_C_COMPILE_OPTIONS_VISIBILITY)
    target_compile_options(${objects} PRIVATE
      "${CMAKE_C_COMPILE_OPTIONS_VISIBILITY}${visibility}")
  endif()
  if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
    if(NOT type STREQUAL "EXECUTABLE")
      set_property(TARGET ${objects} PROPERTY POSITION_INDEPENDENT_CODE ON)
    endif()
    target_sources(${target} PRIVATE "$<TARGET_OBJECTS:${objects}>")
  else()
    set_property(TARGET ${target} APPEND PROPERTY INTERFACE_LINK_LIBRARIES
                 "$<TARGET_OBJECTS:${objects}>")
    # Another target that takes an object library's objects themselves,
    # $<TARGET_OBJECTS>, would take them without the image, whose object
    # is not one of them: the end of the configure looks (CMake 3.19 on).
    if(type STREQUAL "OBJECT_LIBRARY" AND
       NOT CMAKE_VERSION VERSION_LESS 3.19)
      get_property(watched GLOBAL PROPERTY PELKAFORGE_OBJECT_HOLDERS)
      if(NOT watched)
        cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}"
                       CALL _pelkaforge_check_object_holders)
      endif()
      set_property(GLOBAL APPEND PROPERTY PELKAFORGE_OBJECT_HOLDERS ${target})
    endif()
    # A library that holds images alone has no object to archive: CMake
    # could tell no language to make it with.
    get_target_property(linker_language ${target} LINKER_LANGUAGE)
    if(type MATCHES "^(STATIC|OBJECT)_LIBRARY$" AND NOT linker_language)
      set_property(TARGET ${target} PROPERTY LINKER_LANGUAGE C)
    endif()
  endif()
  # The header is among <target>'s sources too, for IDEs, and so that a
  # library that holds images alone has a source: CMake makes none without.
  set_source_files_properties("${header}" TARGET_DIRECTORY ${target}
                              PROPERTIES GENERATED TRUE)
  target_sources(${target} PRIVATE "${header}")
  target_include_directories(${target} PUBLIC "$<BUILD_INTERFACE:${folder}>")
  add_dependencies(${target} ${objects})
  # A tool built for the build machine in a cross build is a separate
  # project's program, and an image made in the build comes from targets
  # that make does not see through the file: their builds come first.
  if(TARGET pelkaforge_build_machine_tool)
    add_dependencies(${objects} pelkaforge_build_machine_tool)
  endif()
  if(arg_DEPENDS)
    add_dependencies(${objects} ${arg_DEPENDS})
  endif()

  # Every target that holds or links an image of this name says which
  # target that is; CMake stops when two say different ones. CMake's
  # message names the property and the targets, not their values: the
  # property's name carries what to do.
  set(property
      "PELKAFORGE_IMAGE_${name} (one program, two images named ${name}: give each image a NAME of its own)")
  set_property(TARGET ${target} PROPERTY "${property}" ${target})
  set_property(TARGET ${target} PROPERTY "INTERFACE_${property}" ${target})
  set_property(TARGET ${target} APPEND PROPERTY
               COMPATIBLE_INTERFACE_STRING "${property}")
endfunction()

# Reports a mistake in the call, and lets the function go on to find more.
macro(_pelkaforge_refuse)
  string(CONCAT message ${ARGN})
  message(SEND_ERROR "pelkaforge_add_image: ${message}")
  set(failed TRUE)
endmacro()

# Whether the relative path image names a file of the current folder's
# build tree: one a custom command of the folder makes, or one marked
# GENERATED (which a file of that name in the source folder does not hide).
function(_pelkaforge_made_here image result)
  get_source_file_property(made "${CMAKE_CURRENT_BINARY_DIR}/${image}"
                           GENERATED)
  if(NOT made)
    get_source_file_property(made "${image}" GENERATED)
  endif()
  if(made)
    set(${result} TRUE PARENT_SCOPE)
  else()
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Every build system target of the folder and the folders below it.
function(_pelkaforge_targets_below folder result)
  get_property(targets DIRECTORY "${folder}" PROPERTY BUILDSYSTEM_TARGETS)
  get_property(folders DIRECTORY "${folder}" PROPERTY SUBDIRECTORIES)
  foreach(below IN LISTS folders)
    _pelkaforge_targets_below("${below}" more)
    list(APPEND targets ${more})
  endforeach()
  set(${result} ${targets} PARENT_SCOPE)
endfunction()

# Run at the end of the configure: stops it where a target takes the
# objects of an object library that holds an image, which come without it.
function(_pelkaforge_check_object_holders)
  get_property(holders GLOBAL PROPERTY PELKAFORGE_OBJECT_HOLDERS)
  _pelkaforge_targets_below("${CMAKE_SOURCE_DIR}" targets)
  foreach(target IN LISTS targets)
    get_target_property(sources ${target} SOURCES)
    get_target_property(interface ${target} INTERFACE_SOURCES)
    foreach(holder IN LISTS holders)
      string(FIND "${sources};${interface}" "$<TARGET_OBJECTS:${holder}>"
             found)
      if(found GREATER -1)
        message(SEND_ERROR
          "pelkaforge_add_image: ${target} takes $<TARGET_OBJECTS:${holder}>, "
          "the objects of an object library that holds an image, without "
          "its image. Link it instead: target_link_libraries(${target} "
          "PRIVATE ${holder}).")
      endif()
    endforeach()
  endforeach()
endfunction()

# Run at the end of the folder that added <image> to <target> from the
# source folder: stops the configure when a custom command of that folder,
# added later, makes the file after all.
function(_pelkaforge_check_made_later target image)
  _pelkaforge_made_here("${image}" made)
  if(made)
    message(SEND_ERROR
      "pelkaforge_add_image: ${target} took ${image} from "
      "${CMAKE_CURRENT_SOURCE_DIR}, but a custom command of this folder "
      "makes ${CMAKE_CURRENT_BINARY_DIR}/${image}, added after the image. "
      "Add that custom command before pelkaforge_add_image, so that the "
      "image is the file it makes.")
  endif()
endfunction()

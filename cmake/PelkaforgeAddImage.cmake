# pelkaforge_add_image(<target> <image> [NAME <ident>] [DEPENDS <targets>...])
#
# Adds the firmware image <image> (a path relative to the calling directory,
# or absolute) to <target>, which may be defined in any folder of the
# project: pelkaforge-image writes <ident>.c and the header <ident>.h into a
# folder of the build tree of <target>'s own, reading the image and never
# changing it, whatever its mode. #include "<ident>.h" then works in
# <target>'s sources and in every target that links it. NAME gives the
# array, count and version the names <ident>, <ident>_blocks and
# <ident>_version; without it they are Pelkaforge's own (SecondaryMicroImage,
# NumSecondaryMicroImageBlocks and SecondaryMircoVersion) and the file is
# Pelkaforge's byte for byte. A target holds any number of images of
# distinct names. The files are generated again whenever the image or the
# program changes. When the image is made in the same build (a custom
# command, or a project added with ExternalProject_Add), DEPENDS names the
# targets that make it: the step waits for them. The generated file
# includes "Datatype.h", which <target> supplies, and is compiled as C.
#
# Two images of one name in one program must never build: one would be
# left out without a word. So the image is compiled into no archive: an
# executable or shared library holds it, and one that links a static or
# object library that holds it links the image's object itself. The linker
# then stops on the second image of a name, and CMake stops earlier still
# where it can see both in what a target links.
function(pelkaforge_add_image target image)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "NAME" "DEPENDS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "pelkaforge_add_image: unexpected arguments "
                        "${arg_UNPARSED_ARGUMENTS}; after the target and the "
                        "image only NAME <ident> and DEPENDS <targets>... may "
                        "follow")
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "pelkaforge_add_image: no target named ${target}")
  endif()
  set(name SecondaryMicroImage)
  set(name_option "")
  if(DEFINED arg_NAME)
    # pelkaforge-image refuses names C or C++ would; these characters
    # would not even make a file name.
    if(NOT arg_NAME MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
      message(FATAL_ERROR "pelkaforge_add_image: NAME ${arg_NAME} is not a "
                          "C identifier")
    endif()
    set(name ${arg_NAME})
    set(name_option --name ${name})
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
  get_filename_component(image_path "${image}" ABSOLUTE
                         BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_target_property(names ${target} PELKAFORGE_IMAGE_NAMES)
  if(names)
    list(FIND names ${name} earlier)
    if(earlier GREATER -1)
      get_target_property(images ${target} PELKAFORGE_IMAGE_FILES)
      list(GET images ${earlier} earlier_image)
      message(FATAL_ERROR
        "pelkaforge_add_image: target ${target} already holds an image named "
        "${name} (${earlier_image}), so it cannot also hold ${image_path} "
        "under that name: give each image of a target a NAME of its own.")
    endif()
  endif()
  set_property(TARGET ${target} APPEND PROPERTY PELKAFORGE_IMAGE_NAMES ${name})
  set_property(TARGET ${target} APPEND PROPERTY
               PELKAFORGE_IMAGE_FILES "${image_path}")

  set(folder "${CMAKE_CURRENT_BINARY_DIR}/pelkaforge/${target}")
  set(source "${folder}/${name}.c")
  set(header "${folder}/${name}.h")
  add_custom_command(
    OUTPUT "${source}" "${header}"
    COMMAND Pelkaforge::pelkaforge-image ${name_option} --header "${header}"
            -- "${image_path}" "${source}"
    DEPENDS "${image_path}" "$<TARGET_FILE:Pelkaforge::pelkaforge-image>"
            ${arg_DEPENDS}
    COMMENT "Generating ${name}.c and ${name}.h for ${target} from ${image}"
    VERBATIM)

  # The image's object, compiled as <target>'s own sources are: with its
  # include directories (which bring "Datatype.h"), definitions and options.
  set(objects pelkaforge_${target}_${name})
  add_library(${objects} OBJECT "${source}" "${header}")
  target_include_directories(${objects} PRIVATE
    "$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>")
  target_compile_definitions(${objects} PRIVATE
    "$<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>")
  target_compile_options(${objects} PRIVATE
    "$<TARGET_PROPERTY:${target},COMPILE_OPTIONS>")
  get_target_property(type ${target} TYPE)
  if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
    if(NOT type STREQUAL "EXECUTABLE")
      set_property(TARGET ${objects} PROPERTY POSITION_INDEPENDENT_CODE ON)
    endif()
    target_sources(${target} PRIVATE "$<TARGET_OBJECTS:${objects}>")
  else()
    set_property(TARGET ${target} APPEND PROPERTY INTERFACE_LINK_LIBRARIES
                 "$<TARGET_OBJECTS:${objects}>")
    # A library that holds images alone has no object to archive: CMake
    # could tell no language to make it with.
    get_target_property(linker_language ${target} LINKER_LANGUAGE)
    if(type STREQUAL "STATIC_LIBRARY" AND NOT linker_language)
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
  # target that is; CMake stops when two say different ones.
  set_property(TARGET ${target} PROPERTY PELKAFORGE_IMAGE_${name} ${target})
  set_property(TARGET ${target} PROPERTY
               INTERFACE_PELKAFORGE_IMAGE_${name} ${target})
  set_property(TARGET ${target} APPEND PROPERTY
               COMPATIBLE_INTERFACE_STRING PELKAFORGE_IMAGE_${name})
endfunction()

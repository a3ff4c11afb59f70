# pelkaforge_add_image(<target> <image> [DEPENDS <targets>...])
#
# Adds a SecondaryMicroImage.c generated from <image> (a path relative to the
# calling directory, or absolute) to <target>'s sources. <target> may be
# defined in any folder of the project. pelkaforge-image writes the file
# into a folder of the build tree of <target>'s own, reading the image and
# never changing it, whatever its mode; each target can have its own image.
# The file is generated again whenever the image or the program changes.
# When the image is made in the same build (a custom command, or a project
# added with ExternalProject_Add), DEPENDS names the targets that make it:
# the step waits for them. The generated file defines fixed names, so a
# target holds one image; it includes "Datatype.h", which <target>
# supplies, and is compiled as C.
function(pelkaforge_add_image target image)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "DEPENDS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "pelkaforge_add_image: unexpected arguments "
                        "${arg_UNPARSED_ARGUMENTS}; after the target and the "
                        "image only DEPENDS <targets>... may follow")
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "pelkaforge_add_image: no target named ${target}")
  endif()
  # Without C the generated file would be left out of the build, and only
  # the link would fail, on SecondaryMircoVersion.
  get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  list(FIND languages C c_index)
  if(c_index EQUAL -1)
    message(FATAL_ERROR
      "pelkaforge_add_image: the generated SecondaryMicroImage.c is C, and "
      "this project has not enabled the C language. Enable it: "
      "project(<name> C CXX), or enable_language(C).")
  endif()
  get_filename_component(image_path "${image}" ABSOLUTE
                         BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_target_property(earlier_image ${target} PELKAFORGE_IMAGE)
  if(earlier_image)
    message(FATAL_ERROR
      "pelkaforge_add_image: target ${target} already holds the image "
      "${earlier_image}, so it cannot also hold ${image_path}. The generated "
      "file defines the same names for every image (SecondaryMicroImage, "
      "NumSecondaryMicroImageBlocks, SecondaryMircoVersion): one target holds "
      "one image. Give the second image a target of its own, such as a static "
      "library.")
  endif()
  set_property(TARGET ${target} PROPERTY PELKAFORGE_IMAGE "${image_path}")

  set(output "${CMAKE_CURRENT_BINARY_DIR}/pelkaforge/${target}/SecondaryMicroImage.c")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND Pelkaforge::pelkaforge-image "${image_path}" "${output}"
    DEPENDS "${image_path}" "$<TARGET_FILE:Pelkaforge::pelkaforge-image>"
            ${arg_DEPENDS}
    COMMENT "Generating SecondaryMicroImage.c for ${target} from ${image}"
    VERBATIM)
  # A custom command is built only for targets of the folder that defines
  # it, and <target> may live in another: a target of this folder makes the
  # file, <target> waits for it, and its own folder knows the file as
  # generated.
  add_custom_target(pelkaforge_image_${target} DEPENDS "${output}")
  # A tool built for the build machine in a cross build is a separate
  # project's program, and an image made in the build comes from targets
  # that make does not see through the file: their builds come first.
  if(TARGET pelkaforge_build_machine_tool)
    add_dependencies(pelkaforge_image_${target} pelkaforge_build_machine_tool)
  endif()
  if(arg_DEPENDS)
    add_dependencies(pelkaforge_image_${target} ${arg_DEPENDS})
  endif()
  add_dependencies(${target} pelkaforge_image_${target})
  set_source_files_properties("${output}" TARGET_DIRECTORY ${target}
                              PROPERTIES GENERATED TRUE)
  target_sources(${target} PRIVATE "${output}")
endfunction()

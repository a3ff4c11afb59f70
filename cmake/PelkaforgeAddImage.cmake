# pelkaforge_add_image(<target> <image>)
#
# Adds a SecondaryMicroImage.c generated from <image> (a path relative to the
# calling directory, or absolute) to <target>'s sources. <target> may be
# defined in any folder of the project. The tool pads a partial image in
# place and writes into its working directory, so PelkaforgeRunImage.cmake
# runs it on a writable copy of the image in a folder of the build tree of
# <target>'s own: the image in the source tree is never touched, whatever its
# mode, and each target can have its own image. The file is generated again
# whenever the image or the tool changes. The generated file defines fixed
# names, so a target holds one image; it includes "Datatype.h", which
# <target> supplies, and must be compiled as C.
function(pelkaforge_add_image target image)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "pelkaforge_add_image: no target named ${target}")
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
  set(run_image "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/PelkaforgeRunImage.cmake")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DTOOL=$<TARGET_FILE:Pelkaforge::Pelkaforge>"
            "-DIMAGE=${image_path}" "-DOUTPUT=${output}" -P "${run_image}"
    DEPENDS "${image_path}" "$<TARGET_FILE:Pelkaforge::Pelkaforge>"
            "${run_image}"
    COMMENT "Generating SecondaryMicroImage.c for ${target} from ${image}"
    VERBATIM)
  # A custom command is built only for targets of the folder that defines
  # it, and <target> may live in another: a target of this folder makes the
  # file, <target> waits for it, and its own folder knows the file as
  # generated.
  add_custom_target(pelkaforge_image_${target} DEPENDS "${output}")
  # A tool built for the build machine in a cross build is a separate
  # project's program: its build must come first.
  if(TARGET pelkaforge_build_machine_tool)
    add_dependencies(pelkaforge_image_${target} pelkaforge_build_machine_tool)
  endif()
  add_dependencies(${target} pelkaforge_image_${target})
  set_source_files_properties("${output}" TARGET_DIRECTORY ${target}
                              PROPERTIES GENERATED TRUE)
  target_sources(${target} PRIVATE "${output}")
endfunction()

# pelkaforge_add_image(<target> <image>)
#
# Adds a SecondaryMicroImage.c generated from <image> (a path relative to the
# calling directory, or absolute) to <target>'s sources. The tool pads a
# partial image in place and writes into its working directory, so it runs on
# a copy of the image in a folder of the build tree of <target>'s own: the
# image in the source tree is never touched, and each target can have its
# own image. The file is generated again whenever the image or the tool
# changes. The generated file includes "Datatype.h", which <target> supplies,
# and must be compiled as C.
function(pelkaforge_add_image target image)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "pelkaforge_add_image: no target named ${target}")
  endif()
  cmake_path(ABSOLUTE_PATH image BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
             NORMALIZE OUTPUT_VARIABLE image_path)
  # The tool runs in run/ on a copy with a fixed name, which no image name
  # can make collide with the output's. Its file is copied out only when it
  # succeeds: a failed run leaves nothing that looks up to date.
  set(work_dir "${CMAKE_CURRENT_BINARY_DIR}/pelkaforge/${target}")
  set(output "${work_dir}/SecondaryMicroImage.c")
  file(MAKE_DIRECTORY "${work_dir}/run")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -E copy "${image_path}" image.bin
    COMMAND "$<TARGET_FILE:Pelkaforge::Pelkaforge>" image.bin
    COMMAND "${CMAKE_COMMAND}" -E copy SecondaryMicroImage.c "${output}"
    WORKING_DIRECTORY "${work_dir}/run"
    DEPENDS "${image_path}" "$<TARGET_FILE:Pelkaforge::Pelkaforge>"
    COMMENT "Generating SecondaryMicroImage.c for ${target} from ${image}"
    VERBATIM)
  target_sources(${target} PRIVATE "${output}")
endfunction()

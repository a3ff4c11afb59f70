# Makes OUTPUT from IMAGE with TOOL, for pelkaforge_add_image:
#
#   cmake -DTOOL=<Pelkaforge> -DIMAGE=<image> -DOUTPUT=<.../SecondaryMicroImage.c>
#         -P PelkaforgeRunImage.cmake
#
# The tool runs in run/ beside OUTPUT on a copy of the image with a fixed
# name, which no image name can make collide with the output's. The copy is
# made writable, since the tool pads it in place and images are often kept
# read-only. The tool's file replaces OUTPUT only when it succeeded, so a
# failed run leaves nothing that looks up to date.
cmake_minimum_required(VERSION 3.18...4.3)

get_filename_component(work_dir "${OUTPUT}" DIRECTORY)
set(run_dir "${work_dir}/run")
file(REMOVE_RECURSE "${run_dir}")
# file(COPY) copies a link as a link, through which the tool would pad the
# image itself: the file the image's path leads to is copied, under its own
# name and with the permissions given, then renamed.
get_filename_component(image_file "${IMAGE}" REALPATH)
get_filename_component(image_name "${image_file}" NAME)
file(COPY "${image_file}" DESTINATION "${run_dir}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(RENAME "${run_dir}/${image_name}" "${run_dir}/image.bin")

execute_process(COMMAND "${TOOL}" image.bin
                WORKING_DIRECTORY "${run_dir}"
                RESULT_VARIABLE status
                ERROR_VARIABLE messages)
# The padding warning has no line break of its own: one is added, so that
# the build log's next line starts on a line of its own.
if(NOT messages STREQUAL "")
  string(REGEX REPLACE "\n$" "" messages "${messages}")
  message("${messages}")
endif()
# A status that is no number is why the tool could not be started.
if(NOT status MATCHES "^[0-9]+$")
  message(FATAL_ERROR "Pelkaforge could not be started: ${TOOL} (${status})")
elseif(NOT status EQUAL 0)
  message(FATAL_ERROR "Pelkaforge could not convert ${IMAGE}")
endif()
file(RENAME "${run_dir}/SecondaryMicroImage.c" "${OUTPUT}")

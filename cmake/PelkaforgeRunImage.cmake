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
cmake_minimum_required(VERSION 3.25)

cmake_path(GET OUTPUT PARENT_PATH work_dir)
set(run_dir "${work_dir}/run")
file(REMOVE_RECURSE "${run_dir}")
file(MAKE_DIRECTORY "${run_dir}")
file(COPY_FILE "${IMAGE}" "${run_dir}/image.bin")
file(CHMOD "${run_dir}/image.bin"
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

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
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Pelkaforge could not convert ${IMAGE}")
endif()
file(RENAME "${run_dir}/SecondaryMicroImage.c" "${OUTPUT}")

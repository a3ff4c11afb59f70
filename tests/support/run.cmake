# run(<command>...): runs the command and stops the test script, showing
# what it printed, when it fails. What it printed is left in run_output.
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE status
                  OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGV}\n${out}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

# Stops the test script when the last run() printed a CMake warning: as a
# guest in another project's build, Pelkaforge has nothing to warn of.
function(expect_no_warning)
  if(run_output MATCHES "CMake Warning")
    message(FATAL_ERROR "Pelkaforge warned:\n${run_output}")
  endif()
endfunction()

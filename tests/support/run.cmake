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

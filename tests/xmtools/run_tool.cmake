# Helpers for the scripts that run the XM tools the ways a user would.

# run(CODE COMMAND...): runs the command, fails unless it exits with CODE, and leaves its standard
# output in `out` and its standard error in `err`.
function(run expected_code)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE output
                  ERROR_VARIABLE errors)
  if(NOT code STREQUAL expected_code)
    message(FATAL_ERROR "${ARGN}: exit ${code}, expected ${expected_code}: ${errors}")
  endif()
  set(out "${output}" PARENT_SCOPE)
  set(err "${errors}" PARENT_SCOPE)
endfunction()

function(expect text pattern)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "expected /${pattern}/ in: ${text}")
  endif()
endfunction()

# Checks of the host that need more than an exit code, run by CTest:
#   cmake -DHOST=<pyrelune-run> -DDOCUMENT=<example> -DWORK=<scratch folder> -P pyrelune-run-checks.cmake
# 1. The same seed gives the same output, line for line.
# 2. A document saved with --save plays exactly like the one it came from.
#    It is saved beside a copy of the original, since a few file references
#    (animation frames, mesh objects) are stored as written, not re-based.
# The first line names the document, so the comparisons start after it.

function(run_host output_var)
  execute_process(COMMAND ${HOST} ${ARGN} --seconds 1 --fps 20 --width 160 --height 120 --seed 7
    RESULT_VARIABLE result OUTPUT_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "pyrelune-run ${ARGN} exited with ${result}:\n${output}")
  endif()
  string(FIND "${output}" "\n" first_line_end)
  math(EXPR body_start "${first_line_end} + 1")
  string(SUBSTRING "${output}" ${body_start} -1 body)
  set(${output_var} "${body}" PARENT_SCOPE)
endfunction()

get_filename_component(name ${DOCUMENT} NAME_WE)
get_filename_component(examples ${DOCUMENT} DIRECTORY)
file(REMOVE_RECURSE ${WORK}/${name})
file(COPY ${examples}/ DESTINATION ${WORK}/${name})
set(DOCUMENT ${WORK}/${name}/${name}.xml)
set(saved ${WORK}/${name}/${name}-saved.xml)

run_host(first ${DOCUMENT} --save ${saved})
run_host(second ${DOCUMENT})
string(REPLACE "saved the loaded pieces and systems to ${saved}\n" "" first "${first}")
if(NOT first STREQUAL second)
  message(FATAL_ERROR "two runs with seed 7 differ:\n--- first\n${first}\n--- second\n${second}")
endif()

run_host(replayed ${saved})
if(NOT replayed STREQUAL first)
  message(FATAL_ERROR "the saved document plays differently:\n--- original\n${first}\n--- saved\n${replayed}")
endif()

# Runs a program and checks its exit code, for CTest:
#   cmake -DEXPECTED=<code> -DPROGRAM=<program> "-DARGUMENTS=<arguments>" -P expect-exit.cmake
separate_arguments(arguments UNIX_COMMAND "${ARGUMENTS}")
execute_process(COMMAND ${PROGRAM} ${arguments} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL EXPECTED)
  message(FATAL_ERROR "expected exit code ${EXPECTED}, got ${result}\n${output}${errors}")
endif()

# Runs the computer players' runner twice with the same seed and fails unless
# both runs end with the same line of results, in the shape
# "games=N LEVEL=WINS ...". Called as: cmake -DRUNNER=<bench_bots> -P bots_repeat.cmake
set(args --games 300 --seed 99 --players strong,classic,classic --alternate)
foreach(run first second)
  execute_process(COMMAND ${RUNNER} ${args} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "bench_bots failed: ${rc}")
  endif()
  string(STRIP "${out}" out)
  string(REGEX MATCH "[^\n]*$" last_${run} "${out}")
endforeach()
if(NOT last_first MATCHES "^games=300 strong=[0-9]+ classic=[0-9]+ classic=[0-9]+$")
  message(FATAL_ERROR "unexpected last line: ${last_first}")
endif()
if(NOT last_first STREQUAL last_second)
  message(FATAL_ERROR "same seed, different results: ${last_first} / ${last_second}")
endif()
message(STATUS "${last_first}")

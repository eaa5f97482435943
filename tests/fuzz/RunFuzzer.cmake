# Fuzzes one target for a bounded time: cmake -DFUZZER=program -DSEEDS=folder -DWORK=folder
# -DSECONDS=n -P RunFuzzer.cmake. The seeds are copied into WORK/corpus first, so what the
# fuzzer adds stays in the build folder (and is built on by the next run) and the committed
# corpus is never written. The environment variable DSPTUNE_FUZZ_SECONDS overrides SECONDS.
if(DEFINED ENV{DSPTUNE_FUZZ_SECONDS} AND NOT "$ENV{DSPTUNE_FUZZ_SECONDS}" STREQUAL "")
  set(SECONDS "$ENV{DSPTUNE_FUZZ_SECONDS}")
endif()
foreach(var FUZZER SEEDS WORK SECONDS)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "RunFuzzer.cmake: ${var} is not set")
  endif()
endforeach()
if(NOT SECONDS MATCHES "^[0-9]+$" OR SECONDS EQUAL 0)
  message(FATAL_ERROR "RunFuzzer.cmake: SECONDS must be a whole number above 0, not '${SECONDS}'")
endif()

file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
file(GLOB seeds ${SEEDS}/*)
file(COPY ${seeds} DESTINATION ${WORK}/corpus)

# -timeout: a single input that runs this long is a hang, reported like a crash.
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -print_final_stats=1 -print_funcs=0
                        -artifact_prefix=${WORK}/artifacts/ ${WORK}/corpus
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); the input that failed is in ${WORK}/artifacts/")
endif()

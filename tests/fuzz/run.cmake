# Runs the fuzz target for SECONDS seconds on a corpus seeded from the case table. Any
# finding fails the test; libFuzzer leaves the input that shows it in WORK/findings.
file(REMOVE_RECURSE ${WORK}/seeds)
file(MAKE_DIRECTORY ${WORK}/seeds ${WORK}/corpus ${WORK}/findings)
execute_process(COMMAND ${MAKE_SEEDS} ${WORK}/seeds RESULT_VARIABLE made)
if(NOT made EQUAL 0)
  message(FATAL_ERROR "could not write the seed corpus")
endif()
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
          -artifact_prefix=${WORK}/findings/ ${WORK}/corpus ${WORK}/seeds
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the fuzz target found a failing input (exit ${result}); see ${WORK}/findings")
endif()

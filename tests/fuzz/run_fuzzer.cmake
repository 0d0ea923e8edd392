# Runs a libFuzzer target of the clang tree for a while on a copy of its seed corpus.
#   cmake -DFUZZER=... -DSEED_CORPUS=... -DWORK_DIR=... -DSECONDS=60 -P run_fuzzer.cmake
# The AddressSanitizer tree is built by ./test.sh after the main build, so its absence is a
# failure that says how to get it rather than a silent pass.
if(NOT EXISTS "${FUZZER}")
    message(FATAL_ERROR "The fuzz target ${FUZZER} is not built. Run ./test.sh, which builds "
                        "the clang AddressSanitizer tree (build/asan) before it runs the tests.")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/corpus")
file(GLOB seeds "${SEED_CORPUS}/*")
if(NOT seeds)
    message(FATAL_ERROR "No seed files in ${SEED_CORPUS}")
endif()
file(COPY ${seeds} DESTINATION "${WORK_DIR}/corpus")
execute_process(
    COMMAND "${FUZZER}" -max_total_time=${SECONDS} -timeout=20 -rss_limit_mb=2048
            "-artifact_prefix=${WORK_DIR}/" "${WORK_DIR}/corpus"
    WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${FUZZER} found a failure (exit ${status}); the input is in ${WORK_DIR}")
endif()
